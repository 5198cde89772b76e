// Reads the three compiled files back into the compiler's records with the decoders that sit
// beside the encoders (compiler/binary_layout.h): a truncated or foreign file is refused with a
// message saying what is wrong.
#pragma once

#include <string>
#include <vector>

#include "common/status.h"
#include "compiler/binary_layout.h"
#include "compiler/records.h"

Status read_track_cells(const std::string& path, std::vector<TrackCell>* cells);
Status read_scenario_table(const std::string& path, ScenarioTable* table);
Status read_line_plan(const std::string& path, LinePlanPoints* plan);
