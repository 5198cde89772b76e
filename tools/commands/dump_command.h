// 'scenario-tool dump' and 'plot': the compiled files in a folder read back, and shown as
// text or JSON, or drawn as an SVG picture.
#pragma once

#include "tools/commands/command_arguments.h"

int dump(const DumpArguments& a);
int plot(const PlotArguments& a);
