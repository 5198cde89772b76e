// The three documents the driver reads beside the simulator: the notes on the scenario, the
// slowdown order and the train sheet. They are constant text; nothing reads them back.
#pragma once

#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/scenario_identity.h"
#include "common/status.h"

// The lines of each document, without line ends, as they are written (Windows-1252 bytes).
std::vector<std::string> notes_lines();
std::vector<std::string> slowdown_order_lines();
std::vector<std::string> train_sheet_lines();

// Writes `<line>_<train>_note.txt` into `directory`.
Status dati_note(const std::string& directory, const ScenarioIdentity& scenario,
                 FileSystem& files = platform_file_system());
// Writes `<line>_<train>_rallentamenti.txt` into `directory`.
Status dati_rallentamenti(const std::string& directory, const ScenarioIdentity& scenario,
                          FileSystem& files = platform_file_system());
// Writes `<line>_<train>_scheda_treno.txt` into `directory`.
Status dati_scheda(const std::string& directory, const ScenarioIdentity& scenario,
                   FileSystem& files = platform_file_system());
