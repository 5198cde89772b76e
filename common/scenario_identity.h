// Which scenario a run deals with: the line name and the train number. Every file name of the
// scenario is built from these two texts by plain concatenation.
#pragma once

#include <string>

struct ScenarioIdentity {
  std::string line_name;     // "Viterbo_Attigliano"
  std::string train_number;  // "7545"
};

// The scenario this program carries.
extern const char kShippedLineName[];     // "Viterbo_Attigliano"
extern const char kShippedTrainNumber[];  // "7545"

// Text sources, read and deleted by the compiler.
std::string line_source_name(const ScenarioIdentity& s);   // <line>_linea.txt
std::string train_source_name(const ScenarioIdentity& s);  // <line>_<train>-.txt

// The lock file a run holds in the folder while it works there. One for the whole folder, named
// after no scenario: file names are plain concatenations, so two scenarios can share one (line
// "L" with train "X_1" and line "L_X" with train "1" both write L_X_1.sim), and every train of a
// line shares the line's files. No scenario file ends in ".lock".
std::string lock_file_name();  // scenario-folder.lock

// Documents for the driver.
std::string notes_name(const ScenarioIdentity& s);           // <line>_<train>_note.txt
std::string slowdown_order_name(const ScenarioIdentity& s);  // <line>_<train>_rallentamenti.txt
std::string train_sheet_name(const ScenarioIdentity& s);     // <line>_<train>_scheda_treno.txt
