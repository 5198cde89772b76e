#include "tools/analysis/timetable.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/windows_1252.h"
#include "compiler/field_codec.h"
#include "compiler/records.h"
#include "tools/analysis/words.h"
#include "tools/language/translation.h"

namespace {

int64_t floor_div(int64_t a, int64_t b) {
  return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// A length of time as the timetable shows it, never to be read as a time of day: "29 min 00 s",
// or "1 h 05 min" from an hour on (seconds then left out, rounded down).
std::string duration_text(int64_t seconds) {
  const char* sign = seconds < 0 ? "-" : "";
  const uint64_t all = seconds < 0 ? 0 - uint64_t(seconds) : uint64_t(seconds);
  const unsigned long long hours = all / 3600, minutes = all / 60 % 60, rest = all % 60;
  if (hours > 0) return formatted("%s%llu h %02llu min", sign, hours, minutes);
  return formatted("%s%llu min %02llu s", sign, minutes, rest);
}

// A station as the warnings name it: its name and kind.
std::string named(const ScenarioTable& table, const TimetableStation& s) {
  return warning_text(
      // TRANSLATORS: {1} is a station's name, quoted; {2} its kind, a number.
      tr_mark("{1} (kind {2})"),
      {"'" + printable(elided(table[s.entry].text, 40, 10)) + "'", std::to_string(s.kind)});
}

// The note naming the station before, `other`, when there is one, and the one on kinds of 25 or
// more when either station has one.
void add_notes(const ScenarioTable& table, const ShownSource& train, const TimetableStation* other,
               const TimetableStation& station, Diagnostic* d) {
  if (other != nullptr) {
    const LineAndColumn at = train.locate(other->offset);
    d->note_places.push_back({d->notes.size(), train.path(), at.line, at.column});
    d->notes.push_back(utf8_from_windows_1252(warning_text(
        // TRANSLATORS: {1} is a line number of the train source, {2} a station "'Name' (kind 0)",
        // {3} a position in metres, {4} a time of day, h:mm:ss.
        tr_mark("the station before: line {1}, {2} at {3} m, {4}"),
        {std::to_string(at.line), named(table, *other), std::to_string(int(other->position)),
         clock_text(other->time, ClockStyle::kTimeOfDay)})));
  }
  for (const TimetableStation* s : {other, &station}) {
    if (s == nullptr || s->kind < kKindWithoutEndCell) continue;
    const std::initializer_list<std::string> kinds = {std::to_string(s->kind),
                                                      std::to_string(kKindWithoutEndCell)};
    d->notes.push_back(
        s == &station
            ? tr("this station is of kind {1}: a station of kind {2} or more marks no end cell, "
                 "and the simulator may treat its time differently; the times are compared here "
                 "as they stand",
                 kinds)
            : tr("the station before is of kind {1}: a station of kind {2} or more marks no end "
                 "cell, and the simulator may treat its time differently; the times are compared "
                 "here as they stand",
                 kinds));
  }
}

}  // namespace

std::vector<TimetableStation> timetable_stations(const Compilation& c) {
  std::vector<TimetableStation> stations;
  for (const SourceRow& row : c.rows) {
    if (row.kind != RowKind::kStation || row.a < 1 || row.a >= kTableEntries) continue;
    const TableEntry& e = c.records.table[row.a];
    stations.push_back({row.offset, int(row.a), row.position, int(e.kind), e.time});
  }
  std::stable_sort(
      stations.begin(), stations.end(),
      [](const TimetableStation& a, const TimetableStation& b) { return a.entry < b.entry; });
  return stations;
}

int64_t scheduled_seconds(int64_t before, int64_t after) {
  int64_t seconds = after - before;
  if (seconds < -43200) seconds += 86400;
  return seconds;
}

std::optional<double> least_running_seconds(const std::vector<TrackCell>& cells, int64_t from,
                                            int64_t to) {
  const int64_t a = std::min(from, to), b = std::max(from, to);
  double seconds = 0;
  for (int64_t c = floor_div(a, kCellMetres); c < floor_div(b, kCellMetres); ++c) {
    if (c < 0 || c >= int64_t(cells.size())) return std::nullopt;
    const int speed = decode_speed(cells[size_t(c)].speed);
    if (speed <= 0) return std::nullopt;
    seconds += kCellMetres / (speed / 3.6);
  }
  return seconds;
}

TimetableStep timetable_step(const CompiledRecords& records, const TimetableStation& before,
                             const TimetableStation& station) {
  return {scheduled_seconds(before.time, station.time),
          least_running_seconds(records.cells, before.position, station.position)};
}

std::vector<Diagnostic> timetable_warnings(const Compilation& c, const ShownSource& train) {
  std::vector<Diagnostic> out;
  const std::vector<TimetableStation> stations = timetable_stations(c);
  const ScenarioTable& table = c.records.table;
  const auto warning = [&](const TimetableStation& s, const char* kind,
                           const std::string& message) {
    SourceWarning w{s.offset, kind, message};
    out.push_back(warning_diagnostic(w, train));
    return &out.back();
  };
  // The first station the train runs to, past 0 m where the run begins: a station there is
  // where the train stands when the clock starts, and a time of it before the clock is a train
  // starting late.
  const TableEntry& train_entry = table[kTrainEntry];
  const int64_t start =
      (int64_t(train_entry.value_3) * 60 + train_entry.value_4) * 60 + train_entry.value_5;
  for (const TimetableStation& s : stations) {
    if (s.position <= 0) continue;
    if (scheduled_seconds(start, s.time) < 0) {
      Diagnostic* d = warning(
          s, "station before the start clock",
          warning_text(
              // TRANSLATORS: {1} is a station "'Name' (kind 0)"; {2} and {3} times of day, h:mm:ss.
              tr_mark("the station {1} at {2}, the timetable's first past 0 m, comes before the "
                      "start clock, {3} (the 'orologio' row)"),
              {named(table, s), clock_text(s.time, ClockStyle::kTimeOfDay),
               clock_text(start, ClockStyle::kTimeOfDay)}));
      add_notes(table, train, nullptr, s, d);
    }
    break;
  }
  for (size_t i = 1; i < stations.size(); ++i) {
    const TimetableStation& before = stations[i - 1];
    const TimetableStation& s = stations[i];
    const TimetableStep step = timetable_step(c.records, before, s);
    if (!step.too_short()) continue;
    const std::string name = named(table, s), time = clock_text(s.time, ClockStyle::kTimeOfDay);
    const std::string before_name = named(table, before),
                      before_time = clock_text(before.time, ClockStyle::kTimeOfDay);
    Diagnostic* d;
    if (step.earlier()) {
      d = warning(
          s, "station time earlier than the one before",
          // TRANSLATORS: {1} and {4} are stations "'Name' (kind 0)", {2} and {5} their times of
          // day, h:mm:ss; {3} a length of time, "3 min 00 s" or "1 h 05 min".
          warning_text(tr_mark("the station {1} at {2} is {3} earlier than the station before it "
                               "in the timetable, {4} at {5}"),
                       {name, time, duration_text(-step.scheduled), before_name, before_time}));
    } else {
      const int64_t metres = std::llabs(int64_t(s.position) - before.position);
      d = warning(
          s, "station time below the least running time",
          // TRANSLATORS: {1} and {4} are stations "'Name' (kind 0)", {2} and {5} their times of
          // day, h:mm:ss; {3} and {6} lengths of time, "3 min 00 s" or "1 h 05 min"; {7} a
          // distance.
          warning_text(tr_mark("the station {1} at {2} is {3} after the station before it in the "
                               "timetable, {4} at {5}: less than the least running time at the "
                               "line speed, {6} for {7} m"),
                       {name, time, duration_text(step.scheduled), before_name, before_time,
                        duration_text(int64_t(std::ceil(*step.least))), std::to_string(metres)}));
      add_notes(table, train, &before, s, d);
      d->notes.push_back(
          tr("the least running time: each 50 m cell from {1} m to {2} m at its line speed, with "
             "no acceleration, braking or standing time",
             {std::to_string(int(std::min(s.position, before.position))),
              std::to_string(int(std::max(s.position, before.position)))}));
      continue;
    }
    add_notes(table, train, &before, s, d);
  }
  return out;
}
