#include "sources/train_source.h"

#include "common/file_path.h"
#include "sources/text_writer.h"

const std::vector<std::string>& train_source_lines() {
  // The clock row separates its three numbers by blanks alone and ends with a blank; station
  // names run to the end of their row.
  static const std::vector<std::string> lines = {
      "[generale]",
      "numero vetture,    5",
      "percentuale massa frenata,    100",
      "sabbia,    100",
      "orologio,    13              10            45 ",
      "[aderenze]",
      "aderenza,   0,    100",
      "[vel_limite]",
      "velocita,       0,    70",
      "velocita,    2050,   100",
      "velocita,    8000,    75",
      "velocita,   12650,    85",
      "velocita,   23050,    75",
      "velocita,   33800,    90",
      "velocita,   39100,    30",
      "velocita,   39400,   100",
      "[stazioni]",
      "stazione,       0, 12,  400,  1, 0, 1,  4,1,0,  2,1,1,    1,  13, 8, 0, VITERBO P. F.",
      "stazione,   12450, 24,  300,  0, 0, 0,  0,0,0,  4,1,1,   30,  13,18,30, Montefiascone",
      "stazione,   22850, 24,  300,  0, 0, 1,  0,0,0,  4,1,1,   30,  13,27,30, Grotte S. Stefano",
      "stazione,   31900, 27,  200,  0, 0, 0,  0,0,0,  0,0,0,   30,  14, 9, 0, Sipicciano S. Nicola",
      "stazione,   33650, 24,  300,  0, 0, 0,  0,0,0,  4,1,1,   30,  13,40, 0, Sipicciano",
      "stazione,   38950, 22,  400,  0, 0, 0,  0,0,0,  2,4,1,    0,  13,46,30, ATTIGLIANO",
      "[rallentamenti]",
      "rallentamento,   11250,    50,  700, 1,  0,  0",
      "rallentamento,   35700,    30,  300, 1,  0,  0",
      "[segnali]",
      "segnale,   10000,   2, 4, 1,  0, 0,    0,  0,0,0, 0",
      "segnale,   11000,   2, 3, 1,  0, 0,    0,  0,0,0, 0",
      "segnale,   21100,   2, 5, 1,  0, 0,    0,  0,0,0, 0",
      "segnale,   22100,   2, 3, 1,  0, 0,    0,  0,0,0, 0",
      "segnale,   31800,   2, 5, 1,  0, 0,    0,  0,0,0, 0",
      "segnale,   33000,   2, 3, 1,  0, 0,    0,  0,0,0, 0",
      "segnale,   37000,   1, 3, 1,  0, 0,    0,  0,0,0, 0",
      "segnale,   38100,   2, 3, 1,  0, 0,    0,  0,0,0, 130",
      "[codici]",
      "[fine]",
  };
  return lines;
}

Status dati_treno(const std::string& directory, const ScenarioIdentity& scenario,
                  FileSystem& files) {
  return write_text_document(path_in(directory, train_source_name(scenario)), train_source_lines(),
                             files);
}
