// An author's sources as the commands that compile them in memory take them: read for the
// report, compiled where they lie, never written or deleted.
#pragma once

#include <string>

#include "compiler/scenario_compiler.h"
#include "tools/analysis/diagnostics.h"
#include "tools/commands/command_arguments.h"

// The source `name` in `directory` as the report shows it; empty when it cannot be read.
ShownSource shown_source(const std::string& directory, const std::string& name);

// The options of a compilation in memory of the sources in a.directory, which stay where they
// are. `line` and `train` are the same sources, as shown.
CompileOptions author_options(const CommonArguments& a, bool build_plan, const ShownSource& line,
                              const ShownSource& train);
