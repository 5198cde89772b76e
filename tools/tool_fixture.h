// Running scenario-tool on sources written into a fresh directory, for the tool's tests.
#pragma once

#include <string>
#include <vector>

#include "test_support/process.h"
#include "test_support/temp_dir.h"

// Runs scenario-tool with `args`.
ProcessResult run_tool(const std::vector<std::string>& args);

// The last line of `text`, without its line end.
std::string last_line(std::string text);

// `text` with every occurrence of `from` replaced by `to`.
std::string replace_all(std::string text, const std::string& from, const std::string& to);

// The shipped sources as the installer writes them, into `dir`.
void write_shipped_sources(const TempDir& dir);
