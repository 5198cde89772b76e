#include "common/file_path.h"
#include "documents/driver_documents.h"
#include "sources/text_writer.h"

// The slowdown order, form M. 3: the two slowdowns of the train source in a table of 26 rows,
// 24 of them left empty for the station to fill in, then the legend of the prescriptions.
std::vector<std::string> slowdown_order_lines() {
  std::vector<std::string> lines = {
      "",
      "                               Modulo M. 3",
      "                           ORDINE DI RALLENTAMENTO",
      " ________________________________________________________________________________",
      "  Linea  Viterbo - Orte",
      "",
      "  Si ordina al macchinista del treno 7545 di effettuare i seguenti rallentamenti",
      "  _______________________________________________________________________________",
      " |   |                            |Inizio dopo |          |         |            |",
      " | N.|      FRA LE STAZIONI       | il cippo   | Velocita'|Lunghezza|Prescrizioni|",
      " |   |   (o nelle Stazioni di)    |chilometrico|          |   metri | specifiche |",
      " |___|____________________________|____________|__________|_________|____________|",
      " | 1 |VITERBO P.F. - MONTEFIASCONE|     28     |    50    |   700   |     A      |",
      " | 2 |SIPICCIANO - ATTIGLIANO     |     4      |    30    |   300   |    A-E     |",
  };
  lines.insert(
      lines.end(), 24,
      " |   |                            |            |          |         |            |");
  lines.insert(
      lines.end(),
      {
          " |___|____________________________|____________|__________|_________|____________|",
          "",
          "              Prescrizioni specifiche",
          " A - Da rispettare con tutto il treno (per i treni viaggiatori)",
          " B - Interessa anche la stazione di.......",
          " D - Rallentamneto N. ... e N. ...  sono contigui",
          " C - Da rispettare dalle ore ....  alle ore ..... di tutti",
          "     i giorni esclusi i seguenti:.........",
          " E - Interessa il Ponte sul fiume Tevere alla progressiva chilometrica 3+726",
      });
  return lines;
}

Status dati_rallentamenti(const std::string& directory, const ScenarioIdentity& scenario,
                          FileSystem& files) {
  return write_text_document(path_in(directory, slowdown_order_name(scenario)),
                             slowdown_order_lines(), files);
}
