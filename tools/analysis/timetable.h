// The timetable as compiled, read for scenario authors: the stations in the order of their
// table entries, what each one's time asks of the run from the station before it, and the
// warnings check gives for it. The route view's timetable and check both take it from here,
// so that the two never judge the same row differently.
//
// The least running time between two stations is plain arithmetic, not what the simulator
// does: every 50 m cell from the one holding the lower of the two positions up to the one
// holding the higher, run through at the cell's line speed, with no acceleration, braking or
// standing time. It is unknown when a cell between has no line speed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "compiler/scenario_compiler.h"
#include "tools/analysis/diagnostics.h"

// A station of this kind or more marks no end cell; the simulator may treat its time
// differently from another station's.
constexpr int kKindWithoutEndCell = 25;

struct TimetableStation {
  size_t offset;     // the station row's keyword field in the train source
  int entry;         // its scenario-table entry
  int32_t position;  // m, as the row gives it
  int kind;          // as compiled
  int32_t time;      // seconds after midnight, as compiled
};

// What a station's time asks of the run from the station before it in the timetable.
struct TimetableStep {
  // Seconds from the time before: a time half a day or more earlier is taken as one past
  // midnight, a day later.
  int64_t scheduled;
  // The least running time at the line speed, in seconds; none when a cell between has no
  // line speed.
  std::optional<double> least;
  bool earlier() const { return scheduled < 0; }
  // Earlier than the one before, or less than the least running time.
  bool too_short() const { return earlier() || (least && double(scheduled) < *least); }
};

// The stations of a compilation that kept its rows, in the order of their entries; none when
// it kept none.
std::vector<TimetableStation> timetable_stations(const Compilation& compiled);

// Seconds from `before` to `after`, both seconds after midnight, as TimetableStep::scheduled.
int64_t scheduled_seconds(int64_t before, int64_t after);

// The least running time from `from` to `to` (m, in either order) over `cells`, as above.
std::optional<double> least_running_seconds(const std::vector<TrackCell>& cells, int64_t from,
                                            int64_t to);

TimetableStep timetable_step(const CompiledRecords& records, const TimetableStation& before,
                             const TimetableStation& station);

// The warnings on the timetable of a compilation that kept its rows: a station's time earlier
// than the one before it, less than the least running time from it, the first station past
// 0 m (where the run begins) before the start clock. Each is placed at the station row's keyword,
// with notes naming the other row and both kinds.
std::vector<Diagnostic> timetable_warnings(const Compilation& compiled, const ShownSource& train);
