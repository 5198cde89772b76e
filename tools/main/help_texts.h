// The help texts of scenario-tool: the prose of each help, and the usage lines, laid out from
// the words that the options' declarations give.
#pragma once

#include <string>
#include <vector>

// The overview ('scenario-tool help'); "{1}" stands for the list of commands.
extern const char kOverviewHelp[];
// What each command's help says under its usage lines.
extern const char kCompileHelp[];  // compile and check
extern const char kViewHelp[];
extern const char kPackageHelp[];
extern const char kDumpHelp[];
extern const char kPlotHelp[];
extern const char kExtractHelp[];
extern const char kInitHelp[];
extern const char kDecompileHelp[];
extern const char kDiffHelp[];
extern const char kFormatHelp[];

// One command's usage: `lead` ("usage: ", or as many blanks), "scenario-tool", the command and
// `words`, wrapped into lines of at most 92 characters.
std::string usage_line(const char* lead, const char* command,
                       const std::vector<std::string>& words);
