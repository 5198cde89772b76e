// 'scenario-tool package': an author's scenario made into an installer for its drivers.
#pragma once

#include "tools/commands/command_arguments.h"

int package(const PackageArguments& a, bool (*colour_terminal)());
