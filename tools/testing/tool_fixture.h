// Running scenario-tool on sources written into a fresh directory, for the tool's tests.
#pragma once

#include <string>
#include <vector>

#include "test_support/process.h"
#include "test_support/temp_dir.h"

// Runs scenario-tool's command line `args` in this process, as the program runs it (its
// standard error is no terminal), and collects its exit status and what it wrote to standard
// output and standard error.
ProcessResult run_tool(const std::vector<std::string>& args);

// Starts the scenario-tool program with `args`: for the tests of the program as a whole.
ProcessResult run_tool_process(const std::vector<std::string>& args);

// The last line of `text`, without its line end.
std::string last_line(std::string text);

// `text` with every occurrence of `from` replaced by `to`.
std::string replace_all(std::string text, const std::string& from, const std::string& to);

// The shipped sources as the installer writes them, into `dir`.
void write_shipped_sources(const TempDir& dir);

// The first of `names` found as an executable in a folder of PATH; empty when none is.
std::string program_on_path(const std::vector<std::string>& names);
