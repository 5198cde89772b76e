// The command line of each of scenario-tool's commands, as cli.cpp parses it into them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/folder_lock.h"
#include "common/scenario_identity.h"
#include "tools/analysis/diagnostics.h"

// What every command takes: DIR, --line, --train, --help.
struct CommonArguments {
  std::string directory;
  ScenarioIdentity scenario{kShippedLineName, kShippedTrainNumber};
  bool help = false;
};

// check: the sources compiled in memory, and how their problems are reported.
struct CheckArguments {
  CommonArguments common;
  bool no_plan = false;
  size_t max_warnings = kDefaultMaxWarnings;
  bool werror = false;          // warnings are errors
  std::string color = "auto";   // --color: auto, always, never
  std::string format = "text";  // --format: text, json, sarif
  bool fix = false;             // --fix (check only): apply the sure repairs to the sources
};

// compile: check's options, and how the files are written.
struct CompileArguments {
  CheckArguments check;
  bool force = false;  // write the files whatever the error code
  int wait_milliseconds = kLockWaitMilliseconds;
};

struct DumpArguments {
  CommonArguments common;
  bool json = false;
};

// plot: the picture's file, and the stretch asked for, as chainage values in metres (the line's
// kilometres).
struct PlotArguments {
  CommonArguments common;
  std::string output;
  std::optional<int64_t> from_chainage, to_chainage;
};

// view: plot's options, and whether the page is made again whenever a source changes.
struct ViewArguments {
  PlotArguments page;
  bool no_plan = false;  // checked as check --no-plan checks: no plan built, curves passed over
  bool watch = false;
  // The pattern of the links that open a source in an editor; empty for the default.
  std::string editor_url;
};

// package: the three documents, the kind of installer, the installer program to start from.
struct PackageArguments {
  CommonArguments common;
  std::string notes, sheet, slowdowns;
  std::string output;
  std::string target = "windows";
  std::string installer;
  size_t max_warnings = kDefaultMaxWarnings;
  bool werror = false;          // a warning refuses the sources too
  std::string color = "auto";   // --color: auto, always, never
  std::string format = "text";  // --format: text, json, sarif
};

// extract: the installer (in common.directory), the folder its texts go to, and whether files
// already there are replaced.
struct ExtractArguments {
  CommonArguments common;
  std::string output;
  bool force = false;
};

// init: the folder and names of the starter scenario, and whether files already there are
// replaced.
struct InitArguments {
  CommonArguments common;
  bool force = false;
};

// decompile: the folder the sources go to, and whether files already there are replaced.
struct DecompileArguments {
  CommonArguments common;
  std::string output;
  bool force = false;
};

// format: whether the sources are only checked for what formatting would change.
struct FormatArguments {
  CommonArguments common;
  bool check = false;
};

// diff: the second scenario (a folder or an installer; the first is common.directory), and the
// form of the report.
struct DiffArguments {
  CommonArguments common;
  std::string second;
  std::string format = "text";  // --format: text, json
};

// The arguments every command shares, in each command's own.
inline CommonArguments& common_of(CheckArguments& a) {
  return a.common;
}
inline CommonArguments& common_of(CompileArguments& a) {
  return a.check.common;
}
inline CommonArguments& common_of(DumpArguments& a) {
  return a.common;
}
inline CommonArguments& common_of(PlotArguments& a) {
  return a.common;
}
inline CommonArguments& common_of(ViewArguments& a) {
  return a.page.common;
}
inline CommonArguments& common_of(PackageArguments& a) {
  return a.common;
}
inline CommonArguments& common_of(ExtractArguments& a) {
  return a.common;
}
inline CommonArguments& common_of(InitArguments& a) {
  return a.common;
}
inline CommonArguments& common_of(DecompileArguments& a) {
  return a.common;
}
inline CommonArguments& common_of(FormatArguments& a) {
  return a.common;
}
inline CommonArguments& common_of(DiffArguments& a) {
  return a.common;
}
