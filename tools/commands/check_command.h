// 'scenario-tool check' and 'compile': an author's sources compiled with the installer's
// compiler, every problem reported where it lies (with those past the compiler's first error),
// and for compile the compiled files written when the sources compile cleanly.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "compiler/scenario_compiler.h"
#include "tools/analysis/diagnostics.h"
#include "tools/commands/command_arguments.h"

int check(const CheckArguments& a, bool (*colour_terminal)());
int compile(const CompileArguments& a, bool (*colour_terminal)());
