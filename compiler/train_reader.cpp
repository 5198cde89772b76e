// The train source reader: the second half of the reading step. It reads <line>_<train>-.txt
// field by field into the scenario table and the track cells, handing signals and slowdowns to
// their stores.
#include "compiler/checked_math.h"
#include "compiler/error_codes.h"
#include "compiler/field_codec.h"
#include "compiler/field_reader.h"
#include "compiler/keywords.h"
#include "compiler/scenario_compiler.h"
#include "compiler/source_grammar.h"
#include "compiler/source_reading.h"

class TrainSourceReading : public SourceReading {
 public:
  TrainSourceReading(ReadingContext& context, const LineHandOver& hand_over, std::string text)
      : SourceReading(context, ProblemSource::kTrainSource, std::move(text)),
        signboard_cursor_(hand_over.signboard_cursor),
        // Before its first point, each list goes on with what the line reader left behind.
        previous_speed_(hand_over.previous_speed),
        previous_adhesion_(hand_over.previous_adhesion) {}

  // Reads the records; false when an error stopped the reading.
  bool records();
  void end_of_reading();

 private:
  // A row the field starts.
  RowResult train_row(RowId id);
  RowResult speed_limit();
  RowResult adhesion();
  RowResult clock();
  RowResult signal();
  RowResult slowdown();
  RowResult restriction_point();
  RowResult station();

  RowResult beyond_cells(int32_t p) {
    record_beyond_cells(p);
    return RowResult::kLeaveRows;
  }
  // Ends the reading with `code`: the train source is deleted, the tails are not written.
  RowResult stop(int32_t code) {
    stop_reading(code);
    return RowResult::kStop;
  }
  // `field`: the value at fault, when it is not the keyword.
  RowResult stop_at(int32_t code, int32_t position, int32_t cell = -1,
                    size_t field = Problem::kNoOffset) {
    stop_reading_at(code, position, cell, field);
    return RowResult::kStop;
  }
  // The previous speed (its fifth) and adhesion (its low 8 bits) into the cell at each cursor;
  // the callers keep the cursors within the cells.
  void write_speed() {
    // A speed fills a run of cells with the same byte: it is encoded (and range checked) at the
    // first cell written, and again only when it changes.
    if (!speed_encoded_ || encoded_km_h_ != previous_speed_) {
      encoded_speed_ = encode_speed(previous_speed_);
      encoded_km_h_ = previous_speed_;
      speed_encoded_ = true;
    }
    records_.cells[speed_cursor_++].speed = encoded_speed_;
  }
  void write_adhesion() {
    records_.cells[adhesion_cursor_++].adhesion = encode_adhesion(previous_adhesion_);
  }

  // Where the line reader's signboard texts begin: stations stay below.
  const int32_t signboard_cursor_;
  int32_t station_counter_ = kFirstStationEntry;
  int32_t speed_cursor_ = 0;
  int32_t previous_speed_;
  // previous_speed_ as write_speed last encoded it.
  bool speed_encoded_ = false;
  int32_t encoded_km_h_ = 0;
  uint8_t encoded_speed_ = 0;
  int32_t adhesion_cursor_ = 0;
  int32_t previous_adhesion_;
};

void read_train_source(ReadingContext& context, const LineHandOver& hand_over,
                       FailurePlace* failure) {
  std::string text;
  // A missing train source is a run-time failure of the reading step.
  if (!context.sources.read(ProblemSource::kTrainSource, &text)) {
    failure->source = ProblemSource::kTrainSource;
    throw RunTimeFailure(tr_mark("no train source {1}"),
                         {context.sources.path(ProblemSource::kTrainSource)});
  }
  TrainSourceReading reading(context, hand_over, std::move(text));
  try {
    if (reading.records()) reading.end_of_reading();
  } catch (const RunTimeFailure&) {
    *failure = reading.failure_place();
    throw;
  }
}

bool TrainSourceReading::records() {
  // Everything up to the first field holding "[generale]" is passed over.
  if (!in_.skip_to_general()) return true;
  while (in_.next_field()) {
    // Every row whose keyword the field holds is carried out, in the grammar's order.
    while (const RowGrammar* row = in_.next_row(SourcePart::kTrain)) {
      const RowResult result = train_row(row->id);
      if (result == RowResult::kStop) return false;
      if (result == RowResult::kLeaveRows) return true;
    }
  }
  return true;
}

RowResult TrainSourceReading::train_row(RowId id) {
  switch (id) {
    case RowId::kBrakedMass:
      records_.table[kRouteEntry].start = in_.i32();
      return RowResult::kNext;
    case RowId::kCars:
      records_.table[kRouteEntry].position = in_.i32();
      return RowResult::kNext;
    case RowId::kSpeedLimit:
      return speed_limit();
    case RowId::kAdhesion:
      return adhesion();
    case RowId::kClock:
      return clock();
    case RowId::kSand:
      records_.table[kTrainEntry].value_1 = in_.i16();
      return RowResult::kNext;
    case RowId::kSignal:
      return signal();
    case RowId::kSlowdown:
      return slowdown();
    case RowId::kRestrictionPoint:
      return restriction_point();
    case RowId::kStation:
      return station();
    default:
      return RowResult::kNext;
  }
}

RowResult TrainSourceReading::speed_limit() {
  const int32_t p = in_.i32();
  const int32_t speed = in_.i32();
  if (!within_cells(p)) return beyond_cells(p);
  // The previous speed runs from its own cell up to the cell before this point's.
  const int32_t n = area_cell(p);
  if (n > 0) {
    do {
      if (speed_cursor_ >= records_.last_cell()) break;
      write_speed();
    } while (speed_cursor_ < n);
  }
  previous_speed_ = speed;
  stored(RowKind::kSpeedLimit, p, speed);
  return RowResult::kNext;
}

RowResult TrainSourceReading::adhesion() {
  const int32_t p = in_.i32();
  const int32_t value = in_.i32();
  if (!within_cells(p)) return beyond_cells(p);
  const int32_t n = area_cell(p);
  if (n > 0) {
    do {
      // More points than cells would push the cursor past the last cell.
      if (adhesion_cursor_ > records_.last_cell()) return beyond_cells(p);
      write_adhesion();
    } while (adhesion_cursor_ < n);
  }
  previous_adhesion_ = value;
  stored(RowKind::kAdhesion, p, value);
  return RowResult::kNext;
}

RowResult TrainSourceReading::clock() {
  TableEntry& train = records_.table[kTrainEntry];
  train.value_3 = in_.i16();
  train.value_4 = in_.i16();
  train.value_5 = in_.i16();
  return RowResult::kNext;
}

RowResult TrainSourceReading::signal() {
  const int32_t position = in_.i32();
  SignalValues signal;
  signal.left.kind = in_.i32();
  signal.left.aspect_1 = in_.i32();
  signal.left.aspect_2 = in_.i32();
  signal.left.aspect_3 = in_.i32();
  signal.ratio = in_.i32();
  signal.right.kind = in_.i32();
  signal.right.aspect_1 = in_.i32();
  signal.right.aspect_2 = in_.i32();
  signal.right.aspect_3 = in_.i32();
  signal.waiting_time = in_.i32();
  if (!within_cells(position)) return beyond_cells(position);
  // The signal's four approach markers reach 8 cells back: they must stay on the line.
  if (point_cell(position) < 8) return beyond_cells(position);
  const StoreRefusal refused = memo_segnale(records_, log_, position, signal);
  // Stored, even when an earlier problem ends the reading here: the records hold it.
  if (!refused) stored(RowKind::kSignal, position, point_cell(position));
  if (stopped_after_store(refused, position)) return RowResult::kStop;
  return RowResult::kNext;
}

RowResult TrainSourceReading::slowdown() {
  SlowdownRow slowdown;
  slowdown.start = in_.i32();
  slowdown.speed = in_.i32();
  slowdown.length = in_.i32();
  slowdown.flag = in_.i32();
  slowdown.warning_boards = in_.i32();
  slowdown.second_speed = in_.i32();
  const int32_t x = slowdown.start;
  if (!within_cells(x)) return beyond_cells(x);
  // The start and the end must both lie on the cells; the warning cells lie before the start.
  const int32_t end = slowdown_end_cell(x, slowdown.length);
  if (point_cell(x) < 0 || end < 0 || end > records_.last_cell()) return beyond_cells(x);
  const StoreRefusal refused = memo_rallentamento(records_, log_, slowdown);
  // Stored, even when an earlier problem ends the reading here: the records hold it.
  if (!refused) stored(RowKind::kSlowdown, x, slowdown.speed, slowdown.length);
  if (stopped_after_store(refused, x)) return RowResult::kStop;
  return RowResult::kNext;
}

RowResult TrainSourceReading::restriction_point() {
  const int32_t p = in_.i32();
  const int32_t value = in_.i32();
  if (!within_cells(p)) return beyond_cells(p);
  const int32_t c = area_cell(p);
  if (c < 0) return beyond_cells(p);
  TrackCell& cell = records_.cells[c];
  if (!is_free(cell)) return stop_at(kRestrictionCellTaken, p, c);
  if (value > 0) {
    cell.type = kCellSpeedRestriction;
    cell.value_a = wrap16(value);
  } else {
    cell.type = kCellNoRestriction;
  }
  stored(RowKind::kRestrictionPoint, p, value, c);
  return RowResult::kNext;
}

RowResult TrainSourceReading::station() {
  // Stations fill the table upward and must stay below the signboard texts.
  if (station_counter_ > signboard_cursor_) return stop(kStationsMeetSignboards);
  TableEntry& e = records_.table[station_counter_];
  const int32_t p = e.position = in_.i32();
  const size_t position_field = in_.value_offset();
  if (!within_cells(p, kStationMargin)) return beyond_cells(p);
  if (p % 50 != 0) return stop_at(kStationNotOn50, p, -1, position_field);
  const uint8_t kind = e.kind = in_.u8();
  const int32_t length = in_.i32();
  if (length % 100 != 0) return stop_at(kStationLengthNotOn100, p, -1, in_.value_offset());
  e.flag_a = in_.u8();
  e.flag_e = in_.u8();
  e.flag_d = in_.u8();
  e.value_1 = in_.i16();
  e.value_2 = in_.i16();
  e.flag_b = in_.u8();
  e.value_3 = in_.i16();
  e.value_4 = in_.i16();
  e.value_5 = in_.i16();
  e.flag_c = in_.u8();
  const int32_t hours = in_.i32();
  const int32_t minutes = in_.i32();
  const int32_t seconds = in_.i32();
  // The name is read before the time is computed: a record cut short before its name, or a
  // time that overflows, leaves the entry as far as it was read.
  e.text = table_text(in_.text());
  e.time = add32(mul32(add32(mul32(hours, 60, tr_mark("time")), minutes, tr_mark("time")), 60,
                       tr_mark("time")),
                 seconds, tr_mark("time"));

  if (kind == 5 || kind == 6) {
    e.end = add32(p, 150, tr_mark("station end"));
    e.start = add32(p, -int64_t(length), tr_mark("station start"));
    e.flag_d = 0;
  } else if (kind == 7 || kind == 8) {
    e.start = add32(p, -int64_t(length), tr_mark("station start"));
    e.end = add32(p, length, tr_mark("station end"));
    e.flag_d = 0;
  } else {
    e.start = add32(p, -int64_t(length / 2), tr_mark("station start"));
    e.end = add32(p, length / 2 + (e.flag_d != 0 ? 50 : 0), tr_mark("station end"));
  }
  if (length < 600) e.flag_e = 0;
  // The first station keeps the 50 m extension of its end, but not its flag.
  if (station_counter_ == kFirstStationEntry) {
    e.flag_d = 0;
    e.flag_e = 0;
  }
  if (kind < 25) {
    const int32_t end_cell = area_cell(e.end) - 1;
    if (end_cell > records_.last_cell()) return beyond_cells(p);
    if (kind != 5 && kind != 6) {
      // Approach markers 81 to 84 in the four cells before the end cell, nearest first.
      for (int k = 1; k <= 4; ++k) {
        const int32_t j = end_cell - k;
        if (j > 1) records_.cells[j].marker = static_cast<uint8_t>(80 + k);
      }
    }
    if (end_cell <= 1) return stop(kStationEndTooEarly);
    records_.cells[end_cell].type = kCellStationEnd;
    records_.cells[end_cell].value_a = static_cast<int16_t>(station_counter_);
  }
  if (station_counter_ > kFirstStationEntry &&
      int64_t(e.start) - 350 < records_.table[station_counter_ - 1].end) {
    return stop_at(kStationsTooClose, p);
  }
  stored(RowKind::kStation, p, station_counter_, kind);
  ++station_counter_;
  if (station_counter_ >= signboard_cursor_) return stop(kStationsMeetSignboards);
  return RowResult::kNext;
}

void TrainSourceReading::end_of_reading() {
  done_with_source();
  const int32_t last = records_.last_cell();
  // The last speed and adhesion run on to the end of the line, short of its last two cells.
  do {
    if (speed_cursor_ > last) break;
    write_speed();
  } while (speed_cursor_ < last - 2);
  do {
    if (adhesion_cursor_ > last) break;
    write_adhesion();
  } while (adhesion_cursor_ < last - 2);
  for (int entry : {kChainageEntry3, kChainageEntry2, kChainageEntry1}) {
    if (records_.table[entry].start % 50 != 0 || records_.table[entry].end % 50 != 0) {
      log_.error.set(kChainageNotOn50);
      log_.record(ProblemSource::kLineSource, Problem::kNoOffset, false);
    }
  }
}
