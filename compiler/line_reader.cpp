// The line source reader: the first half of the reading step. It reads <line>_linea.txt field
// by field into the scenario table, the track cells and the line plan.
#include <algorithm>
#include <cmath>

#include "common/prefault.h"
#include "compiler/binary_layout.h"
#include "compiler/checked_math.h"
#include "compiler/error_codes.h"
#include "compiler/field_codec.h"
#include "compiler/field_reader.h"
#include "compiler/keywords.h"
#include "compiler/line_plan.h"
#include "compiler/scenario_compiler.h"
#include "compiler/source_grammar.h"
#include "compiler/source_reading.h"

namespace {

// The plan cursor may not pass this metre.
constexpr int32_t kPlanLimit = 1000000;
constexpr int32_t kLongestRoute = 1000000;

// A curve's curvature k (at most 0.003 either way) in ten-thousandths of a radian a metre,
// rounded half away from zero exactly as std::lround, whose maths library the installer then
// need not load at its start: k * 10000 less its whole part is exact.
int32_t ten_thousandths(double k) {
  const double x = k * 10000;
  int32_t whole = static_cast<int32_t>(x);
  const double rest = x - whole;
  if (rest >= 0.5) {
    ++whole;
  } else if (rest <= -0.5) {
    --whole;
  }
  return whole;
}

}  // namespace

// The reading of one line source: its fields, its cursors and what the feature rows share.
class LineSourceReading : public SourceReading {
 public:
  LineSourceReading(ReadingContext& context, std::string text)
      : SourceReading(context, ProblemSource::kLineSource, std::move(text)) {}

  // Each part returns false when the reading stopped on an error: the line source is gone and
  // the train source is not read.
  bool general_section();
  bool features();
  void end_of_features();

 private:
  // A row of the general section; false when it stopped the reading.
  bool general_row(RowId id);
  bool route_length();
  bool chainage(int entry);
  bool repetition();
  RowResult feature_rows();
  RowResult feature_row(RowId id);
  RowResult gradient();
  RowResult curve();
  RowResult tunnel();
  RowResult speed_indicator();
  RowResult signboard();
  RowResult beyond_cells(int32_t p) {
    record_beyond_cells(p);
    return RowResult::kLeaveRows;
  }
  // Ends the reading with `code`: the line source is deleted.
  bool stop(int32_t code) {
    stop_reading(code);
    return false;
  }
  RowResult stop_at(int32_t code, int32_t position, int32_t cell = -1) {
    stop_reading_at(code, position, cell);
    return RowResult::kStop;
  }
  bool write_gradient();
  // Steps of the line plan from the plan cursor to `last`: straight when k is 0, else curving.
  void run_steps(int32_t last, double k);
  bool plan_built() const { return context_.options.build_plan; }

  int32_t gradient_cursor_ = 0;
  int32_t previous_gradient_ = 0;
  int32_t plan_cursor_ = 2;
  // The signboard text that comes next goes to this table entry, counting down from 80.
  int32_t signboard_cursor_ = kFirstSignboardEntry;
  // The speed and adhesion handed over (see LineHandOver): each is set as soon as its row is
  // read, before any check of it.
  int32_t speed_carried_over_ = 0;
  int32_t adhesion_carried_over_ = 0;

 public:
  LineHandOver hand_over() const {
    return {signboard_cursor_, speed_carried_over_, adhesion_carried_over_};
  }
};

bool read_line_source(ReadingContext& context, LineHandOver* hand_over, FailurePlace* failure) {
  CompiledRecords& records = context.out.records;
  const ScenarioIdentity& scenario = context.options.scenario;
  records.table[kLineEntry].text = table_text(scenario_text(scenario.line_name));
  records.table[kTrainEntry].text = table_text(scenario_text(scenario.train_number));
  std::string text;
  if (!context.sources.read(ProblemSource::kLineSource, &text)) {
    context.out.log.error.set(kNoLineSource);
    context.out.log.record(ProblemSource::kLineSource, Problem::kNoOffset, false);
    return false;
  }
  LineSourceReading reading(context, std::move(text));
  try {
    if (!reading.general_section() || !reading.features()) return false;
    reading.end_of_features();
    *hand_over = reading.hand_over();
  } catch (const RunTimeFailure&) {
    *failure = reading.failure_place();
    throw;
  }
  return true;
}

bool LineSourceReading::general_section() {
  // Everything up to the first field holding "[generale]" is passed over.
  if (!in_.skip_to_general()) return stop(kNoGeneralSection);
  while (in_.next_general_field()) {
    while (const RowGrammar* row = in_.next_row(SourcePart::kGeneral)) {
      if (!general_row(row->id)) return false;
    }
    if (is_section_header(in_.field())) break;
  }
  // Features need the track cells, which only a route length makes.
  if (records_.cells.empty()) return stop(kNoRouteLength);
  return true;
}

bool LineSourceReading::general_row(RowId id) {
  TableEntry& line = records_.table[kLineEntry];
  switch (id) {
    case RowId::kRouteLength:
      return route_length();
    case RowId::kChainage3:
      return chainage(kChainageEntry3);
    case RowId::kChainage2:
      return chainage(kChainageEntry2);
    case RowId::kChainage1:
      return chainage(kChainageEntry1);
    // Background values: "uno" in start, "due" in position, "tre" in end.
    case RowId::kBackground1:
      line.start = in_.i32();
      return true;
    case RowId::kBackground2:
      line.position = in_.i32();
      return true;
    case RowId::kBackground3:
      line.end = in_.i32();
      return true;
    case RowId::kRepetition:
      return repetition();
    default:
      return true;
  }
}

bool LineSourceReading::chainage(int entry) {
  TableEntry& e = records_.table[entry];
  e.start = in_.i32();
  e.end = in_.i32();
  e.position = in_.i32();
  stored(RowKind::kChainage, e.start, e.end, e.position);
  return true;
}

bool LineSourceReading::route_length() {
  const int32_t length = in_.i32();
  records_.table[kRouteEntry].end = length;
  if (length > kLongestRoute) return stop(kRouteTooLong);
  const int32_t total = add32(length, 7000, tr_mark("total metres"));
  const int32_t last = nearest<int32_t>(total / 50.0, tr_mark("last cell"));
  // Cell 1 carries the version word and a checksum: a route needs it.
  if (last < kHeaderCell) {
    throw RunTimeFailure(tr_mark("route length {1} leaves no track cells"),
                         {std::to_string(length)});
  }
  records_.total_metres = total;
  const size_t cells = static_cast<size_t>(last) + 1;
  if (records_.cells.capacity() < cells) {
    // The longest route's cells take over 300 KB: their pages are brought in in one go.
    std::vector<TrackCell> room;
    room.reserve(cells);
    prefault(room.data(), cells * sizeof(TrackCell));
    records_.cells.swap(room);
  }
  records_.cells.assign(cells, TrackCell());
  records_.plan = LinePlan();
  if (plan_built()) records_.plan.points = total + 1;
  return true;
}

bool LineSourceReading::repetition() {
  TableEntry& train = records_.table[kTrainEntry];
  train.start = in_.i32();
  train.end = in_.i32();
  if (train.start % 50 != 0) return stop(kFirstRepetitionNotOn50);
  if (train.end % 50 != 0) return stop(kSecondRepetitionNotOn50);
  if (contains(in_.field(), "4")) {
    train.position = 4;
  } else if (contains(in_.field(), "9")) {
    train.position = 9;
  } else {
    return stop(kRepetitionCodeMissing);
  }
  if (train.end == 0) train.position = 0;
  return true;
}

bool LineSourceReading::features() {
  progressive_ordina(records_);
  records_.tunnels.clear();
  signboard_cursor_ = kFirstSignboardEntry;
  if (plan_built()) {
    // The line leaves the origin heading along +y: (0, 0), then (0, 1).
    records_.plan.origin_set = true;
  }
  while (in_.next_field()) {
    const RowResult row = feature_rows();
    if (row == RowResult::kStop) return false;
    if (row == RowResult::kLeaveRows) break;
  }
  return true;
}

RowResult LineSourceReading::feature_rows() {
  // Every row whose keyword the field holds is carried out, in the grammar's order.
  while (const RowGrammar* row = in_.next_row(SourcePart::kFeatures)) {
    const RowResult result = feature_row(row->id);
    if (result != RowResult::kNext) return result;
  }
  return RowResult::kNext;
}

RowResult LineSourceReading::feature_row(RowId id) {
  switch (id) {
    case RowId::kGradient:
      return gradient();
    case RowId::kCurve:
      return curve();
    case RowId::kTunnel:
      return tunnel();
    case RowId::kSpeedIndicator:
      return speed_indicator();
    case RowId::kSignboard:
      return signboard();
    default:
      return RowResult::kNext;
  }
}

bool LineSourceReading::write_gradient() {
  if (gradient_cursor_ > records_.last_cell()) return false;
  // Whatever the gradient: no range check, it wraps.
  records_.cells[gradient_cursor_].gradient = encode_gradient(previous_gradient_);
  ++gradient_cursor_;
  return true;
}

RowResult LineSourceReading::gradient() {
  const int32_t p = in_.i32();
  const int32_t g = in_.i32();
  if (!within_cells(p)) return beyond_cells(p);
  // The previous gradient runs up to the cell before this change's cell.
  const int32_t cell = area_cell(p);
  if (cell > 0) {
    do {
      // More changes than cells would push the cursor past the last cell.
      if (!write_gradient()) return beyond_cells(p);
    } while (gradient_cursor_ < cell);
  }
  previous_gradient_ = g;
  stored(RowKind::kGradient, p, g);
  return RowResult::kNext;
}

RowResult LineSourceReading::curve() {
  // Without the plan a curve row is not read: its numbers are passed over as fields.
  if (!in_.reads_values()) return RowResult::kNext;
  const int32_t start = in_.i32();
  const int32_t length = in_.i32();
  if (!within_cells(start)) return beyond_cells(start);
  const double k = curve_curvature(in_.field());
  if (k == 0) {
    stop(kBadCurve);
    return RowResult::kStop;
  }
  // Straight up to the curve's start, then the curve to its end. The end is looked at only
  // once the straight run is laid: an end past the 32-bit range then fails with those metres
  // kept.
  for (int run = 0; run < 2; ++run) {
    const int32_t until = run == 0 ? start : add32(start, length, tr_mark("curve end"));
    if (plan_cursor_ > until) continue;
    // Steps run up to the plan's last metre and the cursor's limit; past either, the curve
    // lies beyond the line (15) or the plan too far (103, which a step at the limit meets).
    const int32_t last = std::min({until, records_.plan.last_metre(), kPlanLimit});
    run_steps(last, run == 0 ? 0.0 : k);
    if (plan_cursor_ > kPlanLimit) {
      stop(kBadCurve);
      return RowResult::kStop;
    }
    if (plan_cursor_ <= until) return beyond_cells(start);
  }
  stored(RowKind::kCurve, start, length, ten_thousandths(k));
  return RowResult::kNext;
}

void LineSourceReading::run_steps(int32_t last, double k) {
  lay_run(&records_.plan, last, k);
  plan_cursor_ = std::max(plan_cursor_, last + 1);
}

RowResult LineSourceReading::tunnel() {
  TunnelRow tunnel;
  tunnel.start = in_.i32();
  tunnel.end = in_.i32();
  tunnel.kind = in_.i32();
  speed_carried_over_ = tunnel.end;
  if (!within_cells(tunnel.start)) return beyond_cells(tunnel.start);
  // The store refuses a tunnel whose cells lie beyond the route.
  int32_t kind = 0;
  if (memo_montagna(records_, log_, tunnel, &kind)) {
    record(true);
    return RowResult::kLeaveRows;
  }
  stored(RowKind::kTunnel, tunnel.start, tunnel.end, kind);
  return RowResult::kNext;
}

RowResult LineSourceReading::speed_indicator() {
  const int32_t position = in_.i32();
  IndicatorBoard first, second;
  for (IndicatorBoard* board : {&first, &second}) {
    board->speed_a = in_.i32();
    board->speed_b = in_.i32();
    board->speed_c = in_.i32();
    board->stripes = in_.i32();
  }
  speed_carried_over_ = first.speed_a;
  adhesion_carried_over_ = first.stripes;
  if (!within_cells(position) || point_cell(position) < 0) return beyond_cells(position);
  const StoreRefusal refused = memo_indicatori_v_max(records_, log_, position, first, second);
  // Stored, even when an earlier problem ends the reading here: the records hold it.
  if (!refused) stored(RowKind::kSpeedIndicator, position, point_cell(position));
  if (stopped_after_store(refused, position)) return RowResult::kStop;
  return RowResult::kNext;
}

RowResult LineSourceReading::signboard() {
  const int32_t position = in_.i32();
  // The text is read as a value of the row, so it is never taken for a keyword.
  const std::string text = in_.text();
  if (!within_cells(position) || point_cell(position) < 0) return beyond_cells(position);
  TrackCell& cell = records_.cells[point_cell(position)];
  if (!is_free(cell)) return stop_at(kSignboardCellTaken, position, point_cell(position));
  // Entry 0 is never written: signboard texts fill entries 80 down to 1 at most.
  if (signboard_cursor_ < kFirstStationEntry) {
    throw RunTimeFailure(tr_mark("more signboard texts than the scenario table holds (80)"), {});
  }
  records_.table[signboard_cursor_].text = table_text(text);
  cell.type = kCellSignboard;
  cell.value_a = static_cast<int16_t>(signboard_cursor_);
  stored(RowKind::kSignboard, position, point_cell(position), signboard_cursor_);
  --signboard_cursor_;
  return RowResult::kNext;
}

void LineSourceReading::end_of_features() {
  done_with_source();
  // The last gradient runs on to the end of the line.
  do {
    if (!write_gradient()) break;
  } while (gradient_cursor_ < records_.last_cell() - 2);
  if (plan_built()) {
    // Straight to the end; the last two metres stay unset.
    run_steps(records_.total_metres - 2, 0);
  }
}
