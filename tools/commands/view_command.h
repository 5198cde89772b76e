// 'scenario-tool view': the route view of an author's sources, one HTML page, made once or,
// with --watch, again whenever a source changes.
#pragma once

#include "tools/commands/command_arguments.h"

int view(const ViewArguments& a);
