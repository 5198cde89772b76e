// The line source of the shipped scenario, Viterbo - Attigliano: general settings, curves,
// gradients, tunnels, speed-indicator boards and lineside signboards, one text a line.
#pragma once

#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/scenario_identity.h"
#include "common/status.h"

// The lines of the line source, without line ends, exactly as the compiler reads them.
const std::vector<std::string>& line_source_lines();

// Writes the line source `<line>_linea.txt` into `directory`.
Status dati_linea(const std::string& directory, const ScenarioIdentity& scenario,
                  FileSystem& files = platform_file_system());
