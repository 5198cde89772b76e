// Reads the three compiled files back into the compiler's records with the decoders that sit
// beside the encoders (compiler/binary_layout.h): a truncated or foreign file is refused with a
// message saying what is wrong. dump and plot take them together, as one compiled scenario.
#pragma once

#include <string>
#include <vector>

#include "common/scenario_identity.h"
#include "common/status.h"
#include "compiler/binary_layout.h"
#include "compiler/records.h"

Status read_track_cells(const std::string& path, std::vector<TrackCell>* cells);
Status read_scenario_table(const std::string& path, ScenarioTable* table);
Status read_line_plan(const std::string& path, LinePlanPoints* plan);

// The three compiled files of one scenario, as read back.
struct CompiledScenario {
  ScenarioTable table;
  std::vector<TrackCell> cells;
  LinePlanPoints plan;
  bool has_plan = false;  // the line plan is optional: compiled without it, it is absent
};

// Reads the compiled files of `scenario` in `directory`.
Status load_compiled(const std::string& directory, const ScenarioIdentity& scenario,
                     CompiledScenario* compiled);
