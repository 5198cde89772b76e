// 'scenario-tool check' and 'compile': an author's sources compiled with the installer's
// compiler, every problem reported where it lies (with those past the compiler's first error),
// and for compile the compiled files written when the sources compile cleanly.
#pragma once

#include "tools/command_arguments.h"

int check(const CheckArguments& a, bool (*colour_terminal)());
int compile(const CompileArguments& a, bool (*colour_terminal)());
