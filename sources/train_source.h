// The train source of the shipped scenario, regional train 7545: general settings, adhesion,
// speed limits, stations with their timetable, slowdowns and signals, one text a line.
#pragma once

#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/scenario_identity.h"
#include "common/status.h"

// The lines of the train source, without line ends, exactly as the compiler reads them.
const std::vector<std::string>& train_source_lines();

// Writes the train source `<line>_<train>-.txt` into `directory`.
Status dati_treno(const std::string& directory, const ScenarioIdentity& scenario,
                  FileSystem& files = platform_file_system());
