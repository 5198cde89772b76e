// What a compilation builds: the three records the simulator loads (track cells, scenario
// table, line plan) and what the stores keep beside them to place later features (the tunnels
// stored so far). Plain data, filled by the source readers and the feature stores, read by the
// rule pass, the checksums and the file encoders. The cell arithmetic every store shares sits
// here too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/records.h"

// A tunnel as read: its start and end in metres.
struct TunnelSpan {
  int32_t start = 0;
  int32_t end = 0;
};

struct CompiledRecords {
  LinePlan plan;                 // empty unless the plan is built
  std::vector<TrackCell> cells;  // cells 0 to last_cell(); empty until a route length is read
  ScenarioTable table;
  // Tunnels in the order read; the line holds at most kMaxTunnels.
  static constexpr int kMaxTunnels = 80;
  std::vector<TunnelSpan> tunnels;
  int32_t total_metres = 0;  // route length + 7000

  int32_t last_cell() const { return static_cast<int32_t>(cells.size()) - 1; }
  // The position test of every row: whether (p + margin) / kCellMetres stays within the last
  // cell. In
  // floating point: a position near the 32-bit limit simply fails.
  bool within_cells(int32_t p, int32_t margin) const {
    return (double(p) + margin) / kCellMetres <= last_cell();
  }
  // The last position a feature with `margin` may take.
  int64_t last_position(int32_t margin) const {
    return int64_t(last_cell()) * kCellMetres - margin;
  }
  // Cell `index`; an index outside the cells is a run-time failure, never a write elsewhere.
  TrackCell& cell_at(int64_t index);
};

// The margins of the position test: a feature's, and a station's.
constexpr int32_t kFeatureMargin = 100;
constexpr int32_t kStationMargin = 800;
// What a chainage reference's flag 1 adds to its value, in metres.
constexpr int32_t kChainageFlagMetres = 100;

// Cell of a point feature at `position` metres: nearest(position / 50 + 1).
int32_t point_cell(int32_t position);
// Cell of an area feature at `position` metres: nearest(position / 50).
int32_t area_cell(int32_t position);
// End cell of a slowdown that starts at `x` and is `l` metres long.
int32_t slowdown_end_cell(int32_t x, int32_t l);

// `text` as stored in a table entry; a text longer than the file's 16-bit length count is a
// run-time failure.
std::string table_text(const std::string& text);
// A name of the scenario identity (UTF-8, as file names are built from it) as the table holds
// it: Windows-1252 bytes. A name Windows-1252 cannot hold is a run-time failure; callers that
// take names from people refuse such a name before compiling.
std::string scenario_text(const std::string& name);
