// Plain words for the problems that come of the wrong file rather than a wrong row: a source
// that is not in the folder (another train or line is, or an installer has run there and
// deleted its sources), a source with nothing in it, a curve keyword whose digit is no
// curvature. The compiler's code stays; only what the diagnostic says changes.
#pragma once

#include <optional>
#include <string>

#include "compiler/scenario_compiler.h"
#include "tools/analysis/diagnostics.h"

// Rewrites the message and notes of `d`, the diagnostic of `problem`, when the problem is one
// of those above; leaves it as it is otherwise.
void explain_wrong_file(const Problem& problem, const ShownSource& line_source,
                        const ShownSource& train_source, Diagnostic* d);

// The position of the row a problem was met in, for a problem that has none of its own (a row
// that could not be read, a curve keyword without its digit): the row's first value as the
// compiler reads it, or the number its keyword field holds when a comma is missing after the
// keyword. Nothing when the problem has no row, the row's first value is no place on the line
// (a route length, a distance, a count) or not a number.
std::optional<int32_t> problem_row_position(const Problem& problem, const ShownSource& line_source,
                                            const ShownSource& train_source);

// What the run-time failure behind error 25 was ("curve length: \"x\" is not a number"), in the
// current language; empty when there was none.
std::string reading_failure_text(const ProblemLog& log);

// The compiler's final code as the results' last lines give it: the code, the position reported
// (the problem's own, else its row's, else what the error state holds), and the words
// "error code 25 (row at 1000 m): <what it means>", which for a row that could not be read (25)
// and a curve keyword (103) name the one cause found rather than every cause of the code.
struct FinalCode {
  int32_t code = 0;
  int32_t position = 0;
  std::string words;
};
FinalCode final_code(const Compilation& compiled, const ShownSource& line_source,
                     const ShownSource& train_source, const std::string& cells_path);
