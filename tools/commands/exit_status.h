// The exit statuses of scenario-tool, for scripts, and its version; the bottom of the tool's
// commands, which every command file includes.
#pragma once

#include <string>

// The tool's version, for --version and the SARIF log: the project's VERSION file, which the
// build passes on.
inline constexpr char kToolVersion[] = SCENARIO_TOOL_VERSION;

constexpr int kExitClean = 0;        // done; for compile and check: error code 0
constexpr int kExitUsage = 1;        // bad command line
constexpr int kExitSourceError = 2;  // the readers or rules recorded an error code
constexpr int kExitIntegrity = 3;    // Errore n. 1250 or 1251: nothing written
constexpr int kExitFileFault = 4;    // a file could not be read or written
constexpr int kExitOutOfMemory = 5;  // memory ran out: one line says while doing what
constexpr int kExitNotExact = 6;     // decompile: no sources give the same bytes back
constexpr int kExitUnformatted = 1;  // format --check: a source would change
// diff, as diff(1): 0 the same, 1 they differ, 2 bad usage or a file that could not be read.
constexpr int kExitDiffFound = 1;
constexpr int kExitDiffTrouble = 2;

// Says on standard error in one line what is wrong with the command line, then where to read
// the usage: "see: scenario-tool help CMD" for the command being run ("help" alone before one
// is chosen); returns kExitUsage.
int usage_error(const std::string& message);

// Says on standard error which file could not be read or written and why; returns
// kExitFileFault.
int file_fault(const std::string& message);
