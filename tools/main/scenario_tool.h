// scenario-tool: the scenario authors' command-line tool. It compiles an author's sources with
// the installer's own compiler and says what came of them, in the shape compilers use; it dumps
// and plots compiled files, makes a route view of the sources and packages them into an
// installer. It never shows a window and never deletes the author's sources. Here the command
// line meets the command table (command_table.h); each command has a file of its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/language/translation.h"

// Runs the command that `args` (the command line without the program's name) gives, writing to
// standard output and standard error, and returns the exit status. `colour_terminal` says
// whether standard error shows colour, for --color=auto. --lang=it|en, anywhere among `args`,
// chooses the language of the texts; without it, the platform's (as tool_main was told), or
// English.
int run(std::vector<std::string> args, bool (*colour_terminal)());

// The program: the arguments 1 to argc - 1 that `argument` gives, as UTF-8, run, in the language
// the platform asks for unless --lang says otherwise; memory running out is said in one line,
// with its exit status.
int tool_main(int argc, const std::function<std::string(int)>& argument, bool (*colour_terminal)(),
              Language platform_language);
