// The byte layouts of the three compiled files: raw little-endian records, packed, with no
// header and no count.
//
// - line plan (<line>_linea.dat): every x from metre 0 to the last metre, then every y; each
//   point a 16-bit type tag and its value: 0 unset (no value), 2 a 16-bit whole number, 5 a double;
// - scenario table (<line>_<train>.sim): the 87 entries in order, 34 bytes each plus the text;
// - track cells (<line>_<train>.dat): every cell in order, 15 bytes each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/placed_pieces.h"
#include "common/status.h"
#include "compiler/records.h"

// Type tags of line plan points.
constexpr uint16_t kPointUnset = 0;
constexpr uint16_t kPointWhole = 2;
constexpr uint16_t kPointDouble = 5;

constexpr size_t kTrackCellBytes = 15;
constexpr size_t kTableEntryBytes = 34;  // plus the text's own bytes
constexpr size_t kMaxTextBytes = 65535;  // the text length is a 16-bit count

// The line plan's bytes, computed point by point and handed to `sink` in pieces, so that the
// plan of the longest route (20 MB) is never held whole: the x half and the y half side by
// side, each piece at its place in the file. Stops, returning false, as soon as the sink
// refuses a piece.
bool encode_line_plan(const LinePlan& plan, PlacedPieceSink* sink);
// The size of each half of the line plan file.
uint64_t line_plan_half_bytes(const LinePlan& plan);
// The same bytes in one text.
std::string encode_line_plan(const LinePlan& plan);
// Every text must be at most kMaxTextBytes long; the compiler refuses longer ones when it reads.
std::string encode_scenario_table(const ScenarioTable& table);
std::string encode_track_cells(const std::vector<TrackCell>& cells);

// The decoders of the same files, each checking its bytes against the layout: a file cut short
// or of another kind is refused with a message that starts with `name`.
Status decode_track_cells(const std::string& bytes, const std::string& name,
                          std::vector<TrackCell>* cells);
Status decode_scenario_table(const std::string& bytes, const std::string& name,
                             ScenarioTable* table);

// A line plan file decoded: the x and y of every point (0 where unset).
struct LinePlanPoints {
  std::vector<double> x;
  std::vector<double> y;
  bool origin_set = false;   // metres 0 and 1 hold whole numbers
  int32_t computed_end = 2;  // metres 2 .. computed_end - 1 hold doubles

  int32_t last_metre() const { return static_cast<int32_t>(x.size()) - 1; }
};
Status decode_line_plan(const std::string& bytes, const std::string& name, LinePlanPoints* plan);
