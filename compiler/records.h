// The compiled scenario as the simulator loads it: the track cells, the scenario table and the
// line plan. Each is written whole to one file (see binary_layout.h), so these structs are at
// the same time the meaning of every byte of those files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The length of a track cell: cell i covers the metres from i * kCellMetres.
constexpr int32_t kCellMetres = 50;

// One 50-metre stretch of track. Written packed, 15 bytes, in this field order.
struct TrackCell {
  uint8_t type = 0;  // the object in the cell: a CellType, 0 for none
  int16_t value_a = 0;
  int16_t value_b = 0;
  int16_t value_c = 0;
  int16_t value_d = 0;
  uint8_t signal_time = 0;  // signal waiting time
  uint8_t marker = 0;       // approach marker before a signal or a station
  uint8_t tunnel_kind = 0;  // kind of the tunnel over the cell, 0 outside tunnels
  uint8_t speed = 0;        // line speed limit in km/h divided by 5
  uint8_t gradient = 0;     // gradient plus 100, low 8 bits
  uint8_t adhesion = 0;
};

// Codes of TrackCell::type.
enum CellType : uint8_t {
  kCellEmpty = 0,
  kCellSignal = 1,
  kCellSlowdownEnd = 2,
  kCellSlowdownStart = 3,
  kCellSlowdownWarning = 4,
  kCellSlowdownBoards = 5,
  kCellSpeedIndicator = 6,
  kCellStationEnd = 10,
  kCellTunnelMarker = 11,  // counts as free
  kCellSpeedRestriction = 12,
  kCellNoRestriction = 13,
  kCellSignboard = 14,
};

// Stores put objects only on free cells: empty ones and tunnel markers.
inline bool is_free(const TrackCell& cell) {
  return cell.type == kCellEmpty || cell.type == kCellTunnelMarker;
}

// The index of the header cell: its value_a holds the version word, value_b a checksum.
constexpr int kHeaderCell = 1;

// One entry of the scenario table. Written packed, 34 bytes plus the text, in this field order;
// the text goes out as a 16-bit length and its bytes.
struct TableEntry {
  uint8_t kind = 0;
  int32_t start = 0;
  int32_t end = 0;
  int32_t position = 0;
  uint8_t flag_a = 0;
  std::string text;  // Windows-1252 bytes
  int16_t value_1 = 0;
  int16_t value_2 = 0;
  int16_t value_3 = 0;
  int16_t value_4 = 0;
  int16_t value_5 = 0;
  uint8_t flag_b = 0;
  uint8_t flag_c = 0;
  uint8_t flag_d = 0;
  uint8_t flag_e = 0;
  int32_t time = 0;
};

// The table's 87 entries have fixed roles: stations grow upward from entry 1, signboard texts
// downward from entry 80; then come the chainage references, the route, the line and the train.
constexpr int kTableEntries = 87;
constexpr int kFirstStationEntry = 1;
constexpr int kFirstSignboardEntry = 80;
constexpr int kChainageEntry3 = 81;  // "progressiva chilometrica tre" as read
constexpr int kChainageEntry2 = 82;  // "... due"
constexpr int kChainageEntry1 = 83;  // "... uno"
constexpr int kRouteEntry = 84;
constexpr int kLineEntry = 85;
constexpr int kTrainEntry = 86;
using ScenarioTable = std::array<TableEntry, kTableEntries>;

// A stretch of the line plan, metres `first` to `last`, laid by one rule: k == 0 a straight,
// otherwise a curve turning by about k radians a metre (see line_plan.h).
struct PlanRun {
  int32_t first = 0;
  int32_t last = 0;
  double k = 0;
};

// The plan view of the track centre line, one point a metre from metre 0 to the last metre,
// x and y in metres. Metres 0 and 1 are whole numbers (the origin and one metre along +y); then
// metres 2 up to the plan cursor are computed in double precision, each from the two before it,
// by the runs in order. Points past the cursor, among them always the last two metres, are
// unset. The points themselves are not kept: they are computed again where they are written,
// so that the longest route's plan takes a few runs instead of 16 MB.
struct LinePlan {
  int32_t points = 0;         // metres 0 to points - 1; 0 when no plan is built
  bool origin_set = false;    // metres 0 and 1 hold their whole-number values
  int32_t computed_end = 2;   // metres 2 .. computed_end - 1 are computed
  std::vector<PlanRun> runs;  // back to back from metre 2 up to computed_end - 1

  int32_t last_metre() const { return points - 1; }
};
