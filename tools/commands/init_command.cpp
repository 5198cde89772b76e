#include "tools/commands/init_command.h"

#include <optional>

#include "common/windows_1252.h"
#include "sources/text_writer.h"
#include "tools/commands/exit_status.h"

namespace {

// A 10 km line with two of each kind of row, laid out so that every object has a cell of its
// own and nothing overlaps: the shipped source's layout, shortened.
const std::vector<std::string>& starter_line_source() {
  static const std::vector<std::string> lines = {
      "[generale]",
      "lunghezza percorso,    10000",
      "progressiva chilometrica uno,    0,    0,    0",
      "progressiva chilometrica due,    0,    0,    0",
      "progressiva chilometrica tre,    0,    0,    0",
      "sfondo uno,    0",
      "sfondo due,    1",
      "sfondo tre,    0",
      "ripetizione segnali 4 codici,    0    ,0",
      "[curve]",
      "curvad4,  1000,  300",
      "curvas3,  5500,  400",
      "[pendenze]",
      "pendenza,   0,    0",
      "pendenza,  2000,   5",
      "pendenza,  6000,   -3",
      "[montagne]",
      "montagna,   3000,  3400,  2",
      "montagna,   7000,  7600,  12",
      "[cartelli]",
      "indicatori_vmax,  500,  65,  70,  80,  0,  ,  ,  ,  0",
      "indicatori_vmax,  4500,  90,  95,  100,  0,  ,  ,  ,  0",
      "[indicazioni]",
      "cartello_indicatore,  2100,   (Cippo Km.)( 2+100 )",
      "cartello_indicatore,  6300,   (P.L.A.    )(km. 6+300)",
      "[fine]",
  };
  return lines;
}

// A train over that line: two stations, two speed limits, an adhesion change, a slowdown, two
// signals and a speed restriction point.
const std::vector<std::string>& starter_train_source() {
  static const std::vector<std::string> lines = {
      "[generale]",
      "numero vetture,    3",
      "percentuale massa frenata,    100",
      "sabbia,    100",
      "orologio,    8              0            0 ",
      "[aderenze]",
      "aderenza,   0,    100",
      "aderenza,   5000,    90",
      "[vel_limite]",
      "velocita,       0,    70",
      "velocita,    4500,    90",
      "[stazioni]",
      "stazione,       0, 12,  400,  1, 0, 1,  4,1,0,  2,1,1,    1,   8, 1, 0, PARTENZA",
      "stazione,    9000, 22,  400,  0, 0, 0,  0,0,0,  2,4,1,    0,   8,10, 0, ARRIVO",
      "[rallentamenti]",
      "rallentamento,   5200,    50,  300, 1,  0,  0",
      "[segnali]",
      "segnale,   3800,   2, 4, 1,  0, 0,    0,  0,0,0, 0",
      "segnale,   8000,   2, 3, 1,  0, 0,    0,  0,0,0, 0",
      "[codici]",
      "abbattimento,   6500,  1",
      "[fine]",
  };
  return lines;
}

}  // namespace

std::vector<ScenarioText> starter_texts(const ScenarioIdentity& scenario) {
  // The names were checked as Windows-1252 text with the command line.
  const std::string line = windows_1252_from_utf8(scenario.line_name).value_or("");
  const std::string train = windows_1252_from_utf8(scenario.train_number).value_or("");
  const std::vector<std::string> notes = {
      "Linea " + line + ", treno " + train,
      "",
      "Scenario di partenza: sostituire questo testo con le note per il macchinista.",
  };
  const std::vector<std::string> sheet = {
      "SCHEDA TRENO " + train,
      "",
      "PARTENZA      8.01.00",
      "ARRIVO        8.10.00",
  };
  const std::vector<std::string> slowdowns = {
      "MOD. M. 3 - RALLENTAMENTI",
      "",
      "Treno " + train + ": rallentamento a 50 km/h dal km 5+200 al km 5+500.",
  };
  return {{line_source_name(scenario), document_bytes(starter_line_source())},
          {train_source_name(scenario), document_bytes(starter_train_source())},
          {notes_name(scenario), document_bytes(notes)},
          {slowdown_order_name(scenario), document_bytes(slowdowns)},
          {train_sheet_name(scenario), document_bytes(sheet)}};
}

int init(const InitArguments& a) {
  const std::string refused = folder_to_write_refusal(a.common.directory);
  if (!refused.empty()) return usage_error(refused);
  return write_scenario_texts(a.common.directory, starter_texts(a.common.scenario), a.force);
}
