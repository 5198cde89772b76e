// 'scenario-tool format': an author's two sources laid out as decompile writes them (aligned
// columns, blanks), never changing what they compile to; with --check, only which would change.
#pragma once

#include "tools/commands/command_arguments.h"

int format(const FormatArguments& a);
