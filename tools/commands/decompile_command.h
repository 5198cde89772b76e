// 'scenario-tool decompile': the two sources written back from a scenario's three compiled
// files, checked by compiling them again in memory.
#pragma once

#include "tools/commands/command_arguments.h"

int decompile(const DecompileArguments& a);
