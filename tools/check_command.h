// 'scenario-tool check' and 'compile': an author's sources compiled with the installer's
// compiler, every problem reported where it lies (with those past the compiler's first error),
// and for compile the compiled files written when the sources compile cleanly.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "compiler/scenario_compiler.h"
#include "tools/command_arguments.h"
#include "tools/diagnostics.h"
#include "tools/source_lint.h"

int check(const CheckArguments& a, bool (*colour_terminal)());
int compile(const CompileArguments& a, bool (*colour_terminal)());

// The one check of two sources that check, compile and the language server run: the lint's
// warnings of each, the compilation, the timetable's warnings and the problems past the
// compiler's first error.
struct SourcesCheck {
  std::vector<SourceWarning> line_warnings, train_warnings;
  Compilation compiled;
  CompileResult result;
  std::vector<Diagnostic> timetable;
  std::vector<Diagnostic> further;  // past the first error
  std::string cells_path;           // where the track cells would be written, as shown

  bool any_warning() const;
  // Every diagnostic in the order check reports them, made one at a time for `take`: the
  // warnings of each source (at most `max_warnings` of a kind, 0: all), the timetable's, the
  // problems the compiler recorded, those past its first error.
  void each_diagnostic(const ShownSource& line, const ShownSource& train, size_t max_warnings,
                       const std::function<void(Diagnostic&&)>& take) const;
};

// Checks `line` and `train`, the sources `options` compiles (in memory: it writes no file), as
// shown, into `out`.
void check_sources(const CompileOptions& options, const ShownSource& line, const ShownSource& train,
                   SourcesCheck* out);
