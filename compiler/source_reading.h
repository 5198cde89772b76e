// What the line source reader and the train source reader share: the source they read field
// by field, where the row being read began, and the ways a row ends the reading. A problem is
// recorded in the error state and in the list of problems, with the row it was met in; a stop
// deletes the source (an author's sources stay: the compiler knows when to keep them).
#pragma once

#include <string>
#include <utility>

#include "compiler/error_codes.h"
#include "compiler/field_reader.h"
#include "compiler/scenario_compiler.h"

class SourceReading {
 public:
  // Where a run-time failure happened: the field being read, and the row it belongs to.
  size_t failure_offset() const { return in_.field_offset(); }
  size_t row_offset() const { return record_offset_; }

 protected:
  SourceReading(ScenarioCompiler* compiler, ProblemSource source, std::string path,
                std::string text)
      : c_(*compiler), source_(source), path_(std::move(path)), in_(std::move(text)) {}

  // Records the error state's code as a problem of the row being read; `field` is the value at
  // fault when it is not the row's keyword.
  void record(bool positioned, int32_t cell = -1, size_t field = Problem::kNoOffset) {
    c_.record_problem(source_, record_offset_, positioned, cell, field);
  }
  // The row's feature lies beyond the track cells: error 15 at `position`.
  void record_beyond_cells(int32_t position) {
    c_.error.set(kBeyondCells, position);
    record(true);
  }
  // Ends the reading with `code`, which has no position of its own: the source is deleted.
  void stop_reading(int32_t code) {
    c_.delete_source(path_);
    c_.error.set(code);
    record(false);
  }
  // The same with the position (and the occupied cell, the value at fault) of the row.
  void stop_reading_at(int32_t code, int32_t position, int32_t cell = -1,
                       size_t field = Problem::kNoOffset) {
    c_.delete_source(path_);
    c_.error.set(code, position);
    record(true, cell, field);
  }
  // Notes a row the reader stored, for the authors' tools, when the compiler keeps them.
  void stored(RowKind kind, int32_t position, int32_t a = 0, int32_t b = 0) {
    if (c_.keep_rows) c_.rows.push_back({kind, source_, record_offset_, position, a, b});
  }
  // The source read to its end: deleted.
  void delete_source() { c_.delete_source(path_); }

  ScenarioCompiler& c_;
  const ProblemSource source_;
  const std::string path_;
  FieldReader in_;
  // Where the keyword field of the row being read begins.
  size_t record_offset_ = Problem::kNoOffset;
};
