// The one analysis of a scenario's two sources: what every surface of the tool shows (check's
// text, JSON and SARIF, compile, package, the route view, check --fix, the language server) is
// made here once, and they only render it. Nothing else assembles a list of problems.
//
// It runs the lint over each source, compiles the pair in memory with the installer's compiler,
// reads the timetable of what compiled, looks for the problems past the compiler's first error,
// and turns a failed integrity check into a diagnostic like the rest. Diagnostics are made one
// at a time as they are asked for (each_diagnostic), so that a report of a million warnings holds
// one at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "compiler/scenario_compiler.h"
#include "tools/analysis/diagnostics.h"
#include "tools/analysis/row_index.h"
#include "tools/analysis/source_lint.h"
#include "tools/analysis/wrong_files.h"

struct Analysis {
  // The sources as they were read (a missing one is empty), with the paths shown.
  ShownSource line, train;
  // What the compiler was given: in memory, no compiled file written.
  CompileOptions options;
  Compilation compiled;
  CompileResult result;
  std::vector<SourceWarning> line_warnings, train_warnings;
  std::vector<Diagnostic> timetable;
  std::vector<Diagnostic> further;  // past the compiler's first error
  // Those past the first error whose words repeat one of `further` (shown there once, with
  // where else it stands), each whole: --fix mends them all.
  std::vector<Diagnostic> repeated;
  std::string cells_path;  // where the track cells would be written, as shown
  // Every row of source `k` (0 the line source, 1 the train source) as the compiler's walk reads
  // it, past the first error too: walked when first asked for, as only the view and the editor
  // need it.
  const RowIndex& rows(int k) const;

  // Whether the compiler had the sources: false when one could not be read (a file fault).
  bool compiler_ran() const { return result.end != CompileEnd::kFileFault; }
  bool any_warning() const;
  // The code and position the results' last line gives, with their words; an integrity error's
  // code when the output failed its check (the last line is then "errore=N").
  FinalCode final_code() const;

 private:
  friend std::unique_ptr<Analysis> analyse(CompileOptions, ShownSource, ShownSource);
  Analysis(ShownSource line_source, ShownSource train_source)
      : line(std::move(line_source)), train(std::move(train_source)) {}
  mutable std::unique_ptr<RowIndex> rows_[2];

 public:
  // Every diagnostic in the order the tool reports them, made one at a time for `take`: the
  // warnings of each source (at most `max_warnings` of a kind, then a count; 0: all), the
  // timetable's, the problems the compiler recorded (those of the signal-cell rules at the row
  // that causes them), those past its first error, and a failed integrity check.
  void each_diagnostic(size_t max_warnings, const std::function<void(Diagnostic&&)>& take) const;

  // The index of `path`'s source: 0 the line source, 1 the train source, -1 neither.
  int source_index(const std::string& path) const;
  // Where on the line a diagnostic lies: its own position, else its row's (row_position).
  std::optional<int64_t> place_on_line(const Diagnostic& d) const;
  // The position on the line of the row of source `k` (0, 1) that holds `offset`, or that begins
  // before it on its line, when its grammar makes its first value a position; nothing otherwise.
  std::optional<int64_t> row_position(int k, size_t offset) const;
};

// Analyses the sources `options` compiles, as shown by `line` and `train` (the texts the
// compiler reads: from the disk with SourceHandling::kKeep, else the options' own). The options
// are taken as given but for what the analysis needs: no compiled file is written, and the rows
// are kept when the sources are small enough (16 MiB together).
std::unique_ptr<Analysis> analyse(CompileOptions options, ShownSource line, ShownSource train);
