// The byte layouts of the three compiled files: raw little-endian records, packed, with no
// header and no count.
//
// - line plan (<line>_linea.dat): every x from metre 0 to the last metre, then every y; each
//   point a 16-bit type tag and its value: 0 unset (no value), 2 a 16-bit whole number, 5 a double;
// - scenario table (<line>_<train>.sim): the 87 entries in order, 34 bytes each plus the text;
// - track cells (<line>_<train>.dat): every cell in order, 15 bytes each.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "compiler/records.h"

// Type tags of line plan points.
constexpr uint16_t kPointUnset = 0;
constexpr uint16_t kPointWhole = 2;
constexpr uint16_t kPointDouble = 5;

constexpr size_t kTrackCellBytes = 15;
constexpr size_t kTableEntryBytes = 34;  // plus the text's own bytes
constexpr size_t kMaxTextBytes = 65535;  // the text length is a 16-bit count

// The line plan's bytes, handed to `emit` in pieces of about 1 MiB, so that the plan of the
// longest route (20 MB) is never held whole a second time. Stops, returning false, as soon as
// `emit` returns false.
bool encode_line_plan(const LinePlan& plan,
                      const std::function<bool(const char* data, size_t size)>& emit);
// The same bytes in one text.
std::string encode_line_plan(const LinePlan& plan);
// Every text must be at most kMaxTextBytes long; the compiler refuses longer ones when it reads.
std::string encode_scenario_table(const ScenarioTable& table);
std::string encode_track_cells(const std::vector<TrackCell>& cells);
