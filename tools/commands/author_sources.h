// An author's sources as the commands that compile them in memory take them: read for the
// report, compiled where they lie, never written or deleted.
#pragma once

#include <string>

#include "compiler/scenario_compiler.h"
#include "tools/analysis/diagnostics.h"
#include "tools/commands/command_arguments.h"

// The scenario whose sources a command on the folder `directory` works on when the command line
// leaves a name out (`line_given`, `train_given` say which it gave): the line of the folder's
// only line source <line>_linea.txt, and the train of that line's only train source
// <line>_<train>-.txt. Where the folder does not settle a missing name so (none or several, a
// name no file could carry, a folder that cannot be listed), `scenario` stays as it is: the
// shipped names unless given.
void take_names_from_folder(const std::string& directory, bool line_given, bool train_given,
                            ScenarioIdentity* scenario);

// The source `name` in `directory` as the report shows it; empty when it cannot be read.
ShownSource shown_source(const std::string& directory, const std::string& name);

// The options of a compilation in memory of the sources in a.directory, which stay where they
// are. `line` and `train` are the same sources, as shown.
CompileOptions author_options(const CommonArguments& a, bool build_plan, const ShownSource& line,
                              const ShownSource& train);
