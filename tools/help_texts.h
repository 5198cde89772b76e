// The help texts of scenario-tool.
#pragma once

#include <string>
#include <vector>

// The usage of every command, as bad usage and the overview show it.
extern const char kUsage[];
// The overview ('scenario-tool help'); "%s" stands for the list of commands.
extern const char kOverviewHelp[];
// Each command's help.
extern const char kCompileHelp[];  // compile and check
extern const char kViewHelp[];
extern const char kPackageHelp[];
extern const char kDumpHelp[];
extern const char kPlotHelp[];
