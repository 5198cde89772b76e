#include "tools/show/dump.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <utility>

#include "compiler/checksums.h"
#include "compiler/entry_fields.h"
#include "compiler/field_codec.h"
#include "compiler/records.h"
#include "compiler/scenario_compiler.h"
#include "tools/analysis/words.h"
#include "tools/language/translation.h"
#include "tools/render/json_stream.h"
#include "tools/show/compiled_files.h"
#include "tools/show/failed_compilation.h"

namespace {

// Whether the checksums in the files are those of the line name and train number they hold.
bool checksums_match(const CompiledScenario& compiled) {
  return compiled.table[kLineEntry].time == codice_gara_st(compiled.table) &&
         compiled.cells.size() > kHeaderCell &&
         compiled.cells[kHeaderCell].value_b == int16_t(codice_gara_og(compiled.table));
}

template <typename T>
std::string number(T value) {
  return std::to_string(value);
}

// A label of the report, "  " before it, padded with spaces to `width` characters (as many as
// its UTF-8 text shows).
std::string label(const std::string& text, size_t width = 10) {
  size_t shown = 0;
  for (unsigned char c : text) shown += (c & 0xC0) != 0x80 ? 1 : 0;
  return "  " + text + std::string(shown < width ? width - shown : 1, ' ');
}

bool holds_anything(const TrackCell& c, size_t index) {
  return c.type != 0 || c.marker != 0 || c.signal_time != 0 || index == kHeaderCell;
}

std::string table_text_of(const ScenarioTable& table, int entry) {
  if (entry < 0 || entry >= kTableEntries) return "?";
  return printable_utf8_from_windows_1252(table[entry].text);
}

// The object of a cell and its values, in words.
std::string describe_cell(const CompiledScenario& compiled, size_t index) {
  const TrackCell& c = compiled.cells[index];
  std::string text;
  switch (c.type) {
    case kCellEmpty:
      break;
    case kCellSignal:
      text = tr("signal, values {1} {2} {3} {4}, waiting time {5}",
                {number(c.value_a), number(c.value_b), number(c.value_c), number(c.value_d),
                 number(c.signal_time)});
      break;
    case kCellSlowdownEnd:
    case kCellSlowdownStart:
      text = tr(c.type == kCellSlowdownStart
                    ? tr_mark("slowdown start, {1} km/h, second speed {2}, first flag {3}")
                    : tr_mark("slowdown end, {1} km/h, second speed {2}, first flag {3}"),
                {number(c.value_a), number(c.value_b), number(c.value_c)});
      break;
    case kCellSlowdownWarning:
      text = tr("slowdown warning point, {1} km/h, second speed {2}",
                {number(c.value_a), number(c.value_b)});
      break;
    case kCellSlowdownBoards:
      text = tr("slowdown warning board {1}", {number(c.value_a)});
      break;
    case kCellSpeedIndicator:
      text = tr("speed indicator, speed codes {1} {2} {3}, stripes {4}",
                {number(c.value_a), number(c.value_b), number(c.value_c), number(c.value_d)});
      break;
    case kCellStationEnd:
      text = tr("station end of entry {1} ({2})",
                {number(c.value_a), table_text_of(compiled.table, c.value_a)});
      break;
    case kCellSpeedRestriction:
      text = tr("speed restriction point, {1}", {number(c.value_a)});
      break;
    case kCellTunnelMarker:
      text = tr("tunnel marker");
      break;
    case kCellNoRestriction:
      text = tr("'abbattimento' point without restriction");
      break;
    case kCellSignboard:
      text = tr("signboard, entry {1}: {2}",
                {number(c.value_a), table_text_of(compiled.table, c.value_a)});
      break;
    default:
      text = cell_type_name(c.type);
  }
  if (index == kHeaderCell) {
    text += std::string(text.empty() ? "" : "; ") +
            tr("header: version word {1}, checksum {2}", {number(c.value_a), number(c.value_b)});
  }
  if (c.marker != 0)
    text += std::string(text.empty() ? "" : "; ") + tr("approach marker {1}", {number(c.marker)});
  if (c.signal_time != 0 && c.type != kCellSignal) {
    text += std::string(text.empty() ? "" : "; ") + tr("waiting time {1}", {number(c.signal_time)});
  }
  return text;
}

struct Run {
  size_t from, to;
  int value;
};

// Each run of equal values of one field over the cells, in order, to `take`.
void each_run(const std::vector<TrackCell>& cells,
              const std::function<int(const TrackCell&)>& field,
              const std::function<void(const Run&)>& take) {
  for (size_t i = 0; i < cells.size();) {
    Run run{i, i, field(cells[i])};
    while (run.to + 1 < cells.size() && field(cells[run.to + 1]) == run.value) ++run.to;
    take(run);
    i = run.to + 1;
  }
}

struct RunField {
  const char* name;  // marked for the catalogue
  const char* unit;
  std::function<int(const TrackCell&)> value;
  bool skip_zero;
};

const std::vector<RunField>& run_fields() {
  static const std::vector<RunField> fields = {
      {tr_mark("gradient"), "per mille",
       [](const TrackCell& c) { return decode_gradient(c.gradient); }, false},
      {tr_mark("speed"), "km/h", [](const TrackCell& c) { return decode_speed(c.speed); }, false},
      {tr_mark("adhesion"), "", [](const TrackCell& c) { return decode_adhesion(c.adhesion); },
       false},
      {tr_mark("tunnel"), "kind", [](const TrackCell& c) { return int(c.tunnel_kind); }, true},
  };
  return fields;
}

// The value of a field of a compiled record in the JSON: a number, or a text from Windows-1252.
nlohmann::ordered_json field_value(int64_t value) {
  return value;
}
nlohmann::ordered_json field_value(const std::string& text) {
  return utf8_from_windows_1252(text);
}

// The role of each table entry. Signboard texts are the entries that signboard cells point at:
// the cells are gone through once for all the entries.
class Roles {
 public:
  explicit Roles(const CompiledScenario& compiled) : compiled_(compiled) {
    for (const TrackCell& c : compiled.cells) {
      if (c.type == kCellSignboard && c.value_a >= 0 && c.value_a < kTableEntries) {
        signboard_[size_t(c.value_a)] = true;
      }
    }
  }
  std::string of(int index) const;

 private:
  const CompiledScenario& compiled_;
  std::array<bool, kTableEntries> signboard_{};
};

std::string Roles::of(int index) const {
  const TableEntry& e = compiled_.table[index];
  if (index >= kChainageEntry3 && index <= kChainageEntry1) return "chainage";
  if (index == kRouteEntry) return "route";
  if (index == kLineEntry) return "line";
  if (index == kTrainEntry) return "train";
  if (signboard_[size_t(index)]) return "signboard";
  const bool empty =
      e.kind == 0 && e.start == 0 && e.end == 0 && e.position == 0 && e.text.empty() && e.time == 0;
  if (empty) return "empty";
  return index >= kFirstStationEntry && index < kFirstSignboardEntry ? "station" : "other";
}

}  // namespace

std::string dump_text(const CompiledScenario& compiled, const ScenarioIdentity& scenario) {
  const ScenarioTable& t = compiled.table;
  const TableEntry& line = t[kLineEntry];
  const TableEntry& train = t[kTrainEntry];
  const TableEntry& route = t[kRouteEntry];
  const bool match = checksums_match(compiled);
  std::string out;
  for (const std::string& sign : signs_of_failed_compilation(compiled)) {
    out += tr("signs of a failed compilation: {1}", {sign}) + "\n";
  }
  out += tr("scenario table {1}", {scenario_table_name(scenario)}) + "\n";
  out += label(tr("line")) +
         tr("{1}, backgrounds {2} {3} {4}",
            {printable_utf8_from_windows_1252(line.text), number(line.start), number(line.position),
             number(line.end)}) +
         "\n";
  // TRANSLATORS: {1} is the train's number, {3} its clock (hh:mm:ss).
  out += label(tr("train")) +
         tr("{1}, sand {2}, start clock {3}, signal repetition {4} m and {5} m, {6} codes",
            {printable_utf8_from_windows_1252(train.text), number(train.value_1),
             formatted("%02d:%02d:%02d", train.value_3, train.value_4, train.value_5),
             number(train.start), number(train.end), number(train.position)}) +
         "\n";
  out += label(tr("route")) +
         tr("{1} m, braked mass {2} %, {3} cars",
            {number(route.end), number(route.start), number(route.position)}) +
         "\n";
  out += label(tr("version")) +
         (match ? tr("{1}, checksum {2} (matches the line name and train number)",
                     {number(line.value_1), number(line.time)})
                : tr("{1}, checksum {2} (DOES NOT MATCH)",
                     {number(line.value_1), number(line.time)})) +
         "\n";
  for (int e = kChainageEntry3; e <= kChainageEntry1; ++e) {
    if (t[e].start == 0 && t[e].end == 0 && t[e].position == 0) continue;
    out += label(tr("chainage")) +
           tr("entry {1}: at {2} m, chainage {3} m, flag {4}",
              {number(e), number(t[e].start), number(t[e].end), number(t[e].position)}) +
           "\n";
  }
  out += "  " + std::string(tr("stations")) + "\n";
  const Roles roles(compiled);
  for (int e = kFirstStationEntry; e <= kFirstSignboardEntry; ++e) {
    if (roles.of(e) != "station") continue;
    const TableEntry& s = t[e];
    out +=
        formatted("    %2d  ", e) + printable_utf8_from_windows_1252(s.text) + ": " +
        tr("kind {1}, at {2} m, from {3} to {4} m, time {5}",
           {number(s.kind), number(s.position), number(s.start), number(s.end),
            clock_text(s.time, ClockStyle::kPaddedHours)}) +
        ", " +
        tr("flags {1}, values {2}",
           {formatted("%d %d %d %d %d", s.flag_a, s.flag_b, s.flag_c, s.flag_d, s.flag_e),
            formatted("%d %d %d %d %d", s.value_1, s.value_2, s.value_3, s.value_4, s.value_5)}) +
        "\n";
  }
  out += "  " + std::string(tr("signboard texts")) + "\n";
  for (int e = kFirstSignboardEntry; e >= kFirstStationEntry; --e) {
    if (roles.of(e) != "signboard") continue;
    out += formatted("    %2d  ", e) + printable_utf8_from_windows_1252(t[e].text) + "\n";
  }

  const std::vector<TrackCell>& cells = compiled.cells;
  const std::string cell_count = number(cells.size()), last_cell = number(cells.size() - 1);
  out += (match ? tr("track cells {1}: {2} cells, 0 to {3}, checksum matches",
                     {track_cells_name(scenario), cell_count, last_cell})
                : tr("track cells {1}: {2} cells, 0 to {3}, checksum DOES NOT MATCH",
                     {track_cells_name(scenario), cell_count, last_cell})) +
         "\n";
  for (size_t i = 0; i < cells.size(); ++i) {
    if (!holds_anything(cells[i], i)) continue;
    const std::string chainage = chainage_text(t, int64_t(i) * kCellMetres);
    // TRANSLATORS: a cell's number, right-aligned in 4 columns.
    out += "  " + tr("cell {1}", {formatted("%4zu", i)}) +
           formatted("  %6zu m  ", i * kCellMetres) + (chainage.empty() ? "" : chainage + "  ") +
           describe_cell(compiled, i) + "\n";
  }
  for (const RunField& field : run_fields()) {
    out += label(tr(field.name), 9);
    const char* separator = " ";
    each_run(cells, field.value, [&](const Run& r) {
      if (field.skip_zero && r.value == 0) return;
      const std::string value = std::string(field.unit) == "kind"
                                    ? tr("kind {1}", {number(r.value)})
                                    : number(r.value) + (*field.unit ? " " : "") + field.unit;
      out += separator + tr("cells {1}-{2}: {3}", {number(r.from), number(r.to), value});
      separator = "; ";
    });
    out += "\n";
  }

  if (compiled.has_plan) {
    const LinePlanPoints& p = compiled.plan;
    out += tr("line plan {1}: metres 0 to {2}, set up to metre {3}",
              {line_plan_name(scenario), number(p.last_metre()), number(p.computed_end - 1)});
    if (p.computed_end > 2) {
      const auto x = std::minmax_element(p.x.begin(), p.x.begin() + p.computed_end);
      const auto y = std::minmax_element(p.y.begin(), p.y.begin() + p.computed_end);
      out += ", " + tr("x from {1} to {2} m, y from {3} to {4} m",
                       {formatted("%.1f", *x.first), formatted("%.1f", *x.second),
                        formatted("%.1f", *y.first), formatted("%.1f", *y.second)});
    }
    out += "\n";
  } else {
    out += tr("line plan {1}: none", {line_plan_name(scenario)}) + "\n";
  }
  return out;
}

void dump_json(const CompiledScenario& compiled, const ScenarioIdentity& scenario,
               const TextSink& out) {
  // Written a record at a time: memory holds one table entry, cell or run of its JSON however
  // many the files hold. Every text is converted from Windows-1252, so it is UTF-8.
  using Json = nlohmann::ordered_json;
  JsonStream document(out, JsonStream::Kind::kObject, 0);
  Json signs = Json::array();
  for (const std::string& sign : signs_of_failed_compilation(compiled)) {
    signs.push_back(field_value(sign));
  }
  document.member("signs_of_failed_compilation", signs);

  document.key("scenario_table");
  JsonStream table(out, JsonStream::Kind::kObject, 1);
  table.member("file", field_value(scenario_table_name(scenario)));
  table.member("checksums_match", checksums_match(compiled));
  table.key("entries");
  JsonStream entries(out, JsonStream::Kind::kArray, 2);
  const Roles roles(compiled);
  for (int e = 0; e < kTableEntries; ++e) {
    const TableEntry& x = compiled.table[e];
    const std::string role = roles.of(e);
    Json entry = {{"index", e}, {"role", role}};
    // Every field of the entry, in the order of its bytes.
#define TABLE_ENTRY_FIELD(name, width) entry[#name] = field_value(x.name);
#include "compiler/record_fields.def"
    // What the fields its role uses hold.
    if (const std::vector<EntryField>* fields = entry_fields(role.c_str())) {
      Json meanings = Json::object();
      for (const EntryField& f : *fields) meanings[f.name] = tr(f.meaning);
      entry["meanings"] = meanings;
    }
    entries.element(entry);
  }
  entries.close();
  table.close();

  document.key("track_cells");
  JsonStream cells(out, JsonStream::Kind::kObject, 1);
  cells.member("file", field_value(track_cells_name(scenario)));
  cells.member("count", compiled.cells.size());
  cells.key("objects");
  JsonStream objects(out, JsonStream::Kind::kArray, 2);
  for (size_t i = 0; i < compiled.cells.size(); ++i) {
    const TrackCell& c = compiled.cells[i];
    if (!holds_anything(c, i)) continue;
    Json object = {
        {"cell", i}, {"metres", i * kCellMetres}, {"object", field_value(cell_type_name(c.type))}};
    // Every field of the cell, in the order of its bytes.
#define TRACK_CELL_FIELD(name, width) object[#name] = field_value(c.name);
#include "compiler/record_fields.def"
    objects.element(object);
  }
  objects.close();
  cells.key("runs");
  JsonStream cell_runs(out, JsonStream::Kind::kObject, 2);
  for (const RunField& field : run_fields()) {
    cell_runs.key(field.name);
    JsonStream list(out, JsonStream::Kind::kArray, 3);
    each_run(compiled.cells, field.value, [&](const Run& r) {
      if (field.skip_zero && r.value == 0) return;
      list.element({{"from", r.from}, {"to", r.to}, {"value", r.value}});
    });
    list.close();
  }
  cell_runs.close();
  cells.close();

  Json line_plan = nullptr;
  if (compiled.has_plan) {
    line_plan = {{"file", field_value(line_plan_name(scenario))},
                 {"last_metre", compiled.plan.last_metre()},
                 {"set_until", compiled.plan.computed_end - 1}};
  }
  document.member("line_plan", line_plan);
  document.close();
  out("\n");
}

std::string dump_json(const CompiledScenario& compiled, const ScenarioIdentity& scenario) {
  std::string text;
  dump_json(compiled, scenario, append_to(&text));
  return text;
}
