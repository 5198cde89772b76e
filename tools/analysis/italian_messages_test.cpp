// What check says in Italian: a representative message of each family (a reading error with its
// notes and repair, warnings with a sure and a likely repair, a timetable warning with its
// durations, the counts of the summary in their plural forms, the results), exact; and what
// scripts read is the same in both languages: the JSON of the same sources differs in its texts
// for people only.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "test_support/temp_dir.h"
#include "tools/testing/tool_fixture.h"

namespace {

std::string line_source(const std::string& features) {
  return "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n" + features + "[fine]\r\n";
}

std::string train_source(const std::string& records) {
  return "[generale]\r\nvelocita, 0, 70\r\n" + records + "[fine]\r\n";
}

// check of the two sources (the shipped line's when `line` is empty) with `options`: its exit
// status, and what it wrote, diagnostics first, with the folder as "DIR".
ProcessResult check(const std::string& line, const std::string& train,
                    const std::vector<std::string>& options) {
  TempDir dir;
  write_shipped_sources(dir);
  if (!line.empty()) write_file_bytes(dir.file("Viterbo_Attigliano_linea.txt"), line);
  write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"), train);
  std::vector<std::string> args = {"check", dir.path()};
  args.insert(args.end(), options.begin(), options.end());
  ProcessResult result = run_tool(args);
  result.err = replace_all(result.err, dir.path(), "DIR");
  result.out = replace_all(result.out, dir.path(), "DIR");
  return result;
}

std::string station(const std::string& position, int kind, const std::string& time,
                    const std::string& name) {
  return "stazione, " + position + ", " + std::to_string(kind) +
         ", 300, 0, 0, 0, 0,0,0, 4,1,1, 30, " + time + ", " + name + "\r\n";
}

// The shipped line's train at 90 km/h with two stations 8 min apart, where 8 min 18 s is the
// least running time.
const std::string kTooFast =
    "[generale]\r\norologio, 7, 0, 0\r\nvelocita, 0, 90\r\n[stazioni]\r\n" +
    station("0", 12, "8,0,0", "PRIMA") + station("12450", 24, "8,8,0", "SECONDA") + "[fine]\r\n";

struct Case {
  const char* name;
  std::string line;   // the line source; empty: the shipped one
  std::string train;  // the train source
  int status;
  // Lines of the diagnostics and the results, in their order, each the whole line or, where
  // a text of the compiler's own (a field's name, its reading's failure) follows, its start.
  std::vector<std::string> lines;
};

}  // namespace

TEST(ItalianMessagesTest, EachFamilyInItalian) {
  const Case cases[] = {
      {"a reading error with its notes and its sure repair; the summary's singular",
       line_source("pendenza 500, 3\r\n"),
       train_source(""),
       2,
       {"DIR/Viterbo_Attigliano_linea.txt:4:1: errore 25: manca una virgola dopo 'pendenza': il "
        "suo campo contiene anche il valore '",
        "    pendenza 500, 3", "    ^", "    nota: 'pendenza' richiede 2 valori (",
        "    nota: la lettura si è fermata alla riga 5, colonna 1: ",
        "    suggerimento: inserire ',' dopo 'pendenza'", "    pendenza, 500, 3",
        "1 errore, 0 avvisi", "verificato in memoria: nulla scritto",
        "codice di errore 25 (riga a 500 m): manca una virgola dopo 'pendenza': ",
        "error_code=25 error_position=500"}},
      {"warnings with a likely and a sure repair; the summary's plural",
       line_source("pendenze, 500, 3\r\npendenza, 600, 3,5\r\npendenza, 550, 3\r\n"),
       train_source(""),
       0,
       {"DIR/Viterbo_Attigliano_linea.txt:4:1: avviso: il campo 'pendenze' non corrisponde a "
        "nessuna parola chiave e viene ignorato; forse si intendeva 'pendenza'?",
        "    suggerimento: sostituire 'pendenze' con 'pendenza' (probabile; --fix non la applica)",
        "    pendenza, 500, 3",
        "DIR/Viterbo_Attigliano_linea.txt:5:16: avviso: '3,5' viene letto come 3 seguito da un "
        "campo in più, '5', che viene ignorato: la virgola separa i campi; per un numero decimale "
        "scrivere '3.5' (letto come 4)",
        "    suggerimento: sostituire '3,5' con '3.5'",
        "DIR/Viterbo_Attigliano_linea.txt:6:1: avviso: la pendenza a 550 m è fuori ordine: la "
        "precedente è a 600 m",
        "0 errori, 3 avvisi", "verificato in memoria: nulla scritto",
        "error_code=0 error_position=0"}},
      {"a timetable warning with its durations",
       "",
       kTooFast,
       0,
       {"DIR/Viterbo_Attigliano_7545-.txt:6:1: avviso: la stazione 'SECONDA' (tipo 24) alle "
        "08:08:00 viene 8 min 00 s dopo la stazione che la precede nell'orario, 'PRIMA' (tipo 12) "
        "alle 08:00:00: meno del tempo minimo di percorrenza alla velocità di linea, 8 min 18 s "
        "per 12450 m",
        "    nota: la stazione precedente: riga 5, 'PRIMA' (tipo 12) a 0 m, 08:00:00",
        "    nota: il tempo minimo di percorrenza: ogni cella di 50 m da 0 m a 12450 m alla "
        "velocità di linea, senza accelerazione, frenatura né soste",
        "0 errori, 1 avviso", "error_code=0 error_position=0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessResult r = check(c.line, c.train, {"--lang=it"});
    EXPECT_EQ(r.exit_status, c.status);
    // Each line expected, at a line's start, after the one before.
    const std::string all = "\n" + r.err + r.out;
    size_t at = 0;
    for (const std::string& line : c.lines) {
      const size_t found = all.find("\n" + line, at);
      EXPECT_NE(found, std::string::npos) << line << "\nin:" << all;
      if (found != std::string::npos) at = found + 1;
    }
  }
}

// The same sources in both languages: the same exit status, last line and JSON document but for
// the texts for people (messages, notes, repairs' descriptions), which are all Italian.
TEST(ItalianMessagesTest, JsonDiffersInTheTextsForPeopleOnly) {
  const struct {
    std::string line;
    std::string train;
  } cases[] = {
      {line_source("pendenza 500, 3\r\npendenze, 600, 3\r\n"), train_source("")},
      {line_source("pendenze, 500, 3\r\npendenza, 600, 3,5\r\n"), train_source("")},
      {"", kTooFast},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line + c.train);
    const ProcessResult english = check(c.line, c.train, {"--lang=en"});
    const ProcessResult italian = check(c.line, c.train, {"--lang=it"});
    EXPECT_EQ(italian.exit_status, english.exit_status);
    EXPECT_EQ(last_line(italian.out), last_line(english.out));
    EXPECT_NE(italian.err, english.err);

    const ProcessResult english_json = check(c.line, c.train, {"--lang=en", "--format=json"});
    const ProcessResult italian_json = check(c.line, c.train, {"--lang=it", "--format=json"});
    EXPECT_EQ(italian_json.exit_status, english_json.exit_status);
    const nlohmann::json en_texts = nlohmann::json::parse(english_json.out);
    const nlohmann::json it_texts = nlohmann::json::parse(italian_json.out);
    ASSERT_EQ(it_texts["diagnostics"].size(), en_texts["diagnostics"].size());
    ASSERT_FALSE(en_texts["diagnostics"].empty());
    // Each text for people differs (each is translated), and blanked, the rest is the same.
    for (size_t i = 0; i < en_texts["diagnostics"].size(); ++i) {
      const nlohmann::json& e = en_texts["diagnostics"][i];
      const nlohmann::json& t = it_texts["diagnostics"][i];
      EXPECT_NE(t["message"], e["message"]);
      ASSERT_EQ(t["notes"].size(), e["notes"].size());
      for (size_t n = 0; n < e["notes"].size(); ++n) EXPECT_NE(t["notes"][n], e["notes"][n]);
      if (!e["fix"].is_null()) {
        EXPECT_NE(t["fix"]["description"], e["fix"]["description"]);
      }
    }
    nlohmann::json en = en_texts, it = it_texts;
    for (nlohmann::json* doc : {&en, &it}) {
      for (nlohmann::json& d : (*doc)["diagnostics"]) {
        d["message"] = "";
        for (nlohmann::json& note : d["notes"]) note = "";
        if (!d["fix"].is_null()) d["fix"]["description"] = "";
      }
    }
    EXPECT_EQ(it, en);
  }
}
