// What a compilation met along the way: the single error state the run goes by (a later
// problem overwrites an earlier one) and, beside it, every problem in order with where it was
// met, for the authors' tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compiler/error_state.h"
#include "compiler/source_grammar.h"

// Where a recorded problem was met.
enum class ProblemSource { kNone, kLineSource, kTrainSource, kTrackCells };

// One problem, with what an author needs to find it.
struct Problem {
  int32_t code = 0;
  int32_t position = 0;     // metres along the line
  bool positioned = false;  // whether `position` belongs to this problem
  ProblemSource source = ProblemSource::kNone;
  size_t offset = kNoOffset;  // byte offset in the source of the field the reader was on
  // The field at fault when it is one of the row's values (a station's position or length)
  // rather than its keyword; for a run-time failure, the keyword of the row it happened in.
  size_t field_offset = kNoOffset;
  size_t row_offset = kNoOffset;
  // The row being read when the problem was met (null when none), and its first value, its
  // position, when that is a number.
  const RowGrammar* row = nullptr;
  std::optional<int32_t> row_position;
  int32_t cell = -1;  // the cell in question: an occupied one, or the rules' cell
  // The row's store took its feature, yet the reading stopped there: the code was already in
  // the error state, left by an earlier problem.
  bool left_by_earlier = false;

  static constexpr size_t kNoOffset = static_cast<size_t>(-1);
};

struct ProblemLog {
  ErrorState error;
  // Every problem recorded, in order.
  std::vector<Problem> problems;
  // What the run-time failure behind error 25 was, in words.
  std::string failure_message;
  // The same as its message marked with tr_mark and the values that fill it in, the first the
  // name of the value the reading failed on when failure_named (see RunTimeFailure); no message
  // when there was no failure.
  const char* failure_text = nullptr;
  std::vector<std::string> failure_values;
  bool failure_named = false;

  // Adds the error state's current code and position to the list, with where it was met.
  Problem& record(ProblemSource source, size_t offset, bool positioned, int32_t cell = -1,
                  size_t field_offset = Problem::kNoOffset) {
    Problem problem;
    problem.code = error.code;
    problem.position = error.position;
    problem.positioned = positioned;
    problem.source = source;
    problem.offset = offset;
    problem.field_offset = field_offset;
    problem.cell = cell;
    problems.push_back(problem);
    return problems.back();
  }
};
