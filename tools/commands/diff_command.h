// 'scenario-tool diff A B': two compiled scenarios, in folders or installers, compared by what
// their rows mean.
#pragma once

#include "tools/commands/command_arguments.h"

int diff(const DiffArguments& a);
