// 'scenario-tool lsp': the language server (lsp_server.h) on standard input and output.
#pragma once

#include <string>
#include <vector>

struct Command;

extern const char kLspHelp[];

// The words of its usage line.
std::vector<std::string> lsp_usage_words();

// Parses the command line after 'lsp' and serves an editor until it says exit.
int lsp(const std::vector<std::string>& args, const Command& command, bool (*colour_terminal)());
