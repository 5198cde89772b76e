// The diagnostics' meanings and rules in Italian: the error codes' meanings, the wrong files'
// words, the rules as SARIF lists them; what machines read (codes, rule ids, places, the last
// line) the same in both languages.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>

#include "test_support/temp_dir.h"
#include "tools/analysis/diagnostic_rules.h"
#include "tools/language/translation.h"
#include "tools/testing/tool_fixture.h"

namespace {

const std::string kLine = "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n";
const std::string kTrain = "[generale]\r\nvelocita, 0, 80\r\n[fine]\r\n";
// A train source whose station stands off the 50 m grid: error 8, said by its meaning.
const std::string kStationOff50 =
    "[generale]\r\nvelocita, 0, 80\r\n"
    "stazione, 1010, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 10,0,0, Borgo\r\n[fine]\r\n";

struct Files {
  std::vector<std::pair<std::string, std::string>> files;  // name, bytes
  std::vector<std::string> args;                           // after the command and DIR
};

void write(const TempDir& dir, const Files& f) {
  for (const auto& file : f.files) write_file_bytes(dir.file(file.first), file.second);
}

std::vector<std::string> command(const std::string& name, const TempDir& dir, const Files& f,
                                 std::vector<std::string> more) {
  std::vector<std::string> args = {name, dir.path()};
  args.insert(args.end(), f.args.begin(), f.args.end());
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// Sets the language for one test and puts English back after it.
struct InLanguage {
  explicit InLanguage(Language language) { set_language(language); }
  ~InLanguage() { set_language(Language::kEnglish); }
};

}  // namespace

// Representative texts of the family in Italian: a wrong file with its note, a reading error
// with its meaning in the results, the value a reading stopped on, an error said by its code's
// meaning; the last line as in English.
TEST(ItalianRulesTest, MeaningsAndWrongFilesInItalian) {
  const struct {
    const char* what;
    Files files;
    std::vector<std::string> errors;  // texts standard error holds
    std::string results;              // the last two lines of standard output
  } cases[] = {
      {"a curve keyword with 7",
       {{{"Monte_linea.txt", kLine + "pendenza, 0, 0\r\ncurvad7, 1000, 300\r\n[fine]\r\n"},
         {"Monte_7545-.txt", kTrain}},
        {"--line", "Monte"}},
       {"'curvad7': 7 non è una cifra di curvatura (da 1 a 6: 1 la curva più ampia, 6 la più "
        "stretta)",
        "la parola chiave richiede la cifra e una 'd' o una 's' per il lato: 'curvad4' a destra, "
        "'curvas4' a sinistra"},
       "codice di errore 103 (riga a 1000 m): 'curvad7': 7 non è una cifra di curvatura (da 1 a "
       "6: 1 la curva più ampia, 6 la più stretta)\nerror_code=103 error_position=1000"},
      {"another line's source",
       {{{"Monte_Borgo_linea.txt", kLine}, {"Monte_Alto_linea.txt", kLine}}, {"--line", "Monte"}},
       {"manca il sorgente della linea Monte_linea.txt; la cartella contiene "
        "Monte_Alto_linea.txt, Monte_Borgo_linea.txt: forse si intendeva --line Monte_Alto o "
        "Monte_Borgo?"},
       "codice di errore 101: manca il sorgente della linea\nerror_code=101 "
       "error_position=0"},
      {"an installer has run",
       {{{"Monte_linea.dat", "x"}, {"Monte_7545.sim", "x"}}, {"--line", "Monte"}},
       {"qui manca il sorgente della linea Monte_linea.txt, ma ci sono i file compilati "
        "Monte_linea.dat e Monte_7545.sim: in questa cartella è stato eseguito un installatore",
        "questa cartella non contiene più i sorgenti: prenderli dalla propria copia"},
       ""},
      {"an empty train source",
       {{{"Monte_linea.txt", kLine + "[fine]\r\n"}, {"Monte_7545-.txt", ""}}, {"--line", "Monte"}},
       {"Monte_7545-.txt è vuoto: il sorgente del treno comincia con la sezione '[generale]': "
        "'numero vetture', 'percentuale massa frenata', 'sabbia', 'orologio'"},
       ""},
      {"a value that is not a number",
       {{{"Monte_linea.txt", kLine + "curva destra 4, 700, x\r\n[fine]\r\n"},
         {"Monte_7545-.txt", kTrain}},
        {"--line", "Monte"}},
       {"lunghezza della curva: \"x\" non è un numero"},
       ""},
      {"a station off the 50 m grid",
       {{{"Monte_linea.txt", kLine + "[fine]\r\n"}, {"Monte_7545-.txt", kStationOff50}},
        {"--line", "Monte"}},
       {"la posizione di una stazione non è multipla di 50 m"},
       "codice di errore 8 (posizione 1010 m): la posizione di una stazione non è multipla di 50 "
       "m\nerror_code=8 error_position=1010"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write(dir, c.files);
    const ProcessResult italian = run_tool(command("check", dir, c.files, {"--lang=it"}));
    const ProcessResult english = run_tool(command("check", dir, c.files, {}));
    EXPECT_EQ(italian.exit_status, english.exit_status);
    for (const std::string& text : c.errors) {
      EXPECT_NE(italian.err.find(text), std::string::npos) << italian.err;
    }
    if (!c.results.empty()) {
      const std::string out = italian.out.substr(0, italian.out.size() - 1);
      EXPECT_EQ(out.substr(out.rfind('\n', out.rfind('\n') - 1) + 1), c.results) << italian.out;
    }
    EXPECT_EQ(last_line(italian.out), last_line(english.out));
  }
}

// SARIF's rules in Italian, and JSON and SARIF of the same sources alike in both languages but
// for their words: the same codes, rule ids, rule indices and places.
TEST(ItalianRulesTest, SarifRulesInItalianWithTheSameIdsAndCodes) {
  const Files files = {
      {{"Monte_linea.txt", kLine + "pendenza, 500, 3\r\npendenza, 400, 2\r\ncurvad7, 1000, 300\r\n"
                                   "[fine]\r\n"},
       {"Monte_7545-.txt", kStationOff50}},
      {"--line", "Monte"}};
  TempDir dir;
  write(dir, files);
  using Json = nlohmann::json;
  const Json sarif_it =
      Json::parse(run_tool(command("check", dir, files, {"--format=sarif", "--lang=it"})).out);
  const Json sarif_en = Json::parse(run_tool(command("check", dir, files, {"--format=sarif"})).out);
  const Json& rules_it = sarif_it["runs"][0]["tool"]["driver"]["rules"];
  const Json& rules_en = sarif_en["runs"][0]["tool"]["driver"]["rules"];
  ASSERT_EQ(rules_it.size(), rules_en.size());
  // Each rule's id and level as in English, its texts Italian.
  std::map<std::string, Json> by_id;
  for (size_t i = 0; i < rules_it.size(); ++i) {
    EXPECT_EQ(rules_it[i]["id"], rules_en[i]["id"]);
    EXPECT_EQ(rules_it[i]["defaultConfiguration"], rules_en[i]["defaultConfiguration"]);
    by_id[rules_it[i]["id"]] = rules_it[i];
  }
  const struct {
    const char* id;
    const char* short_description;
    const char* full_description;
    const char* help;
  } expected[] = {
      {"error-8", "la posizione di una stazione non è multipla di 50 m",
       "Errore 8: la posizione di una stazione non è multipla di 50 m. La posizione di una "
       "stazione cade sulla griglia di 50 m.",
       "Scrivere la posizione della stazione come multiplo di 50 m."},
      {"error-1250",
       "Il posto della versione nella voce 85 della tabella dello scenario o nella cella 1 del "
       "binario è già occupato.",
       "Errore n. 1250: il compilatore scrive per ultima la versione nella voce 85 della tabella "
       "dello scenario e nella cella 1 del binario (da 0 a 50 m), e trova che una riga vi ha già scritto; non "
       "scrive alcun file compilato.",
       "Spostare oltre i primi 50 m la riga che vi scrive (un indicatore di velocità massima, un "
       "cartello indicatore o un segnale tra 0 e 50 m)."},
      {"gradient-out-of-order", "Una riga 'pendenza' fuori ordine.",
       "Una riga 'pendenza' inizia nello stesso punto della precedente o prima: le righe di uno "
       "stesso tipo si compilano nell'ordine in cui sono scritte, senza essere ordinate.",
       "Mettere le righe di questo tipo in ordine crescente di posizione."},
      {"speed-not-a-multiple-of-5", "Una velocità che non è multipla di 5 km/h.",
       "Le velocità sono memorizzate in unità di 5 km/h: il valore viene compilato come il "
       "più vicino memorizzabile.",
       "Scrivere la velocità come multiplo di 5 km/h."},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.id);
    ASSERT_EQ(by_id.count(e.id), 1u);
    EXPECT_EQ(by_id[e.id]["shortDescription"]["text"], e.short_description);
    EXPECT_EQ(by_id[e.id]["fullDescription"]["text"], e.full_description);
    EXPECT_EQ(by_id[e.id]["help"]["text"], e.help);
  }
  // The results: the same rules at the same places.
  const Json& results_it = sarif_it["runs"][0]["results"];
  const Json& results_en = sarif_en["runs"][0]["results"];
  ASSERT_EQ(results_it.size(), results_en.size());
  ASSERT_GE(results_it.size(), 2u);
  for (size_t i = 0; i < results_it.size(); ++i) {
    EXPECT_EQ(results_it[i]["ruleId"], results_en[i]["ruleId"]);
    EXPECT_EQ(results_it[i]["ruleIndex"], results_en[i]["ruleIndex"]);
    EXPECT_EQ(results_it[i]["level"], results_en[i]["level"]);
    EXPECT_EQ(results_it[i]["locations"], results_en[i]["locations"]);
    // The errors' words are this family's: the meanings and the wrong files'.
    if (results_en[i]["level"] == "error") {
      EXPECT_NE(results_it[i]["message"], results_en[i]["message"]);
    }
  }
  // JSON: the same codes, rules and places.
  const Json json_it =
      Json::parse(run_tool(command("check", dir, files, {"--format=json", "--lang=it"})).out);
  const Json json_en = Json::parse(run_tool(command("check", dir, files, {"--format=json"})).out);
  for (const char* key : {"errors", "warnings", "error_code", "error_position"}) {
    EXPECT_EQ(json_it[key], json_en[key]) << key;
  }
  ASSERT_EQ(json_it["diagnostics"].size(), json_en["diagnostics"].size());
  for (size_t i = 0; i < json_it["diagnostics"].size(); ++i) {
    for (const char* key : {"code", "rule", "level", "file", "line", "column", "end_column"}) {
      EXPECT_EQ(json_it["diagnostics"][i].value(key, Json()),
                json_en["diagnostics"][i].value(key, Json()))
          << key;
    }
  }
}

// Every rule has its texts in Italian: a rule whose text is made without tr() would say it in
// English.
TEST(ItalianRulesTest, EveryRuleIsTranslated) {
  std::vector<DiagnosticRule> english = diagnostic_rules();
  InLanguage italian(Language::kItalian);
  const std::vector<DiagnosticRule>& rules = diagnostic_rules();
  ASSERT_EQ(rules.size(), english.size());
  for (size_t i = 0; i < rules.size(); ++i) {
    SCOPED_TRACE(english[i].id);
    EXPECT_EQ(rules[i].id, english[i].id);
    EXPECT_EQ(rules[i].code, english[i].code);
    EXPECT_EQ(rules[i].error, english[i].error);
    EXPECT_NE(rules[i].short_description, english[i].short_description);
    EXPECT_NE(rules[i].full_description, english[i].full_description);
    EXPECT_NE(rules[i].help, english[i].help);
    EXPECT_EQ(rule_index(rules[i].code), i);
  }
}
