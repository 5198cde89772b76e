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

// Why the scenario's names cannot name its files, in one line; empty when they can. Each name
// must be a plain file-name part on Linux and on Windows alike, so that every file name built
// from it stays in the folder it is joined to and means there what it says: not empty, UTF-8,
// not "." or "..", no folder separator ('/', '\'), no drive or stream (':'), no control
// character, none of the characters Windows refuses in names (<>"|?*), no trailing dot or
// blank (Windows drops them), not a Windows device name (CON, NUL, COM1, LPT1, ... with or
// without an extension), and short enough that the longest file name built from the pair,
// temporary suffix included, fits a file name on both. The line tells which name is refused,
// as `line_label` or `train_label` says ("--line", "its line name"), and the character or
// word that refuses it.
std::string scenario_names_refusal(const ScenarioIdentity& s, const std::string& line_label,
                                   const std::string& train_label);
