// Signs, in compiled files read back, that the compilation which wrote them stopped on an
// error: the installer (and `compile --force`) writes whatever the records hold then, and such
// files load in the simulator without complaint. dump and plot say so rather than show them as
// sound.
#pragma once

#include <string>
#include <vector>

#include "tools/show/compiled_files.h"

// One sentence a sign; empty when the files look like a complete compilation. Not every failed
// compilation leaves a sign (a feature beyond the cells, for one, leaves the rest whole).
std::vector<std::string> signs_of_failed_compilation(const CompiledScenario& compiled);
