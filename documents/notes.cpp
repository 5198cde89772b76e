#include "common/file_path.h"
#include "documents/driver_documents.h"
#include "sources/text_writer.h"

// The notes: the author's presentation of the scenario, then a blank line and the author's
// signature and contact addresses. The prose keeps its breaks where they stand.
std::vector<std::string> notes_lines() {
  return {
      "Ho scelto di dedicare questo ulteriore scenario al reg. 7545 poich\xE8"
      " \xE8"
      " l' unico treno in orario nell' arco",
      "della giornata che viene attestato ad Attigliano anzich\xE8"
      " a Orte (riparte dopo soli 20 minuti per Viterbo)",
      "Il treno parte da Viterbo con tre minuti di ritardo e incontra due rallentamenti. Ho immaginato che il ",
      "primo sia situato all' interno della galleria di Montefiascone per lavori di manutensione al binario e il",
      "2\xB0"
      " sul ponte sul fiume Tevere (fino a 3 anni f\xE0"
      " il rallentamento si incontrava normalmente proprio a 30 ",
      "km/h finch\xE8"
      " non sono stati fatti grandi lavori di ricostruzioni tali da portare alla sostituzione completa ",
      "di una parte in ferro).",
      "Ad Attigliano si entra sul corretto tracciato della linea di Viterbo che \xE8"
      " il primo della stazione e funge",
      "anche da binario di precedenza della Linea Lenta.",
      "Lungo la linea ho inserito i cartelli relativi ai P.L. riprodotti al meglio delle possibilit\xE0"
      ", ma non li ho ",
      "riportati sulla scheda treno cosa che invece avviene nella realt\xE0"
      ".",
      "L' aderenza \xE8"
      " ottima e la massa bloccata alquanto bassa quindi non dovrebbe essere difficile arrivare in",
      "orario ad Attigliano.",
      "",
      "ALDO BINARI",
      "aldo.binari@example.org",
      "scenari.ferroviari@example.net",
  };
}

Status dati_note(const std::string& directory, const ScenarioIdentity& scenario,
                 FileSystem& files) {
  return write_text_document(path_in(directory, notes_name(scenario)), notes_lines(), files);
}
