// The scenario compiler: reads the line source and the train source of a scenario from a
// directory into the compiled records, stamps version words and checksums, and writes the three
// files the simulator loads into the same directory.
//
// Its state is public, plain data: the records, the error state, the list of problems and the
// reading state that the two source readers share; tests and the authors' tool look at it
// directly. Only the plumbing of the reading step (file faults, where a failure happened) is
// private.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/scenario_identity.h"
#include "common/status.h"
#include "compiler/checksums.h"
#include "compiler/error_state.h"
#include "compiler/records.h"

// How a compilation ended.
enum class CompileEnd {
  kWritten,          // the compilation completed (the error state may hold a code): the files
                     // were written, unless write_files was false
  kNothingCompiled,  // the sources gave no track cells: no file written, earlier ones kept
  kIntegrityError,   // a version or checksum slot was taken (1250 or 1251): no file written
  kFileFault,        // a file could not be read, deleted or written (see status); the run
                     // stops there, and compiled files are never half written
};

struct CompileResult {
  CompileEnd end = CompileEnd::kWritten;
  int integrity_error = 0;  // 1250 or 1251 with kIntegrityError
  Status status;            // the failure with kFileFault
};

// Where a recorded problem was met.
enum class ProblemSource { kNone, kLineSource, kTrainSource, kTrackCells };

// One problem the compiler recorded, with what an author needs to find it. The error state
// keeps only the last one; the list keeps them all, in order.
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
  int32_t cell = -1;  // the cell in question: an occupied one, or the rules' cell

  static constexpr size_t kNoOffset = static_cast<size_t>(-1);
};

// A row of a source that the readers stored, and where it stands: what lets the authors' tools
// lead from a compiled object back to its source line.
enum class RowKind {
  kGradient,          // position, a = gradient
  kCurve,             // start, a = length, b = curvature in 1/10000 a metre, negative to the left
  kTunnel,            // start, a = end, b = kind as stored
  kSpeedIndicator,    // position, a = its cell
  kSignboard,         // position, a = its cell, b = its table entry
  kSpeedLimit,        // position, a = speed in km/h
  kAdhesion,          // position, a = adhesion
  kSignal,            // position, a = its cell
  kSlowdown,          // start, a = speed in km/h, b = length
  kRestrictionPoint,  // position, a = value, b = its cell
  kStation,           // position, a = its table entry, b = kind
  kChainage,          // position, a = chainage value, b = flag (a general row)
};

struct SourceRow {
  RowKind kind = RowKind::kGradient;
  ProblemSource source = ProblemSource::kNone;
  size_t offset = 0;  // byte offset of the row's keyword field in its source
  int32_t position = 0;
  int32_t a = 0;
  int32_t b = 0;
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

// Compiled file names.
std::string line_plan_name(const ScenarioIdentity& s);       // <line>_linea.dat
std::string scenario_table_name(const ScenarioIdentity& s);  // <line>_<train>.sim
std::string track_cells_name(const ScenarioIdentity& s);     // <line>_<train>.dat

class ScenarioCompiler {
 public:
  ScenarioCompiler(std::string directory, ScenarioIdentity scenario);

  // Where the sources are read and the compiled files written, and for which scenario.
  std::string directory;
  ScenarioIdentity scenario;
  // The installer's sources are its own and go once read; an author's sources stay.
  bool delete_sources = true;
  // False: compile in memory only, writing no compiled file.
  bool write_files = true;
  // The file system the sources are read and deleted and the compiled files written through.
  FileSystem* files = &platform_file_system();
  // When set, the sources are these texts instead of files: nothing is read from disk or
  // deleted. With write_files false, a compilation touches no file at all.
  std::optional<std::string> line_source_text;
  std::optional<std::string> train_source_text;

  // Non-zero: the line plan is built and written.
  int32_t j = 0;

  // The compiled records.
  LinePlan plan;                 // empty unless j is non-zero
  std::vector<TrackCell> cells;  // cells 0 to last_cell(); empty until a route length is read
  ScenarioTable table;

  // Tunnels by number from 1; index 0 is unused.
  static constexpr int kMaxTunnels = 80;
  std::array<int32_t, kMaxTunnels + 1> tunnel_starts{};
  std::array<int32_t, kMaxTunnels + 1> tunnel_ends{};
  int32_t tunnel_count = 0;

  int32_t total_metres = 0;  // route length + 7000
  ErrorState error;
  // What the run-time failure behind error 25 was, in words.
  std::string failure_message;
  // Every problem recorded, in order.
  std::vector<Problem> problems;
  // With keep_rows set, every row the readers stored, in the order read. Off by default: a
  // hostile source of millions of rows would hold as many here.
  bool keep_rows = false;
  std::vector<SourceRow> rows;
  // The cell a store refused as occupied, for the problem it leads to; -1 when none.
  int32_t refused_cell = -1;

  // The field most recently read as a keyword candidate, by either source reader.
  std::string current_field;
  // What the line source reader hands the train source reader when it has read to the end.
  LineHandOver hand_over;

  // Compiles: clears the records, reads both sources, applies the signal-cell rules, checks
  // and stamps the version words and checksums, and writes the compiled files.
  CompileResult memorizza_percorso(int32_t& j);

  // Writes the three compiled files (the line plan only when j is non-zero) from the records
  // of a compilation that ended with kWritten; memorizza_percorso calls it unless write_files
  // is false, and the authors' tool calls it itself once it has seen the error code.
  Status write_compiled_files() const;

  // The reading step: the line source, then the train source. A run-time failure anywhere in
  // it ends it with error 25, both sources deleted.
  void memorizza_dati();

  // Line feature stores.
  void progressive_ordina();
  void memo_montagna(int32_t& inizio, int32_t& fine, int32_t& tipo);
  void memo_indicatori_v_max(int32_t posizione, int32_t& vas, int32_t& vbs, int32_t& vcs,
                             int32_t& strisces, int32_t& vad, int32_t& vbd, int32_t& vcd,
                             int32_t& strisced);

  // Train feature stores.
  void memo_segnale(int32_t posizione, int32_t& sx, int32_t& s1, int32_t& s2, int32_t& s3,
                    int32_t& rapp, int32_t& dx, int32_t& d1, int32_t& d2, int32_t& d3,
                    int32_t& tempo);
  void memo_rallentamento(int32_t x, int32_t& v, int32_t& l, int32_t& f_tt, int32_t f_ta,
                          int32_t& d_v);

  // The rule pass: speed restriction points before signals and around slowdowns.
  void apply_signal_cell_rules();

  // Checksums of the train number and line name held in table entries 86 and 85
  // (compiler/checksums.h).
  int32_t codice_gara_st() const { return ::codice_gara_st(table); }
  int32_t codice_gara_og() const { return ::codice_gara_og(table); }

  int32_t last_cell() const { return static_cast<int32_t>(cells.size()) - 1; }

  // A store's refusal: records `code` in the error state and remembers the occupied cell.
  void refuse(int32_t code, int32_t cell) {
    error.set(code);
    refused_cell = cell;
  }

  // Adds the error state's current code to the list of problems, with where it was met.
  void record_problem(ProblemSource source, size_t offset, bool positioned, int32_t cell = -1,
                      size_t field_offset = Problem::kNoOffset);

  // Cell `index`; an index outside the cells is a run-time failure, never a write elsewhere.
  TrackCell& cell_at(int64_t index);

 private:
  friend class SourceReading;
  friend class LineSourceReading;
  friend class TrainSourceReading;
  enum class ReadingGoesOn { kYes, kNo };

  ReadingGoesOn read_line_source();
  void read_train_source();
  void delete_source(const std::string& name);
  std::string line_source_path() const;
  // Reads a source, from memory when given there; a file that cannot be read is a file fault.
  std::string source_text(const std::optional<std::string>& in_memory, const std::string& path,
                          bool* exists);
  // A file operation of the reading step that failed: it ends the compilation.
  Status file_fault_;
  // Where a run-time failure of the reading step happened.
  ProblemSource failure_source_ = ProblemSource::kNone;
  size_t failure_offset_ = Problem::kNoOffset;
  size_t failure_row_offset_ = Problem::kNoOffset;
  std::string train_source_path() const;
};

// Cell of a point feature at `position` metres: nearest(position / 50 + 1).
int32_t point_cell(int32_t position);
// Cell of an area feature at `position` metres: nearest(position / 50).
int32_t area_cell(int32_t position);
// `text` as stored in a table entry; a text longer than the file's 16-bit length count is a
// run-time failure.
std::string table_text(const std::string& text);
// A name of the scenario identity (UTF-8, as file names are built from it) as the table holds
// it: Windows-1252 bytes. A name Windows-1252 cannot hold is a run-time failure; callers that
// take names from people refuse such a name before compiling.
std::string scenario_text(const std::string& name);
// End cell of a slowdown that starts at `x` and is `l` metres long.
int32_t slowdown_end_cell(int32_t x, int32_t l);
