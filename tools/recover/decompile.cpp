#include "tools/recover/decompile.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <queue>
#include <set>
#include <tuple>

#include "compiler/binary_layout.h"
#include "compiler/checksums.h"
#include "compiler/compiled_records.h"
#include "compiler/field_codec.h"
#include "compiler/line_plan.h"
#include "compiler/scenario_compiler.h"
#include "tools/language/translation.h"
#include "tools/recover/source_layout.h"

namespace {

constexpr int16_t kRulePointValue = 180;  // what the signal-cell rules give the points they place
constexpr size_t kMostDifferencesListed = 200;
// The position of a signboard whose text has an entry but no cell, until it gets one.
constexpr int32_t kNoCellYet = INT32_MIN;

int32_t last_cell_of(const std::vector<TrackCell>& cells) {
  return static_cast<int32_t>(cells.size()) - 1;
}

// The cells as the rows left them: the header cell's version word and checksum back to the 0
// they replaced, when they are what the compiler writes; otherwise the cells as they are, and
// `unexplained` (when given) says what the header cell holds instead.
std::vector<TrackCell> cells_before_stamps(const ScenarioTable& table, std::vector<TrackCell> cells,
                                           std::vector<std::string>* unexplained) {
  if (static_cast<int32_t>(cells.size()) <= kHeaderCell) return cells;
  TrackCell& header = cells[kHeaderCell];
  const int16_t checksum = static_cast<int16_t>(codice_gara_og(table));
  // A row may put its object into the header cell (a speed board at 0 m), but only with 0 in
  // the two values the compiler stamps.
  if (!header_before_stamps(table, &header) && unexplained != nullptr) {
    unexplained->push_back(
        tr("cell {1} (the header cell): value_a {2} and value_b {3} where the compiler writes {4} "
           "and the checksum {5} of the line name and train number",
           {std::to_string(kHeaderCell), std::to_string(header.value_a),
            std::to_string(header.value_b), std::to_string(kHeaderVersionWord),
            std::to_string(checksum)}));
  }
  return cells;
}

// A cell's first metre: the position a row needs for its object to fall into `cell`, with
// point_cell for the point features and area_cell for the runs.
int32_t point_position(int32_t cell) {
  return (cell - 1) * kCellMetres;
}
int32_t area_position(int32_t cell) {
  return cell * kCellMetres;
}

// ---- the line source ----

void recover_general(const ScenarioTable& table, RecoveredLine* line) {
  line->route_length = table[kRouteEntry].end;
  // Entries 81 to 83 hold the references ordered and with the flag's 100 m added. Rows that
  // give the same order back: in falling position "tre", "due", "uno" (with the two nearer ones
  // swapped on a tie, which the ordering breaks towards "uno"); all at position 0, "uno" first.
  RecoveredLine::Chainage entries[3];
  const int ids[3] = {kChainageEntry3, kChainageEntry2, kChainageEntry1};
  for (int i = 0; i < 3; ++i) {
    const TableEntry& e = table[ids[i]];
    entries[i] = {e.start, e.end, e.position};
    if (e.position == 1) entries[i].value = static_cast<int32_t>(int64_t(e.end) - 100);
  }
  const int64_t positions =
      int64_t(entries[0].position) + entries[1].position + entries[2].position;
  RecoveredLine::Chainage& uno = line->chainage[0];
  RecoveredLine::Chainage& due = line->chainage[1];
  RecoveredLine::Chainage& tre = line->chainage[2];
  if (positions != 0) {
    tre = entries[0];
    const bool tie = entries[1].position == entries[2].position;
    due = tie ? entries[2] : entries[1];
    uno = tie ? entries[1] : entries[2];
  } else {
    uno = entries[0];
    due = entries[1];
    tre = entries[2];
  }
  const TableEntry& l = table[kLineEntry];
  line->background[0] = l.start;
  line->background[1] = l.position;
  line->background[2] = l.end;
  const TableEntry& t = table[kTrainEntry];
  line->repetition[0] = t.start;
  line->repetition[1] = t.end;
  line->repetition_codes = t.position == 9 ? 9 : 4;
}

// Curve rows from the plan's rules: each curve run from metre a to b is a row from a - 1 of
// length b - a + 1 (the straight before it up to a - 1 is laid by the same row). A run that
// touches a curve before it may start where that curve's row starts, when a - 1 lies past the
// last position a row may take.
void recover_curves(const std::vector<double>& x, const std::vector<double>& y,
                    int32_t computed_end, int32_t last_position, RecoveredLine* line,
                    std::vector<std::string>* unexplained) {
  std::vector<std::pair<int32_t, int32_t>> unmatched;
  const std::vector<PlanRun> runs = plan_runs_of_points(x, y, computed_end, &unmatched);
  for (const auto& run : unmatched) {
    unexplained->push_back(
        tr("line plan metres {1} to {2}: no straight or curve of the format lays these points",
           {std::to_string(run.first), std::to_string(run.second)}));
  }
  bool after_curve = false;
  for (const PlanRun& run : runs) {
    if (run.k == 0) {
      after_curve = false;
      continue;
    }
    RecoveredLine::Curve curve;
    curve.start = run.first - 1;
    if (after_curve && curve.start > last_position) curve.start = line->curves.back().start;
    curve.length = run.last - curve.start;
    curve.left = run.k < 0;
    for (int digit = 0; digit < kCurveDigits; ++digit) {
      if (std::abs(run.k) == kCurveCurvatures[digit]) curve.digit = digit + 1;
    }
    line->curves.push_back(curve);
    after_curve = true;
  }
}

// The rows of a value laid cell by cell from a cursor (gradient, line speed, adhesion). Each
// row writes the value before it from the cursor up to the cell before its own, and always at
// least one cell, so a row at or before the cursor pushes it on by one; the end of the source
// runs the last value on to three cells short of the last one, or one cell past the cursor
// when the cursor is already there. So cells 0 to last - 3 are always written, and the last
// three cells of the margin only as far as rows pushed the cursor (unwritten, they stay 0).
// The rows: one at 0 m always, one where the value changes up to cell last - 3, then rows in
// the last place a row may take, cell last - 2, one for each of the margin's last three cells
// up to the last that holds a value: the first runs the value before it up to last - 3, each
// one after writes the value of the row before it one cell on, and the end of the source
// writes the last row's value one cell further.
template <typename Field, typename Decode>
std::vector<RecoveredLine::Value> recover_runs(const std::vector<TrackCell>& cells, Field field,
                                               Decode decode) {
  std::vector<RecoveredLine::Value> rows;
  const int32_t last = last_cell_of(cells);
  if (last < 3) return rows;
  rows.push_back({0, decode(field(cells[0]))});
  for (int32_t c = 1; c <= last - 3; ++c) {
    if (field(cells[c]) != field(cells[c - 1]))
      rows.push_back({area_position(c), decode(field(cells[c]))});
  }
  int32_t written_to = last - 3;
  for (int32_t c = last - 2; c <= last; ++c) {
    if (field(cells[c]) != 0) written_to = c;
  }
  for (int32_t c = last - 2; c <= written_to; ++c)
    rows.push_back({area_position(last - 2), decode(field(cells[c]))});
  return rows;
}

// The kind a tunnel row writes for cells of `kind` (8 bits) with or without markers: a kind
// above 10 lays markers and loses its 10; the cells keep the low 8 bits. A kind that wraps to 0
// leaves nothing but its markers.
int32_t tunnel_row_kind(uint8_t kind, bool markers) {
  if (markers) return kind == 0 ? 266 : kind + 10;
  return kind > 10 ? kind - 256 : kind;
}

void recover_tunnels(const std::vector<TrackCell>& cells, RecoveredLine* line) {
  const int32_t last = last_cell_of(cells);
  std::vector<RecoveredLine::Tunnel> tunnels;
  std::vector<bool> explained(cells.size(), false);  // markers a tunnel of the runs laid
  // Markers a tunnel laid past the cells that still show its kind: a later tunnel of kind 3
  // overlapped it there. They belong to it, not to the later one.
  int32_t explained_up_to = -1;
  int32_t rejoined_from = -1, rejoined_to = -1;  // a run that belongs to a tunnel before it
  std::set<int32_t> laid_before;                 // starts of rows the row before them wrote over
  for (int32_t c = 0; c <= last;) {
    const uint8_t kind = cells[c].tunnel_kind;
    if (kind == 0) {
      ++c;
      continue;
    }
    if (c == rejoined_from) {
      c = rejoined_to + 1;
      continue;
    }
    int32_t end = c;
    while (end + 1 <= last && cells[end + 1].tunnel_kind == kind) ++end;
    bool markers = false;
    for (int32_t i = c + 3; i <= end; i += 4) {
      markers = markers || (i > explained_up_to && cells[i].type == kCellTunnelMarker) ||
                (kind == 3 && cells[i].type == kCellTunnelMarker && !explained[i]);
    }
    // A run of its own kind after cells of another kind that hold markers no row explains, in
    // step with it: its start lies under that later row, three cells before the first of them.
    int32_t base = c;
    const uint8_t over = c > 0 ? cells[c - 1].tunnel_kind : 0;
    if (!markers && kind != 3 && over != 0) {
      int32_t first = -1;
      for (int32_t b = c - 1; b >= std::max(0, c - 4) && first < 0; --b) {
        if (cells[b].type == kCellTunnelMarker && !explained[b]) first = b;
      }
      while (first >= 4 && cells[first - 4].type == kCellTunnelMarker && !explained[first - 4] &&
             cells[first - 4].tunnel_kind == over)
        first -= 4;
      bool under = first >= 3;
      for (int32_t i = first - 3; under && i < c; ++i) under = cells[i].tunnel_kind == over;
      if (under) {
        base = first - 3;
        markers = true;
        if (over != 3) laid_before.insert(area_position(base));
      }
    }
    RecoveredLine::Tunnel tunnel;
    tunnel.kind = tunnel_row_kind(kind, markers);
    tunnel.start = area_position(base);
    // A row may not start in the last cells: one whose kind shows only there started further
    // back, where a later row wrote over it (of kind 3, or of another kind in the row before).
    const int64_t latest_start = int64_t(last) * kCellMetres - kFeatureMargin;
    if (!markers && kind != 3 && tunnel.start > latest_start && c > 0) {
      const uint8_t over = cells[c - 1].tunnel_kind;
      int32_t from = c;
      while (from > 0 && over != 0 && cells[from - 1].tunnel_kind == over &&
             area_position(from) > latest_start)
        --from;
      if (area_position(from) <= latest_start) {
        tunnel.start = area_position(from);
        if (over != 3) laid_before.insert(tunnel.start);
      }
    }
    int32_t reach = end;
    if (markers) {
      // Into the cells of another kind that follow (a later row's, of kind 3 or any other, that
      // leaves the markers under it), as far as its markers go on.
      int32_t covered = end;
      const uint8_t later = end < last ? cells[end + 1].tunnel_kind : 0;
      while (later != 0 && covered + 1 <= last && cells[covered + 1].tunnel_kind == later)
        ++covered;
      int32_t next = base + 3;
      while (next <= end) next += 4;
      for (; next <= covered && cells[next].type == kCellTunnelMarker; next += 4) reach = next;
      // Past those cells, its own kind again with its markers in step: the same tunnel, which
      // the later row overlapped in its middle.
      if (covered > end && next > covered) {
        int32_t again = covered;
        while (again + 1 <= last && cells[again + 1].tunnel_kind == kind) ++again;
        bool in_step = again > covered;
        for (int32_t i = next; i <= again; i += 4)
          in_step = in_step && cells[i].type == kCellTunnelMarker;
        if (in_step) {
          reach = again;
          rejoined_from = covered + 1;
          rejoined_to = again;
        }
      }
      for (int32_t i = base + 3; i <= reach; i += 4) explained[i] = true;
    }
    explained_up_to = std::max(explained_up_to, reach);
    tunnel.end = area_position(reach + 1);
    tunnels.push_back(tunnel);
    c = end + 1;
  }
  // Markers on cells of kind 0 that no run explains: a tunnel whose kind wrapped to 0, from
  // three cells before its first marker to its last one, four cells apart.
  for (int32_t c = 3; c <= last; ++c) {
    if (cells[c].type != kCellTunnelMarker || explained[c] || cells[c].tunnel_kind != 0) continue;
    int32_t reach = c;
    while (reach + 4 <= last && cells[reach + 4].type == kCellTunnelMarker &&
           cells[reach + 4].tunnel_kind == 0 && !explained[reach + 4])
      reach += 4;
    for (int32_t i = c; i <= reach; i += 4) explained[i] = true;
    tunnels.push_back({area_position(c - 3), area_position(reach + 1), tunnel_row_kind(0, true)});
  }
  std::stable_sort(tunnels.begin(), tunnels.end(),
                   [](const auto& a, const auto& b) { return a.start < b.start; });
  // A tunnel row takes kind 3 when it starts within 150 m past the end of the row before it, or
  // anywhere before that end. The rows of other kinds come first, in rising position, each
  // kept more than 150 m past the one before: by narrowing the gap's two ends within their
  // cells, else by a row between them that lays no cell and ends far before. The rows of kind
  // 3 follow, over the markers of the rows before them.
  const RecoveredLine::Tunnel spacer{0, -1000000, 0};
  std::vector<RecoveredLine::Tunnel> of_kind_3;
  for (RecoveredLine::Tunnel& tunnel : tunnels) {
    if (tunnel.kind == 3 || tunnel.kind == 13) {
      of_kind_3.push_back(tunnel);
      continue;
    }
    if (laid_before.count(tunnel.start) != 0 && !line->tunnels.empty()) {
      // Before the row that wrote over it, each after a row that lays nothing.
      const RecoveredLine::Tunnel previous = line->tunnels.back();
      line->tunnels.back() = spacer;
      line->tunnels.insert(line->tunnels.end(), {tunnel, spacer, previous});
      continue;
    }
    if (!line->tunnels.empty() && int64_t(tunnel.start) - line->tunnels.back().end <= 150) {
      RecoveredLine::Tunnel& previous = line->tunnels.back();
      if (int64_t(tunnel.start) + 24 - (int64_t(previous.end) - 24) > 150) {
        tunnel.start += 24;
        previous.end -= 24;
      } else {
        line->tunnels.push_back(spacer);
      }
    }
    line->tunnels.push_back(tunnel);
  }
  line->tunnels.insert(line->tunnels.end(), of_kind_3.begin(), of_kind_3.end());
}

// The tunnel rows of `cells` with no row laying both markers and kinds: for each chain of
// markers four cells apart, a row of kind 0 from three cells before the first to the last;
// then for each run of a kind, a row of it without markers, over the kinds the marker rows
// left 0. Each row but those of kind 3 follows a row that lays nothing and ends far before
// it, so that none takes kind 3 from the row before it.
std::vector<RecoveredLine::Tunnel> tunnels_one_by_one(const std::vector<TrackCell>& cells) {
  const RecoveredLine::Tunnel spacer{0, -1000000, 0};
  std::vector<RecoveredLine::Tunnel> rows, of_kind_3;
  const int32_t last = last_cell_of(cells);
  std::vector<bool> chained(cells.size(), false);
  for (int32_t c = 3; c <= last; ++c) {
    if (cells[c].type != kCellTunnelMarker || chained[c]) continue;
    int32_t reach = c;
    while (reach + 4 <= last && cells[reach + 4].type == kCellTunnelMarker) reach += 4;
    for (int32_t i = c; i <= reach; i += 4) chained[i] = true;
    rows.push_back(spacer);
    rows.push_back({area_position(c - 3), area_position(reach + 1), tunnel_row_kind(0, true)});
  }
  for (int32_t c = 0; c <= last;) {
    const uint8_t kind = cells[c].tunnel_kind;
    int32_t end = c;
    while (end + 1 <= last && cells[end + 1].tunnel_kind == kind) ++end;
    if (kind == 3) {
      of_kind_3.push_back({area_position(c), area_position(end + 1), 3});
    } else if (kind != 0) {
      rows.push_back(spacer);
      rows.push_back({area_position(c), area_position(end + 1), tunnel_row_kind(kind, false)});
    }
    c = end + 1;
  }
  rows.insert(rows.end(), of_kind_3.begin(), of_kind_3.end());
  return rows;
}

// The first and second speed of a speed code. Several pairs give most codes (2020 is 100 with
// a second 100, or 101 with none): authors give the second board the first one's speed, in
// steps of 5 km/h, so that pair where one gives the code (not 99 and 99 for 2000, which 100
// with none gives), else the code read back as the simulator reads it.
std::pair<int32_t, int32_t> board_speeds(int16_t code) {
  // 20 s + s / 5, rounded, is the code: s lies near code * 5 / 101.
  const int32_t near = int32_t(code) * 5 / 101;
  for (int32_t s = near - 1; s <= near + 1; ++s) {
    try {
      if (s != 0 && s % 5 == 0 && encode_speed_code(s, s, "speed code") == code) return {s, s};
    } catch (const RunTimeFailure&) {
    }
  }
  return {code / 20, code % 20 * 5};
}

// The speed board row that gives `cell` its values.
RecoveredLine::Board board_of(const TrackCell& cell, int32_t position) {
  RecoveredLine::Board board;
  board.position = position;
  const int16_t codes[3] = {cell.value_a, cell.value_b, cell.value_c};
  for (int i = 0; i < 3; ++i) {
    std::tie(board.speeds[i], board.second_speeds[i]) = board_speeds(codes[i]);
  }
  board.stripes = cell.value_d / 10;
  board.second_stripes = cell.value_d % 10;
  return board;
}

bool is_empty(const TableEntry& e) {
  return e.kind == 0 && e.start == 0 && e.end == 0 && e.position == 0 && e.flag_a == 0 &&
         e.text.empty() && e.value_1 == 0 && e.value_2 == 0 && e.value_3 == 0 && e.value_4 == 0 &&
         e.value_5 == 0 && e.flag_b == 0 && e.flag_c == 0 && e.flag_d == 0 && e.flag_e == 0 &&
         e.time == 0;
}

bool holds_only_text(const TableEntry& e) {
  TableEntry without = e;
  without.text.clear();
  return !e.text.empty() && is_empty(without);
}

// The lowest table entry that holds a signboard text: signboard cells point at theirs, and the
// texts fill the entries from 80 downward, so any entry between two of them is one too, even
// with no cell pointing at it (its cell was taken by a station's end). Below the lowest entry a
// cell points at, entries that hold only a text and that no station end points at are texts
// of such signboards too.
int lowest_signboard_entry(const ScenarioTable& table, const std::vector<TrackCell>& cells) {
  int lowest = kFirstSignboardEntry + 1;
  std::set<int> station_ends;
  for (const TrackCell& cell : cells) {
    if (cell.type == kCellSignboard && cell.value_a >= kFirstStationEntry &&
        cell.value_a <= kFirstSignboardEntry)
      lowest = std::min<int>(lowest, cell.value_a);
    if (cell.type == kCellStationEnd) station_ends.insert(cell.value_a);
  }
  while (lowest - 1 >= kFirstStationEntry && holds_only_text(table[lowest - 1]) &&
         station_ends.count(lowest - 1) == 0)
    --lowest;
  return lowest;
}

void recover_boards(const std::vector<TrackCell>& cells, const ScenarioTable& table,
                    RecoveredLine* line) {
  std::vector<std::pair<int, RecoveredLine::Signboard>> signboards;
  std::set<int> pointed;
  for (int32_t c = 0; c <= last_cell_of(cells); ++c) {
    const TrackCell& cell = cells[c];
    if (cell.type == kCellSpeedIndicator) {
      line->boards.push_back(board_of(cell, point_position(c)));
    } else if (cell.type == kCellSignboard) {
      const int entry = cell.value_a;
      const std::string text = entry >= 0 && entry < kTableEntries ? table[entry].text : "";
      signboards.push_back({entry, {point_position(c), text}});
      pointed.insert(entry);
    }
  }
  // Entries of texts whose cells a station's end took: their rows get a place later.
  for (int e = lowest_signboard_entry(table, cells); e <= kFirstSignboardEntry; ++e) {
    if (pointed.count(e) == 0) signboards.push_back({e, {kNoCellYet, table[e].text}});
  }
  // Texts take their entries in the order the rows are read, from 80 downward.
  std::stable_sort(signboards.begin(), signboards.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  for (auto& s : signboards) line->signboards.push_back(std::move(s.second));
}

// ---- the train source ----

void recover_stations(const ScenarioTable& table, const std::vector<TrackCell>& cells,
                      RecoveredTrain* train) {
  // Signboard texts fill the entries from 80 downward, stations from 1 upward.
  const int lowest_signboard = lowest_signboard_entry(table, cells);
  std::set<int> station_ends;
  for (const TrackCell& cell : cells) {
    if (cell.type == kCellStationEnd) station_ends.insert(cell.value_a);
  }
  int count = 0;
  for (int e = kFirstStationEntry; e < lowest_signboard; ++e) {
    if (!is_empty(table[e]) || station_ends.count(e) != 0) count = e;
  }
  for (int e = kFirstStationEntry; e <= count; ++e) {
    const TableEntry& entry = table[e];
    RecoveredTrain::Station s;
    s.position = entry.position;
    s.kind = entry.kind;
    const int64_t before = int64_t(entry.position) - entry.start;
    const bool own_extent = s.kind >= 5 && s.kind <= 8;
    s.length = static_cast<int32_t>(own_extent ? before : 2 * before);
    int32_t f6 = entry.flag_d;
    if (!own_extent && e == kFirstStationEntry) {
      // The first station keeps the 50 m its f6 adds, not the flag.
      f6 = int64_t(entry.end) - entry.position - s.length / 2 == 50 ? 1 : 0;
    }
    const int32_t values[10] = {entry.flag_a,  entry.flag_e,  f6,
                                entry.value_1, entry.value_2, entry.flag_b,
                                entry.value_3, entry.value_4, entry.value_5,
                                entry.flag_c};
    std::copy(values, values + 10, s.values);
    s.time = entry.time;
    s.name = entry.text;
    train->stations.push_back(s);
  }
}

// A station's end overwrites the type and value_a of whatever an earlier row put into its
// cell and leaves the rest: `taken` marks the station ends found to stand over something.
bool station_end_over(const std::vector<TrackCell>& cells, int32_t c,
                      const std::vector<bool>& taken) {
  return c >= 0 && c <= last_cell_of(cells) && cells[c].type == kCellStationEnd && !taken[c];
}

// `own_cell_ends`: a start whose end is not found ends in its own cell rather than under a
// station's end (the cells do not tell the two apart; a signboard may need that station end).
void recover_slowdowns(const std::vector<TrackCell>& cells, RecoveredTrain* train,
                       std::vector<bool>* taken, bool own_cell_ends) {
  const int32_t last = last_cell_of(cells);
  const auto taken_before = std::count(taken->begin(), taken->end(), true);
  std::vector<bool> end_taken(cells.size(), false), boards_taken(cells.size(), false);
  std::vector<std::pair<int32_t, int32_t>> found;  // start cell, end cell
  constexpr int32_t kWarningCells = kWarningDistance / kCellMetres;
  // A station end where a warned start 1200 m on has its warning point: that warning is what
  // it stands over (no other row's cell can be under it there).
  const auto warning_of_a_start = [&](int32_t w) {
    const int32_t s = w + kWarningCells;
    return s <= last && cells[s].type == kCellSlowdownStart &&
           cells[s].value_b == cells[w].value_b && slowdown_warned(point_position(s) + 24);
  };
  for (int32_t s = 0; s <= last; ++s) {
    const TrackCell& start = cells[s];
    if (start.type != kCellSlowdownStart) continue;
    // Its end: the first end after it with the same values not yet taken, else a station end
    // over it (value_a lost); none when the end fell on the start's own cell.
    int32_t e = s;
    for (int32_t c = s + 1; c <= last; ++c) {
      const TrackCell& end = cells[c];
      if (end.type == kCellSlowdownEnd && !end_taken[c] && end.value_a == start.value_a &&
          end.value_b == start.value_b && end.value_c == start.value_c) {
        e = c;
        end_taken[c] = true;
        break;
      }
    }
    for (int32_t c = s + 1; e == s && !own_cell_ends && c <= last; ++c) {
      if (station_end_over(cells, c, *taken) && !warning_of_a_start(c) &&
          cells[c].value_b == start.value_b && cells[c].value_c == start.value_c &&
          cells[c].value_d == 0 && cells[c].signal_time == 0) {
        e = c;
        (*taken)[c] = true;
      }
    }
    found.push_back({s, e});
  }
  // Ends no start claims: their start lies under a station end before them, the nearest one
  // whose warning point fits (its own, one under another station end, or none where a start
  // need not have one), else the nearest one.
  const auto warning_fits = [&](int32_t s, const TrackCell& end) {
    const int32_t w = s - kWarningCells;
    if (!slowdown_warned(point_position(s) - 25)) return true;
    if (w < 0) return false;
    return (cells[w].type == kCellSlowdownWarning && cells[w].value_a == end.value_a &&
            cells[w].value_b == end.value_b) ||
           (station_end_over(cells, w, *taken) && cells[w].value_b == end.value_b);
  };
  for (int32_t e = 0; e <= last; ++e) {
    const TrackCell& end = cells[e];
    if (end.type != kCellSlowdownEnd || end_taken[e]) continue;
    int32_t chosen = -1;
    for (const bool fitting : {true, false}) {
      for (int32_t s = e - 1; chosen < 0 && s >= 0; --s) {
        if (station_end_over(cells, s, *taken) && cells[s].value_b == end.value_b &&
            cells[s].value_c == end.value_c && cells[s].value_d == 0 && cells[s].signal_time == 0 &&
            (!fitting || warning_fits(s, end)))
          chosen = s;
      }
      if (chosen >= 0) break;
    }
    if (chosen >= 0) {
      (*taken)[chosen] = true;
      end_taken[e] = true;
      found.push_back({chosen, e});
    }
  }
  // Warning points no slowdown claims: its start, and its end with it, lie under a station
  // end 1200 m on.
  std::vector<bool> warning_claimed(cells.size(), false);
  for (const auto& [s, e] : found) {
    if (s >= kWarningCells) warning_claimed[s - kWarningCells] = true;
  }
  for (int32_t w = 0; w + kWarningCells <= last; ++w) {
    const int32_t s = w + kWarningCells;
    if (cells[w].type != kCellSlowdownWarning || warning_claimed[w] ||
        !station_end_over(cells, s, *taken) || cells[s].value_b != cells[w].value_b ||
        cells[s].value_d != 0 || cells[s].signal_time != 0)
      continue;
    (*taken)[s] = true;
    found.push_back({s, s});
  }
  // Warning boards no slowdown claims, its warning point under a station end too: its start
  // and end lie under a station end 1200 m past that point. The boards end in the cell before
  // the warning point's, or two before when the warning position lies on the middle of a cell.
  std::vector<bool> boards_claimed(cells.size(), false);
  for (const auto& [s, e] : found) {
    for (int32_t h : {s - kWarningCells - 1, s - kWarningCells - 2}) {
      if (h >= 0) boards_claimed[h] = true;
    }
  }
  for (int32_t h = 3; h <= last; ++h) {
    bool boards = !boards_claimed[h];
    for (int k = 0; boards && k < 4; ++k) {
      const TrackCell& b = cells[h - k];
      boards = b.type == kCellSlowdownBoards && b.value_a == k + 1 &&
               (b.value_b == 0 || b.value_b == k + 1);
    }
    if (!boards) continue;
    for (int32_t w : {h + 1, h + 2}) {
      const int32_t s = w + kWarningCells;
      if (s > last || !station_end_over(cells, w, *taken) || !station_end_over(cells, s, *taken) ||
          cells[s].value_b != cells[w].value_b ||
          (cells[s].value_b != 0) != (cells[h].value_b != 0) || cells[s].value_d != 0 ||
          cells[s].signal_time != 0 || !slowdown_warned(point_position(s) + 24))
        continue;
      (*taken)[s] = true;
      found.push_back({s, s});
      break;
    }
  }
  std::stable_sort(found.begin(), found.end());
  for (const auto& [s, e] : found) {
    const TrackCell& start = cells[e].type == kCellSlowdownEnd ? cells[e] : cells[s];
    const int32_t w = s - kWarningCells;
    const bool speed_known =
        cells[s].type == kCellSlowdownStart || cells[e].type == kCellSlowdownEnd;
    bool warned =
        w >= 0 && cells[w].type == kCellSlowdownWarning &&
        (speed_known ? cells[w].value_a == start.value_a : cells[w].value_b == cells[s].value_b);
    // A station's end over its warning point: possible when a start in the cell is warned (the
    // cell of 1500 m has such starts past its middle).
    if (!warned && station_end_over(cells, w, *taken) && cells[w].value_b == cells[s].value_b &&
        slowdown_warned(point_position(s) + 24)) {
      warned = true;
      (*taken)[w] = true;
    }
    // A start within the cell of 1500 m is warned or not by which side of it it lies.
    int32_t x = point_position(s);
    if (slowdown_warned(x) != warned) x += warned ? 24 : -24;
    RecoveredTrain::Slowdown slowdown;
    slowdown.speed = start.value_a;
    slowdown.flag = cells[s].value_c;
    slowdown.second_speed = cells[s].value_b;
    if (!speed_known) {
      // Both under station ends: the speed is lost with value_a; the warning keeps it.
      slowdown.speed = warned && cells[w].type == kCellSlowdownWarning ? cells[w].value_a : 0;
    }
    if (warned) {
      // The four boards before the warning point, any one of which still shows them. Their
      // cells are rounded from the start 1200 m back: a start half a cell either side of its
      // cell's first metre (that still falls into it) puts them a cell further or nearer.
      for (const int32_t xs : {x, point_position(s) - 25, point_position(s) + 25}) {
        if (point_cell(xs) != s || slowdown_warned(xs) != warned) continue;
        const int32_t h = area_cell(slowdown_warning_position(xs));
        // Each of the four its board, or a station's end over it; one at least a board.
        int shown = 0;
        for (int k = 0; k < 4; ++k) {
          const int32_t b = h - k;
          const int16_t second = slowdown.second_speed != 0 ? int16_t(k + 1) : 0;
          if (b < 0 || b > last || boards_taken[b]) {
            shown = -4;
            break;
          }
          if (cells[b].type == kCellSlowdownBoards && cells[b].value_a == k + 1 &&
              cells[b].value_b == second) {
            ++shown;
          } else if (!station_end_over(cells, b, *taken) || cells[b].value_b != second) {
            shown = -4;
          }
        }
        if (shown <= 0) continue;
        slowdown.warning_boards = 1;
        x = xs;
        for (int k = 0; k < 4; ++k) {
          boards_taken[h - k] = true;
          if (station_end_over(cells, h - k, *taken)) (*taken)[h - k] = true;
        }
        break;
      }
    }
    slowdown.start = x;
    // The end falls into cell e from wherever in its cell the start lies: half a cell off, the
    // length makes up for it.
    const int32_t off = x - point_position(s);
    slowdown.length = (e - s) * kCellMetres - (std::abs(off) == kCellMetres / 2 ? off : 0);
    train->slowdowns.push_back(slowdown);
  }
  // Rows under a station's end come before it: the slowdowns before the stations.
  train->slowdowns_first = std::count(taken->begin(), taken->end(), true) > taken_before;
}

// The four approach markers a signal or station writes: cell and value.
struct MarkerWrite {
  int32_t cell;
  uint8_t value;
};

// How many rows write each approach marker (cell and value).
using MarkerCounts = std::map<std::pair<int32_t, uint8_t>, int>;

// The signal whose row wrote cell `c`; markers from `overwritten` on were written again by a
// later row and do not vote, nor do those another row writes with the value the cell holds
// (`by_others`, when given): that row may have written them last.
RecoveredTrain::Signal recover_signal(const std::vector<TrackCell>& cells, int32_t c,
                                      std::vector<MarkerWrite>* markers,
                                      int32_t overwritten = INT32_MAX,
                                      const MarkerCounts* by_others = nullptr) {
  const TrackCell& cell = cells[c];
  // The kinds (SX * 3 + DX) from the markers: marker k holds kinds * 10 + k in 8 bits, which
  // gives the kinds modulo 128 (5 is 77's inverse modulo 128); the vote of the four decides.
  // A later row may have written some of them again: of the residues with votes, the most
  // voted one that leaves value_d a whole number of tens (RAPP * 10 + kinds) wins.
  int votes[128] = {};
  int order[4];
  int residues = 0;
  for (int k = 1; k <= 4; ++k) {
    const int32_t at = c - 2 * k;
    if (at < 0 || at >= overwritten) continue;
    if (by_others != nullptr) {
      const auto other = by_others->find({at, cells[at].marker});
      if (other != by_others->end() && other->second > 0) continue;
    }
    const int v = (cells[at].marker - k + 256) % 256;
    if (v % 2 != 0) continue;
    const int residue = (v / 2 * 77) % 128;
    if (votes[residue]++ == 0) order[residues++] = residue;
  }
  // Between residues of as many votes, the smaller kinds: a signal's two kinds are small.
  const int32_t d = cell.value_d;
  int64_t kinds = ((d % 10) + 10) % 10;
  int kinds_votes = 0;
  for (int i = 0; i < residues; ++i) {
    for (int t = 0; t < 5; ++t) {
      const int64_t candidate = order[i] + 128 * t;
      if (((d - candidate) % 10 + 10) % 10 != 0) continue;
      if (votes[order[i]] > kinds_votes || (votes[order[i]] == kinds_votes && candidate < kinds)) {
        kinds = candidate;
        kinds_votes = votes[order[i]];
      }
      break;
    }
  }
  // RAPP * 10 + kinds in 16 bits: a ratio that gives value_d, the smallest one.
  int64_t ratio = 0;
  for (int64_t j : {0, 1, -1, 2, -2, 3, -3, 4, -4, 5, -5}) {
    const int64_t whole = d + 65536 * j - kinds;
    if (whole % 10 == 0) {
      ratio = whole / 10;
      break;
    }
  }
  RecoveredTrain::Signal s;
  s.position = point_position(c);
  int64_t left, right;
  if (cell.signal_time != 0) {
    left = 2;
    right = kinds - 6;
  } else {
    left = kinds >= 0 ? kinds / 3 : -((-kinds + 2) / 3);
    right = kinds - 3 * left;
  }
  const int16_t aspects[3] = {cell.value_a, cell.value_b, cell.value_c};
  s.values[0] = static_cast<int32_t>(left);
  for (int i = 0; i < 3; ++i) {
    s.values[1 + i] = aspects[i] / 10;
    s.values[6 + i] = aspects[i] % 10;
  }
  s.values[4] = static_cast<int32_t>(ratio);
  s.values[5] = static_cast<int32_t>(right);
  // A waiting time of 1 to 100 is raised to 101: a stored 1 to 100 comes from 256 more.
  const int t = cell.signal_time;
  s.values[9] = t >= 1 && t <= 100 ? t + 256 : t;
  for (int k = 1; k <= 4; ++k) {
    if (c - 2 * k >= 0) markers->push_back({c - 2 * k, wrap8(kinds * 10 + k)});
  }
  return s;
}

// The order of the station and signal rows: where approach markers of several rows share a
// cell, the row whose value the cell holds comes after the others. Stations keep their order;
// otherwise stations come first, then the signals by position.
void order_marker_rows(const std::vector<std::vector<MarkerWrite>>& writes,
                       const std::vector<TrackCell>& cells, size_t stations,
                       const std::vector<std::pair<size_t, size_t>>& before,
                       RecoveredTrain* train) {
  const size_t n = writes.size();
  std::vector<std::set<size_t>> after(n);  // edges: row -> the rows that must come after it
  std::map<int32_t, std::vector<std::pair<size_t, uint8_t>>> by_cell;
  for (size_t row = 0; row < n; ++row) {
    for (const MarkerWrite& w : writes[row]) by_cell[w.cell].push_back({row, w.value});
  }
  // Where several rows write the value the cell holds, any one of them may have come last:
  // those cells are ordered after the others, each by a row that makes no cycle.
  std::vector<std::pair<size_t, std::vector<size_t>>> either;  // row, rows one of which follows it
  for (const auto& [cell, writers] : by_cell) {
    if (writers.size() < 2) continue;
    const uint8_t held = cells[cell].marker;
    std::vector<size_t> winners;
    for (const auto& winner : writers) {
      if (winner.second == held) winners.push_back(winner.first);
    }
    for (const auto& other : writers) {
      if (other.second == held) continue;
      if (winners.size() == 1) {
        if (winners[0] != other.first) after[other.first].insert(winners[0]);
      } else if (!winners.empty()) {
        either.push_back({other.first, winners});
      }
    }
  }
  for (size_t s = 0; s + 1 < stations; ++s) after[s].insert(s + 1);
  for (const auto& [first, then] : before) after[first].insert(then);
  const auto reaches = [&](size_t from, size_t to) {
    std::vector<bool> seen(n, false);
    std::vector<size_t> stack = {from};
    seen[from] = true;
    while (!stack.empty()) {
      const size_t row = stack.back();
      stack.pop_back();
      if (row == to) return true;
      for (size_t next : after[row]) {
        if (!seen[next]) {
          seen[next] = true;
          stack.push_back(next);
        }
      }
    }
    return false;
  };
  for (const auto& [other, winners] : either) {
    for (size_t winner : winners) {
      if (winner == other || reaches(winner, other)) continue;
      after[other].insert(winner);
      break;
    }
  }
  std::vector<int> needs(n, 0);
  for (size_t row = 0; row < n; ++row) {
    for (size_t next : after[row]) ++needs[next];
  }
  const auto key = [&](size_t row) {
    return row < stations ? std::make_tuple(0, int64_t(row))
                          : std::make_tuple(1, int64_t(train->signals[row - stations].position));
  };
  const auto later = [&](size_t a, size_t b) { return key(a) > key(b); };
  std::priority_queue<size_t, std::vector<size_t>, decltype(later)> ready(later);
  for (size_t row = 0; row < n; ++row) {
    if (needs[row] == 0) ready.push(row);
  }
  std::vector<bool> placed(n, false);
  while (!ready.empty()) {
    const size_t row = ready.top();
    ready.pop();
    placed[row] = true;
    train->order.push_back({row < stations, row < stations ? row : row - stations});
    for (size_t next : after[row]) {
      if (--needs[next] == 0) ready.push(next);
    }
  }
  // Rows caught in a cycle (no order gives the cells back) follow in the plain order.
  for (size_t row = 0; row < n; ++row) {
    if (!placed[row])
      train->order.push_back({row < stations, row < stations ? row : row - stations});
  }
}

// `taken`: the station ends found to stand over a row of the train source.
void recover_train(const ScenarioTable& table, const std::vector<TrackCell>& cells,
                   RecoveredTrain* train, std::vector<bool>* taken, bool own_cell_ends) {
  const TableEntry& route = table[kRouteEntry];
  train->braked_mass = route.start;
  train->cars = route.position;
  const TableEntry& t = table[kTrainEntry];
  train->sand = t.value_1;
  train->clock[0] = t.value_3;
  train->clock[1] = t.value_4;
  train->clock[2] = t.value_5;
  train->speeds = recover_runs(
      cells, [](const TrackCell& c) { return c.speed; }, [](uint8_t v) { return decode_speed(v); });
  train->adhesions = recover_runs(
      cells, [](const TrackCell& c) { return c.adhesion; },
      [](uint8_t v) { return decode_adhesion(v); });
  recover_stations(table, cells, train);
  recover_slowdowns(cells, train, taken, own_cell_ends);

  std::vector<std::vector<MarkerWrite>> writes;
  std::vector<int32_t> signal_cells;
  const int32_t last = last_cell_of(cells);
  for (const RecoveredTrain::Station& s : train->stations) {
    std::vector<MarkerWrite> w;
    const int64_t end = s.kind == 5 || s.kind == 6 ? int64_t(s.position) + 150
                        : s.kind == 7 || s.kind == 8
                            ? int64_t(s.position) + s.length
                            : int64_t(s.position) + s.length / 2 + (s.values[2] != 0 ? 50 : 0);
    if (s.kind < 25 && s.kind != 5 && s.kind != 6 && end > INT32_MIN / 2 && end < INT32_MAX / 2) {
      const int64_t end_cell = area_cell(static_cast<int32_t>(end)) - 1;
      for (int k = 1; k <= 4; ++k) {
        if (end_cell - k > 1 && end_cell - k <= last)
          w.push_back({static_cast<int32_t>(end_cell - k), static_cast<uint8_t>(80 + k)});
      }
    }
    writes.push_back(std::move(w));
  }
  for (int32_t c = 0; c <= last; ++c) {
    const TrackCell& cell = cells[c];
    if (cell.type == kCellSignal) {
      std::vector<MarkerWrite> w;
      train->signals.push_back(recover_signal(cells, c, &w));
      writes.push_back(std::move(w));
      signal_cells.push_back(c);
    } else if (cell.type == kCellNoRestriction) {
      train->restriction_points.push_back({area_position(c), 0});
    } else if (cell.type == kCellSpeedRestriction && cell.value_a != kRulePointValue) {
      // Stored in 16 bits from a value above 0.
      train->restriction_points.push_back(
          {area_position(c), cell.value_a > 0 ? cell.value_a : cell.value_a + 65536});
    }
  }
  // Markers another row wrote again mislead the vote of a signal whose markers they were: each
  // signal votes again with only the markers no other row writes as the cell holds them (a
  // station's, or another signal's as last found), until the kinds found settle.
  const size_t first_signal = train->stations.size();
  MarkerCounts counts;
  for (const auto& row : writes) {
    for (const MarkerWrite& m : row) ++counts[{m.cell, m.value}];
  }
  for (int pass = 0; pass < 4; ++pass) {
    bool changed = false;
    for (size_t i = 0; i < signal_cells.size(); ++i) {
      std::vector<MarkerWrite>& own = writes[first_signal + i];
      for (const MarkerWrite& m : own) --counts[{m.cell, m.value}];
      std::vector<MarkerWrite> w;
      RecoveredTrain::Signal signal =
          recover_signal(cells, signal_cells[i], &w, INT32_MAX, &counts);
      const bool same = std::equal(w.begin(), w.end(), own.begin(), own.end(),
                                   [](const MarkerWrite& a, const MarkerWrite& b) {
                                     return a.cell == b.cell && a.value == b.value;
                                   });
      if (!same) {
        changed = true;
        own = std::move(w);
        train->signals[i] = signal;
      }
      for (const MarkerWrite& m : own) ++counts[{m.cell, m.value}];
    }
    if (!changed) break;
  }
  // A signal under a station's end: its waiting time shows it, or its farther markers, which
  // the station's own markers (in the four cells before its end) do not cover.
  std::vector<std::pair<size_t, size_t>> before;
  std::set<std::pair<int32_t, uint8_t>> written;  // markers the rows found so far account for
  for (const auto& row : writes) {
    for (const MarkerWrite& m : row) written.insert({m.cell, m.value});
  }
  for (int32_t c = 0; c <= last; ++c) {
    const TrackCell& cell = cells[c];
    const size_t station = static_cast<size_t>(cell.value_a) - kFirstStationEntry;
    if (!station_end_over(cells, c, *taken) || cell.value_a < kFirstStationEntry ||
        station >= train->stations.size())
      continue;
    const int kind = train->stations[station].kind;
    const int32_t overwritten = kind == 5 || kind == 6 ? c : c - 4;
    std::vector<MarkerWrite> w;
    RecoveredTrain::Signal signal = recover_signal(cells, c, &w, overwritten);
    bool shown = cell.signal_time != 0;
    for (const MarkerWrite& m : w) {
      shown = shown || (m.cell < overwritten && m.value != 0 && cells[m.cell].marker == m.value &&
                        written.count({m.cell, m.value}) == 0);
    }
    if (!shown) continue;
    (*taken)[c] = true;
    signal.values[1] = signal.values[6] = 0;  // its first aspects were value_a, now the station's
    before.push_back({train->stations.size() + train->signals.size(), station});
    train->signals.push_back(signal);
    writes.push_back(std::move(w));
  }
  order_marker_rows(writes, cells, train->stations.size(), before, train);
}

// ---- writing the sources ----

// A value as a source field.
std::string number(int64_t v) {
  return std::to_string(v);
}

// A text field as the reader takes it back: plain when it can be, else between quotes.
std::string text_field(const std::string& text) {
  const bool plain =
      text.find_first_of(",\r\n") == std::string::npos &&
      (text.empty() || (text.front() != ' ' && text.front() != '"' && text.back() != ' '));
  return plain ? text : "\"" + text + "\"";
}

}  // namespace

namespace {

// Station ends over no train row: the line source's rows came first. Values left in the cell
// are a speed board's (its first codes lost); a cell with none takes a signboard whose text has
// no cell pointing at it, in the order of their entries.
void recover_under_station_ends(const std::vector<TrackCell>& cells, const std::vector<bool>& taken,
                                RecoveredScenario* r) {
  std::vector<int32_t> free_cells;
  for (int32_t c = 0; c <= last_cell_of(cells); ++c) {
    const TrackCell& cell = cells[c];
    if (!station_end_over(cells, c, taken)) continue;
    if (cell.value_b != 0 || cell.value_c != 0 || cell.value_d != 0 || cell.signal_time != 0) {
      TrackCell board = cell;
      board.value_a = 0;
      r->line.boards.push_back(board_of(board, point_position(c)));
    } else {
      free_cells.push_back(c);
    }
  }
  std::stable_sort(r->line.boards.begin(), r->line.boards.end(),
                   [](const auto& a, const auto& b) { return a.position < b.position; });
  size_t next = 0;
  std::vector<RecoveredLine::Signboard> placed;
  for (RecoveredLine::Signboard& s : r->line.signboards) {
    if (s.position != kNoCellYet) {
      placed.push_back(std::move(s));
    } else if (next < free_cells.size()) {
      s.position = point_position(free_cells[next++]);
      placed.push_back(std::move(s));
    } else {
      r->unexplained.push_back(
          tr("a signboard text (\"{1}\") has no cell, and no station end is left to have "
             "covered it",
             {s.text}));
    }
  }
  r->line.signboards = std::move(placed);
}

}  // namespace

RecoveredScenario recover_scenario(const ScenarioTable& table,
                                   const std::vector<TrackCell>& files_cells,
                                   const std::vector<double>* plan_x,
                                   const std::vector<double>* plan_y, int32_t plan_computed_end) {
  RecoveredScenario r;
  const std::vector<TrackCell> cells = cells_before_stamps(table, files_cells, &r.unexplained);
  recover_general(table, &r.line);
  r.line.plan_known = plan_x != nullptr;
  if (plan_x != nullptr && plan_y != nullptr) {
    const int32_t last_position = last_cell_of(cells) * kCellMetres - 100;
    recover_curves(*plan_x, *plan_y,
                   std::min<int32_t>(plan_computed_end, static_cast<int32_t>(plan_x->size())),
                   last_position, &r.line, &r.unexplained);
  }
  r.line.gradients = recover_runs(
      cells, [](const TrackCell& c) { return c.gradient; },
      [](uint8_t v) { return decode_gradient(v); });
  recover_tunnels(cells, &r.line);
  recover_boards(cells, table, &r.line);
  const RecoveredScenario line_only = r;
  for (const bool own_cell_ends : {false, true}) {
    r = line_only;
    std::vector<bool> taken(cells.size(), false);
    recover_train(table, cells, &r.train, &taken, own_cell_ends);
    recover_under_station_ends(cells, taken, &r);
    // A signboard text left without a station end to cover it: a slowdown took that end for
    // its own, and had its end in its start's cell instead.
    if (r.unexplained.size() == line_only.unexplained.size()) break;
  }
  return r;
}

namespace {

// Whether `run` is the first of `runs` and gives what no row gives: 0 from 0 m (the readers
// start every run with 0).
bool first_run_as_none(const std::vector<RecoveredLine::Value>& runs,
                       const RecoveredLine::Value& run) {
  return &run == &runs.front() && run.position == 0 && run.value == 0;
}

}  // namespace

// A row's keyword as the grammar spells it for authors (its first spelling), so that what
// decompile writes is what the readers read.
std::string keyword(RowId id) {
  const std::string spellings = grammar_of(id).spellings;
  return spellings.substr(0, spellings.find('|'));
}

std::vector<std::string> line_source_of(const RecoveredScenario& recovered,
                                        bool leave_out_defaults) {
  const RecoveredLine& l = recovered.line;
  std::vector<std::string> lines;
  SourceRows rows(&lines);
  lines.push_back("[generale]");
  rows.add(keyword(RowId::kRouteLength), {number(l.route_length)});
  const RowId chainage[3] = {RowId::kChainage1, RowId::kChainage2, RowId::kChainage3};
  const RowId background[3] = {RowId::kBackground1, RowId::kBackground2, RowId::kBackground3};
  for (int i = 0; i < 3; ++i) {
    const RecoveredLine::Chainage& c = l.chainage[i];
    if (leave_out_defaults && c.position == 0 && c.value == 0 && c.flag == 0) continue;
    rows.add(keyword(chainage[i]), {number(c.position), number(c.value), number(c.flag)});
  }
  for (int i = 0; i < 3; ++i) {
    if (leave_out_defaults && l.background[i] == 0) continue;
    rows.add(keyword(background[i]), {number(l.background[i])});
  }
  // The keyword names the repetition's codes, 4 or 9, where the grammar's spelling has 4.
  std::string repetition = keyword(RowId::kRepetition);
  repetition.replace(repetition.find('4'), 1, number(l.repetition_codes));
  if (!leave_out_defaults || l.repetition[0] != 0 || l.repetition[1] != 0)
    rows.add(repetition, {number(l.repetition[0]), number(l.repetition[1])});
  rows.flush();
  lines.push_back("[curve]");
  for (const RecoveredLine::Curve& c : l.curves) {
    // The spelling "curvad4" with the curve's side and digit.
    const std::string curve = keyword(RowId::kCurve);
    rows.add(curve.substr(0, curve.size() - 2) + (c.left ? "s" : "d") + number(c.digit),
             {number(c.start), number(c.length)});
  }
  rows.flush();
  lines.push_back("[pendenze]");
  for (const auto& g : l.gradients) {
    if (leave_out_defaults && first_run_as_none(l.gradients, g)) continue;
    rows.add(keyword(RowId::kGradient), {number(g.position), number(g.value)});
  }
  rows.flush();
  lines.push_back("[montagne]");
  for (const auto& t : l.tunnels)
    rows.add(keyword(RowId::kTunnel), {number(t.start), number(t.end), number(t.kind)});
  rows.flush();
  lines.push_back("[cartelli]");
  for (const auto& b : l.boards) {
    std::vector<std::string> v = {number(b.position)};
    for (int i = 0; i < 3; ++i) v.push_back(number(b.speeds[i]));
    v.push_back(number(b.stripes));
    // Second speeds of 0 are left empty, as the shipped sources leave them.
    const bool seconds =
        b.second_speeds[0] != 0 || b.second_speeds[1] != 0 || b.second_speeds[2] != 0;
    for (int i = 0; i < 3; ++i) v.push_back(seconds ? number(b.second_speeds[i]) : "");
    v.push_back(number(b.second_stripes));
    rows.add(keyword(RowId::kSpeedIndicator), v);
  }
  rows.flush();
  lines.push_back("[indicazioni]");
  for (const auto& s : l.signboards)
    rows.add(keyword(RowId::kSignboard), {number(s.position)}, text_field(s.text));
  rows.flush();
  lines.push_back("[fine]");
  return lines;
}

std::vector<std::string> train_source_of(const RecoveredScenario& recovered,
                                         bool leave_out_defaults) {
  const RecoveredTrain& t = recovered.train;
  std::vector<std::string> lines;
  SourceRows rows(&lines);
  lines.push_back("[generale]");
  const std::pair<RowId, int32_t> general[] = {
      {RowId::kCars, t.cars}, {RowId::kBrakedMass, t.braked_mass}, {RowId::kSand, t.sand}};
  for (const auto& [id, value] : general) {
    if (!leave_out_defaults || value != 0) rows.add(keyword(id), {number(value)});
  }
  rows.flush();
  // The clock's three numbers are separated by blanks.
  if (!leave_out_defaults || t.clock[0] != 0 || t.clock[1] != 0 || t.clock[2] != 0) {
    lines.push_back(clock_line(keyword(RowId::kClock), number(t.clock[0]), number(t.clock[1]),
                               number(t.clock[2])));
  }
  lines.push_back("[aderenze]");
  for (const auto& a : t.adhesions) {
    if (leave_out_defaults && first_run_as_none(t.adhesions, a)) continue;
    rows.add(keyword(RowId::kAdhesion), {number(a.position), number(a.value)});
  }
  rows.flush();
  lines.push_back("[vel_limite]");
  for (const auto& s : t.speeds) {
    if (leave_out_defaults && first_run_as_none(t.speeds, s)) continue;
    rows.add(keyword(RowId::kSpeedLimit), {number(s.position), number(s.value)});
  }
  rows.flush();
  const auto slowdown_rows = [&] {
    lines.push_back("[rallentamenti]");
    for (const auto& s : t.slowdowns) {
      rows.add(keyword(RowId::kSlowdown),
               {number(s.start), number(s.speed), number(s.length), number(s.flag),
                number(s.warning_boards), number(s.second_speed)});
    }
    rows.flush();
  };
  if (t.slowdowns_first) slowdown_rows();
  bool in_stations = false, first = true;
  for (const auto& [station, index] : t.order) {
    if (first || station != in_stations) {
      rows.flush();
      lines.push_back(station ? "[stazioni]" : "[segnali]");
      in_stations = station;
      first = false;
    }
    if (station) {
      const RecoveredTrain::Station& s = t.stations[index];
      std::vector<std::string> v = {number(s.position), number(s.kind), number(s.length)};
      for (int32_t value : s.values) v.push_back(number(value));
      v.push_back(number(s.time / 3600));
      v.push_back(number(s.time % 3600 / 60));
      v.push_back(number(s.time % 60));
      rows.add(keyword(RowId::kStation), v, text_field(s.name));
    } else {
      const RecoveredTrain::Signal& s = t.signals[index];
      std::vector<std::string> v = {number(s.position)};
      for (int32_t value : s.values) v.push_back(number(value));
      rows.add(keyword(RowId::kSignal), v);
    }
  }
  rows.flush();
  if (!t.slowdowns_first) slowdown_rows();
  lines.push_back("[abbattimenti]");
  for (const auto& p : t.restriction_points) {
    rows.add(keyword(RowId::kRestrictionPoint), {number(p.position), number(p.value)});
  }
  rows.flush();
  lines.push_back("[fine]");
  return lines;
}

namespace {

// The bytes of a source's lines: each followed by CR LF.
std::string source_bytes(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

// Compiles `line` and `train` in memory; false when the compiler gave no records.
bool compile_back(const ScenarioIdentity& scenario, const std::string& line,
                  const std::string& train, bool plan, Compilation* out, std::string* why) {
  CompileOptions options = in_memory_options(scenario, line, train);
  options.build_plan = plan;
  const CompileResult result = memorizza_percorso(options, out);
  if (result.end == CompileEnd::kCompleted) {
    if (out->log.error.code != 0) {
      *why = tr("the recovered sources compile with error code {1} (position {2} m)",
                {number(out->log.error.code), number(out->log.error.position)});
    }
    return true;
  }
  *why = result.end == CompileEnd::kIntegrityError
             ? tr("the recovered sources fail the integrity check ({1})",
                  {number(result.integrity_error)})
             : std::string(tr("the recovered sources compile to nothing"));
  return false;
}

void add_difference(std::vector<std::string>* differences, size_t* more, std::string line) {
  if (differences->size() < kMostDifferencesListed) {
    differences->push_back(std::move(line));
  } else {
    ++*more;
  }
}

// Each field of each cell and table entry that differs between `was` and `back`, and each run
// of plan metres.
void list_differences(const ScenarioTable& table, const std::vector<TrackCell>& cells,
                      const LinePlanPoints* plan, const CompiledRecords& back,
                      std::vector<std::string>* differences) {
  size_t more = 0;
  for (int e = 0; e < kTableEntries; ++e) {
    const TableEntry& a = table[e];
    const TableEntry& b = back.table[e];
    std::string fields;
#define TABLE_ENTRY_FIELD(name, width)                         \
  if (!(a.name == b.name)) {                                   \
    fields += std::string(fields.empty() ? "" : ", ") + #name; \
  }
#include "compiler/record_fields.def"
    if (!fields.empty()) {
      // TRANSLATORS: {2} names the entry's fields as the format does ("start, end").
      add_difference(differences, &more,
                     tr("table entry {1}: {2} would differ", {number(e), fields}));
    }
  }
  if (cells.size() != back.cells.size()) {
    add_difference(
        differences, &more,
        tr("track cells: {1} instead of {2}", {number(back.cells.size()), number(cells.size())}));
  }
  const size_t n = std::min(cells.size(), back.cells.size());
  for (size_t i = 0; i < n; ++i) {
    const TrackCell& a = cells[i];
    const TrackCell& b = back.cells[i];
    std::string fields;
#define TRACK_CELL_FIELD(name, width)                                              \
  if (a.name != b.name) {                                                          \
    fields += std::string(fields.empty() ? "" : ", ") +                            \
              tr("{1} {2} would be {3}", {#name, number(a.name), number(b.name)}); \
  }
#include "compiler/record_fields.def"
    if (!fields.empty()) {
      add_difference(
          differences, &more,
          tr("cell {1} ({2} m): {3}", {number(i), number(int64_t(i) * kCellMetres), fields}));
    }
  }
  if (plan != nullptr) {
    LinePlanPoints again;
    if (!decode_line_plan(encode_line_plan(back.plan), "plan", &again).ok() ||
        again.x.size() != plan->x.size()) {
      add_difference(differences, &more,
                     tr("line plan: {1} points instead of {2}",
                        {number(back.plan.points), number(plan->x.size())}));
    } else {
      const auto metre_differs = [&](int32_t m) {
        const bool set_a = m < 2 ? plan->origin_set : m < plan->computed_end;
        const bool set_b = m < 2 ? again.origin_set : m < again.computed_end;
        return set_a != set_b || (set_a && (plan->x[m] != again.x[m] || plan->y[m] != again.y[m]));
      };
      const int32_t points = static_cast<int32_t>(plan->x.size());
      for (int32_t m = 0; m < points;) {
        if (!metre_differs(m)) {
          ++m;
          continue;
        }
        int32_t end = m;
        while (end + 1 < points && metre_differs(end + 1)) ++end;
        add_difference(differences, &more,
                       tr("line plan metres {1} to {2} would differ", {number(m), number(end)}));
        m = end + 1;
      }
    }
  }
  if (more != 0) differences->push_back(tr("and {1} more", {number(more)}));
}

}  // namespace

Decompiled decompile_scenario(const CompiledBytes& files, const ScenarioIdentity& scenario) {
  Decompiled out;
  ScenarioTable table;
  std::vector<TrackCell> cells;
  LinePlanPoints plan;
  Status status = decode_scenario_table(files.table, scenario_table_name(scenario), &table);
  if (status.ok()) status = decode_track_cells(files.cells, track_cells_name(scenario), &cells);
  if (status.ok() && files.has_plan)
    status = decode_line_plan(files.plan, line_plan_name(scenario), &plan);
  if (!status.ok()) {
    out.refused = status.message();
    return out;
  }
  if (cells.size() < 4) {
    out.refused = tr("{1} holds {2} cells: no route has fewer than 4",
                     {track_cells_name(scenario), number(cells.size())});
    return out;
  }
  out.read = true;
  out.scenario = recover_scenario(table, cells, files.has_plan ? &plan.x : nullptr,
                                  files.has_plan ? &plan.y : nullptr, plan.computed_end);
  RecoveredScenario& r = out.scenario;

  // Points of 180 are the rules' own unless compiling without them leaves the cell otherwise:
  // those were rows of the source. Adding them moves the rules' points, so again, a few rounds.
  std::string why;
  std::set<int32_t> from_source;
  const auto is_point = [](const TrackCell& c) {
    return c.type == kCellSpeedRestriction && c.value_a == kRulePointValue;
  };
  const std::vector<TrackCell> rows_cells = cells_before_stamps(table, cells, nullptr);
  const auto set_points = [&](const std::set<int32_t>& rows) {
    r.train.restriction_points.clear();
    for (int32_t c = 0; c < static_cast<int32_t>(rows_cells.size()); ++c) {
      const TrackCell& cell = rows_cells[c];
      if (cell.type == kCellNoRestriction) {
        r.train.restriction_points.push_back({area_position(c), 0});
      } else if (cell.type == kCellSpeedRestriction &&
                 (cell.value_a != kRulePointValue || rows.count(c) != 0)) {
        r.train.restriction_points.push_back(
            {area_position(c), cell.value_a > 0 ? cell.value_a : cell.value_a + 65536});
      }
    }
  };
  // The first cell where the points of 180 compiled from the rows differ from the files' (-1
  // when none does), and whether it is the files that have the point there.
  struct PointDifference {
    int32_t cell = -1;
    bool missing = false;
  };
  const auto first_difference = [&](const Compilation& back) {
    PointDifference d;
    const auto compiled = [&](int32_t c) {
      return c < static_cast<int32_t>(back.records.cells.size()) && is_point(back.records.cells[c]);
    };
    for (int32_t c = 0; c < static_cast<int32_t>(cells.size()); ++c) {
      if (is_point(cells[c]) == compiled(c)) continue;
      d.cell = c;
      d.missing = is_point(cells[c]);
      break;
    }
    return d;
  };
  bool points_match = false;
  std::set<int32_t> rounds_rows;  // the rows of the rounds' last compile
  int32_t rounds_first = -1;      // and the first cell whose point it gave otherwise
  for (int round = 0; round < 8; ++round) {
    Compilation back;
    if (!compile_back(scenario, source_bytes(line_source_of(r)), source_bytes(train_source_of(r)),
                      false, &back, &why))
      break;
    rounds_rows = from_source;
    rounds_first = first_difference(back).cell;
    points_match = why.empty() && rounds_first < 0;
    bool added = false;
    for (int32_t c = 0; c < static_cast<int32_t>(cells.size()); ++c) {
      const TrackCell& cell = cells[c];
      if (!is_point(cell)) continue;
      if (from_source.count(c) != 0 || c >= static_cast<int32_t>(back.records.cells.size()))
        continue;
      if (is_point(back.records.cells[c])) continue;
      from_source.insert(c);
      added = true;
    }
    if (!added) break;
    set_points(from_source);
  }
  if (!points_match && why.empty()) {
    // A row of 180 where the rules would put a point of their own pushes that point to a cell
    // beside it (up to two cells either way), and the rules' later points follow it: the rounds
    // above then take the pushed point for the row. Search the rows from the first cell whose
    // point differs instead: the row is the point there or one up to two cells away, those
    // where the compile put a point of its own first, or one up to ten cells back; a choice
    // that makes a point appear where the files have none is taken back.
    struct Choice {
      std::set<int32_t> before;
      std::vector<int32_t> alternatives;
    };
    std::vector<Choice> choices;
    // The rows the rounds found well before their first difference stand: the points match
    // there, and a row shows at most ten cells on.
    std::set<int32_t> rows(rounds_rows.begin(), rounds_rows.lower_bound(rounds_first - 10));
    for (int tries = 0; tries < 256; ++tries) {
      set_points(rows);
      Compilation back;
      std::string failed;
      if (!compile_back(scenario, source_bytes(line_source_of(r)), source_bytes(train_source_of(r)),
                        false, &back, &failed) ||
          !failed.empty())
        break;
      const PointDifference d = first_difference(back);
      if (d.cell < 0) {
        from_source = rows;
        break;
      }
      if (d.missing) {
        std::vector<int32_t> options, others;
        for (int32_t offset : {0, 1, -1, 2, -2}) {
          const int32_t c = d.cell + offset;
          if (c < 0 || c >= static_cast<int32_t>(cells.size()) || !is_point(cells[c]) ||
              rows.count(c) != 0)
            continue;
          const bool compiled = c < static_cast<int32_t>(back.records.cells.size()) &&
                                is_point(back.records.cells[c]);
          (compiled ? options : others).push_back(c);
        }
        options.insert(options.end(), others.begin(), others.end());
        // A row that pushed a point shows only at the rules' next point, up to 8 cells on.
        for (int32_t c = d.cell - 3; c >= std::max(0, d.cell - 10); --c) {
          if (is_point(cells[c]) && rows.count(c) == 0) options.push_back(c);
        }
        if (!options.empty()) {
          std::reverse(options.begin(), options.end());
          choices.push_back({rows, options});
        }
      }
      while (!choices.empty() && choices.back().alternatives.empty()) choices.pop_back();
      if (choices.empty()) break;
      rows = choices.back().before;
      rows.insert(choices.back().alternatives.back());
      choices.back().alternatives.pop_back();
    }
    set_points(from_source);
  }

  const auto same_bytes = [&](const Compilation& c) {
    return encode_scenario_table(c.records.table) == files.table &&
           encode_track_cells(c.records.cells) == files.cells &&
           (!files.has_plan || encode_line_plan(c.records.plan) == files.plan);
  };
  // As an author writes them: without the rows that give what leaving them out gives (a count
  // of cars of 0, an adhesion of 0 from 0 m), unless the sources then give other bytes.
  out.line_source = source_bytes(line_source_of(r, true));
  out.train_source = source_bytes(train_source_of(r, true));
  Compilation back;
  why.clear();
  if (compile_back(scenario, out.line_source, out.train_source, files.has_plan, &back, &why) &&
      why.empty() && same_bytes(back)) {
    out.exact = true;
    return out;
  }
  out.line_source = source_bytes(line_source_of(r));
  out.train_source = source_bytes(train_source_of(r));
  back = Compilation();
  why.clear();
  const bool compiled =
      compile_back(scenario, out.line_source, out.train_source, files.has_plan, &back, &why);
  // What no row explains, at most as many lines as the differences are given.
  size_t unexplained = 0;
  for (const std::string& line : r.unexplained)
    add_difference(&out.differences, &unexplained, line);
  if (unexplained != 0) out.differences.push_back(tr("and {1} more", {number(unexplained)}));
  if (!why.empty()) out.differences.push_back(why);
  if (!compiled) return out;
  if (same_bytes(back)) {
    out.exact = true;
    out.differences.clear();
    return out;
  }
  if (!r.line.tunnels.empty() && why.empty()) {
    // Tunnels that overlapped in ways the rows in order of place do not give back: their
    // markers and kinds one row at a time.
    RecoveredScenario other = r;
    other.line.tunnels = tunnels_one_by_one(cells);
    const std::string line = source_bytes(line_source_of(other));
    Compilation again;
    std::string why_again;
    if (compile_back(scenario, line, out.train_source, files.has_plan, &again, &why_again) &&
        why_again.empty() && same_bytes(again)) {
      r.line.tunnels = std::move(other.line.tunnels);
      out.line_source = line;
      out.exact = true;
      out.differences.clear();
      return out;
    }
  }
  list_differences(table, cells, files.has_plan ? &plan : nullptr, back.records, &out.differences);
  if (out.differences.empty()) out.differences.push_back(tr("the files' bytes would differ"));
  return out;
}
