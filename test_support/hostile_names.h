// Line names and train numbers that must never name a file, each with the words of its refusal,
// and names that must go on working: one table for every way a name comes in (the names check
// itself, scenario-tool's command line, an installer's appended scenario).
#pragma once

#include <string>
#include <vector>

#include "common/scenario_identity.h"

struct HostileName {
  const char* what;
  ScenarioIdentity scenario;
  const char* says;             // what the refusal says of the name
  bool on_command_line = true;  // false: a command line cannot carry it (a NUL byte)
};

// The hostile names; `elsewhere` is an absolute folder that a name may point into, for a test
// to check that nothing appears there.
std::vector<HostileName> hostile_names(const std::string& elsewhere);

// Names that are plain file names on every platform, and so are taken.
std::vector<ScenarioIdentity> accepted_names();
