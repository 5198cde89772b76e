#include "common/file_path.h"
#include "documents/driver_documents.h"
#include "sources/text_writer.h"

// The train sheet: header boxes with the train's service data, the route table with one row a
// location and eighteen empty rows, and a closing note.
std::vector<std::string> train_sheet_lines() {
  std::vector<std::string> lines = {
      "",
      "                                          SCHEDA TRENO",
      "  ___________________ ________________                        ______________________",
      " |  Fascicolo Linee  |     Treno      |    scheda n\xB0"
      " 1/1     | Sigla di composizione|",
      " |       113         |      7545      |                      |         VS140 B      |",
      " |___________________|________________|    da: VITERBO P.F.  |          100%        |",
      "                     | Termine scheda |    a:  ATTIGLIANO    |______________________|",
      "  ___________________|___ATTIGLIANO___|                       ______________________",
      " |  CLASSIFICAZIONE  | Massa Bloccata |                      |             |        |",
      " |       Reg         |   2Ale + 2Le   |                      | ALe 801/940 |  RSC4  |",
      " |___________________|________________|                      |_____________|________|        ",
      "",
      "  _______________________________________________________________________________________",
      " |_Binari DX_| Progr Km    Localit\xE0"
      "              |     Orario     | Bin. DX | SRS   SRS |",
      " | Vel.| Vel.|                                   |                | V. Max. | SX     DX |",
      " |_lim.|_Mar.|___________________________________|________________|_________|___________|",
      " |  70 |     |   39.050 |VITERBO P.F.            |13.08           |    /    |           |",
      " | 100 |     |   37.000 |cippo Km 37+000         |       -        |         |           |",
      " |  75 |     |   31.000 |cippo Km 31+000         |       -        |         |           |",
      " |  85 |     |   26.650 |MONTEFIASCONE           |13.18     13.18+|         |           |",
      " |     |     |   22.000 |cippo Km 22+000         |       -        |    /    |           |",
      " |     |     |   18.000 |cippo Km 18+000         |       -        |         |           |",
      " |  75 |     |   16.300 |GROTTE SANTO STEFANO    |13.27     13.27+|         |           |",
      " |     |     |   16.000 |cippo Km 16+000         |       -        |    /    |           |",
      " |     |     |   13.000 |cippo Km 13+000         |       -        |         |           |",
      " |     |     |    7.350 |S. Nicola               |     13.38      |         |           |",
      " |  90 |     |    5.400 |SIPICCIANO              |13.40     13.40+|    /    |           |",
      " |     |     |    5.200 |Dev. U.                 |       -        |         |           |",
      " |     |     |    0.000 |ATTIGLIANO-BOMARZO      |          13.46 |    /    |           |",
  };
  lines.insert(
      lines.end(), 18,
      " |     |     |          |                        |                |         |           |");
  lines.insert(
      lines.end(),
      {
          " |_____|_____|__________|________________________|________________|_________|___________|  ",
          "  NOTE:",
          " ",
          "  il + nella casella orario indica 1/2 minuto",
          "",
          "",
          "",
      });
  return lines;
}

Status dati_scheda(const std::string& directory, const ScenarioIdentity& scenario,
                   FileSystem& files) {
  return write_text_document(path_in(directory, train_sheet_name(scenario)), train_sheet_lines(),
                             files);
}
