// The reading step's two readers and what they share. The line source reader and the train
// source reader each own their reading state (the fields, cursors and numbers of their source);
// they share only what the compilation builds (the records, the problem log, the rows kept for
// the authors' tools) and the sources themselves. SourceReading holds what both do alike: the
// source walked row by row (compiler/row_walker.h), and the ways a row ends the reading. A problem
// is recorded in the error state and in the list of problems, with the row it was met in; a stop
// is done with the source (deleted, unless the options keep it).
#pragma once

#include <string>
#include <utility>

#include "compiler/error_codes.h"
#include "compiler/feature_stores.h"
#include "compiler/row_walker.h"
#include "compiler/scenario_compiler.h"
#include "compiler/source_files.h"

// What the reading step's readers are handed.
struct ReadingContext {
  const CompileOptions& options;
  const SourceFiles& sources;
  Compilation& out;
};

// Where a run-time failure of the reading step happened, for its problem.
struct FailurePlace {
  ProblemSource source = ProblemSource::kNone;
  size_t offset = Problem::kNoOffset;      // the field being read
  size_t row_offset = Problem::kNoOffset;  // the row it belongs to
  const RowGrammar* row = nullptr;
};

// What the train source reader starts from that the line source reader leaves: where the
// signboard texts begin in the scenario table (stations must stay below), and the speed and
// adhesion that run until the train source's first points (what the line reader's numbers held
// last: the end of its last tunnel or the first speed of its last speed indicator, whichever
// came later; the stripes of its last speed indicator).
struct LineHandOver {
  int32_t signboard_cursor = kFirstSignboardEntry;
  int32_t previous_speed = 0;
  int32_t previous_adhesion = 0;
};

// The reading step: the line source, then the train source, into `out`. A run-time failure
// anywhere in it ends it with error 25, both sources gone (as the options allow); a file that
// cannot be read or deleted ends it with that failure.
Status memorizza_dati(const CompileOptions& options, Compilation* out);

// The line source, into the records: false when the reading stopped on an error (the train
// source is then not read); otherwise `hand_over` holds what the train source reader starts
// from. A run-time failure is thrown on as RunTimeFailure with `failure` filled in.
bool read_line_source(ReadingContext& context, LineHandOver* hand_over, FailurePlace* failure);
// The train source, into the records.
void read_train_source(ReadingContext& context, const LineHandOver& hand_over,
                       FailurePlace* failure);

// What a row of either source leaves the reader to do: go on with the next row; leave the
// source's rows, the row's problem recorded, and finish the source as at its end; or stop the
// reading on an error.
enum class RowResult { kNext, kLeaveRows, kStop };

class SourceReading {
 public:
  // Where a run-time failure happened: the field being read, and the row it belongs to.
  FailurePlace failure_place() const {
    return {source_, in_.value_offset(), in_.row_offset(), in_.row()};
  }

 protected:
  SourceReading(ReadingContext& context, ProblemSource source, std::string text)
      : context_(context),
        records_(context.out.records),
        log_(context.out.log),
        source_(source),
        in_(std::move(text), context.options.build_plan) {}

  // Records the error state's code as a problem of the row being read; `field` is the value at
  // fault when it is not the row's keyword.
  Problem& record(bool positioned, int32_t cell = -1, size_t field = Problem::kNoOffset) {
    Problem& problem = log_.record(source_, in_.row_offset(), positioned, cell, field);
    problem.row = in_.row();
    problem.row_position = in_.row_position();
    return problem;
  }
  // The position test of every row (CompiledRecords::within_cells); a station's margin is
  // kStationMargin.
  bool within_cells(int32_t p, int32_t margin = kFeatureMargin) const {
    return records_.within_cells(p, margin);
  }
  // The row's feature lies beyond the track cells: error 15 at `position`.
  void record_beyond_cells(int32_t position) {
    log_.error.set(kBeyondCells, position);
    record(true);
  }
  // Ends the reading with `code`, which has no position of its own.
  void stop_reading(int32_t code) {
    done_with_source();
    log_.error.set(code);
    record(false);
  }
  // The same with the position (and the occupied cell, the value at fault) of the row.
  void stop_reading_at(int32_t code, int32_t position, int32_t cell = -1,
                       size_t field = Problem::kNoOffset) {
    done_with_source();
    log_.error.set(code, position);
    record(true, cell, field);
  }
  // After a store: any code in the error state ends the reading at the row's position, the
  // store's own refusal or one an earlier problem left there.
  bool stopped_after_store(const StoreRefusal& refused, int32_t position) {
    if (log_.error.code <= 0) return false;
    stop_reading_at(log_.error.code, position, refused.cell);
    log_.problems.back().left_by_earlier = !refused;
    return true;
  }
  // Notes a row the reader stored, for the authors' tools, when the options keep them.
  void stored(RowKind kind, int32_t position, int32_t a = 0, int32_t b = 0) {
    if (context_.options.keep_rows) {
      context_.out.rows.push_back({kind, source_, in_.row_offset(), position, a, b});
    }
  }
  // The source read to its end, or left on an error.
  void done_with_source() { context_.sources.done_with(source_); }

  ReadingContext& context_;
  CompiledRecords& records_;
  ProblemLog& log_;
  const ProblemSource source_;
  RowWalker in_;
};
