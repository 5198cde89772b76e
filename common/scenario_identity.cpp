#include "common/scenario_identity.h"

namespace {

std::string document_name(const ScenarioIdentity& s, const char* tail) {
  return s.line_name + "_" + s.train_number + "_" + tail;
}

}  // namespace

const char kShippedLineName[] = "Viterbo_Attigliano";
const char kShippedTrainNumber[] = "7545";

std::string line_source_name(const ScenarioIdentity& s) {
  return s.line_name + "_linea.txt";
}

std::string train_source_name(const ScenarioIdentity& s) {
  return s.line_name + "_" + s.train_number + "-.txt";
}

std::string lock_file_name() {
  return "scenario-folder.lock";
}

std::string notes_name(const ScenarioIdentity& s) {
  return document_name(s, "note.txt");
}

std::string slowdown_order_name(const ScenarioIdentity& s) {
  return document_name(s, "rallentamenti.txt");
}

std::string train_sheet_name(const ScenarioIdentity& s) {
  return document_name(s, "scheda_treno.txt");
}
