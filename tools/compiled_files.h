// Reads the three compiled files back into the compiler's records, checking each against its
// layout: a truncated or foreign file is refused with a message saying what is wrong.
#pragma once

#include <string>
#include <vector>

#include "common/status.h"
#include "compiler/records.h"

Status read_track_cells(const std::string& path, std::vector<TrackCell>* cells);
Status read_scenario_table(const std::string& path, ScenarioTable* table);
// A line plan file read back: the x and y of every point (0 where unset).
struct LinePlanPoints {
  std::vector<double> x;
  std::vector<double> y;
  bool origin_set = false;   // metres 0 and 1 hold whole numbers
  int32_t computed_end = 2;  // metres 2 .. computed_end - 1 hold doubles

  int32_t last_metre() const { return static_cast<int32_t>(x.size()) - 1; }
};

Status read_line_plan(const std::string& path, LinePlanPoints* plan);

// The same from a file's bytes already read; `name` names the file in the messages.
Status parse_track_cells(const std::string& bytes, const std::string& name,
                         std::vector<TrackCell>* cells);
Status parse_scenario_table(const std::string& bytes, const std::string& name,
                            ScenarioTable* table);
Status parse_line_plan(const std::string& bytes, const std::string& name, LinePlanPoints* plan);
