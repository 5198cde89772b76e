// The tool's languages: which one the environment and --lang choose, the catalogue built in, and
// a few texts of each family said in Italian, with what machines read unchanged.
#include "tools/language/translation.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <nlohmann/json.hpp>

#include "tools/testing/tool_fixture.h"

namespace {

// Sets the language for one test and puts English back after it.
struct InLanguage {
  explicit InLanguage(Language language) { set_language(language); }
  ~InLanguage() { set_language(Language::kEnglish); }
};

}  // namespace

TEST(TranslationTest, TheEnvironmentChoosesTheLanguageAsGettextReadsIt) {
  const struct {
    std::map<std::string, std::string> environment;
    Language language;
  } cases[] = {
      {{}, Language::kEnglish},
      {{{"LANG", "it_IT.UTF-8"}}, Language::kItalian},
      {{{"LANG", "it"}}, Language::kItalian},
      {{{"LANG", "it_CH@euro"}}, Language::kItalian},
      {{{"LANG", "C"}}, Language::kEnglish},
      {{{"LANG", "POSIX"}}, Language::kEnglish},
      {{{"LANG", "C.UTF-8"}}, Language::kEnglish},
      {{{"LANG", "en_GB.UTF-8"}}, Language::kEnglish},
      {{{"LANG", "fr_FR.UTF-8"}}, Language::kEnglish},
      {{{"LANG", "italian"}}, Language::kEnglish},
      {{{"LC_MESSAGES", "it_IT.UTF-8"}, {"LANG", "en_US.UTF-8"}}, Language::kItalian},
      {{{"LC_ALL", "C"}, {"LC_MESSAGES", "it_IT.UTF-8"}, {"LANG", "it_IT.UTF-8"}},
       Language::kEnglish},
      {{{"LC_ALL", "it_IT.UTF-8"}, {"LANG", "C"}}, Language::kItalian},
      {{{"LC_ALL", ""}, {"LANG", "it_IT.UTF-8"}}, Language::kItalian},
      {{{"LANGUAGE", "it"}, {"LANG", "en_US.UTF-8"}}, Language::kItalian},
      {{{"LANGUAGE", "fr:de:it_IT:en"}, {"LANG", "fr_FR.UTF-8"}}, Language::kItalian},
      {{{"LANGUAGE", "en:it"}, {"LANG", "it_IT.UTF-8"}}, Language::kEnglish},
      {{{"LANGUAGE", "fr:de"}, {"LANG", "it_IT.UTF-8"}}, Language::kItalian},
  };
  for (const auto& c : cases) {
    std::string named;
    for (const auto& [name, value] : c.environment) named += name + "=" + value + " ";
    SCOPED_TRACE(named);
    EXPECT_EQ(language_from_environment([&c](const char* name) -> const char* {
                const auto found = c.environment.find(name);
                return found == c.environment.end() ? nullptr : found->second.c_str();
              }),
              c.language);
  }
}

// A translation may reorder the values; one that drops a placeholder or names one with no value
// shows less, never more than it was given.
TEST(TranslationTest, PlaceholdersAreFilledInAnyOrderAndNeverPastTheValues) {
  const struct {
    const char* text;
    std::string filled;
  } cases[] = {
      {"{1} is not {2}", "a is not b"},
      {"{2}, then {1}", "b, then a"},
      {"only {2}", "only b"},
      {"{1}{3}{9}.", "a."},
      {"{path}:{line} {0} {10} {1", "{path}:{line} {0} {10} {1"},
      {"{", "{"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fill_placeholders(c.text, {"a", "b"}), c.filled) << c.text;
  }
}

// The catalogue built in: a message, a plural by the language's rule, and English (and a
// message the catalogue does not hold) as written.
TEST(TranslationTest, TheBuiltInCatalogueTranslatesMessagesAndTheirPluralForms) {
  const struct {
    Language language;
    uint64_t count;
    std::string plural;
  } cases[] = {
      {Language::kItalian, 0, "0 differenze"}, {Language::kItalian, 1, "1 differenza"},
      {Language::kItalian, 2, "2 differenze"}, {Language::kItalian, 1001, "1001 differenze"},
      {Language::kEnglish, 1, "1 difference"}, {Language::kEnglish, 2, "2 differences"},
  };
  for (const auto& c : cases) {
    InLanguage in(c.language);
    EXPECT_EQ(tr_n("{1} difference", "{1} differences", c.count, {std::to_string(c.count)}),
              c.plural);
  }
  InLanguage italian(Language::kItalian);
  EXPECT_STREQ(tr("no differences"), "nessuna differenza");
  EXPECT_EQ(tr("unknown command {1}", {"chek"}), "comando sconosciuto chek");
  EXPECT_STREQ(tr("a text the catalogue has not"), "a text the catalogue has not");
  EXPECT_EQ(tr_n("{1} thing", "{1} things", 3, {"3"}), "3 things");
}

// A few texts of the command line in Italian, chosen with --lang wherever it stands; the exit
// status and the help's command names stay; a run without --lang is English again. The shared
// code's texts too: a line source that is a FIFO is not read.
TEST(TranslationTest, TheCommandLineSpeaksItalianWithLang) {
  TempDir dir;
  const std::string fifo_source = dir.file("Viterbo_Attigliano_linea.txt");
  ASSERT_EQ(mkfifo(fifo_source.c_str(), 0600), 0);
  write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"), "[generale]\r\n[fine]\r\n");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;  // a part of standard output
    std::string err;  // all of standard error
  } cases[] = {
      {{"--lang=it", "chek"},
       1,
       "",
       "scenario-tool: comando sconosciuto chek; forse si intendeva 'check'?\n"
       "vedere: scenario-tool help\n"},
      {{"check", "--lang", "it", "--colour"},
       1,
       "",
       "scenario-tool: opzione sconosciuta --colour\nvedere: scenario-tool help check\n"},
      {{"view", ".", "-o", "x.html", "--from", "37,5", "--lang=it"},
       1,
       "",
       "scenario-tool: '37,5' non è una progressiva chilometrica (37, 37.25 o 37+250)\n"
       "vedere: scenario-tool help view\n"},
      {{"--lang=it", "extract", "x.exe"},
       1,
       "",
       "scenario-tool: extract richiede -o CARTELLA, la cartella in cui scrivere\n"
       "vedere: scenario-tool help extract\n"},
      {{"--lang=it", "extract", "-o", "x"},
       1,
       "",
       "scenario-tool: occorre indicare INSTALLATORE\nvedere: scenario-tool help extract\n"},
      {{"--lang=it", "check", ".", "--line"},
       1,
       "",
       "scenario-tool: --line richiede un valore\nvedere: scenario-tool help check\n"},
      {{"--lang=it", "check", dir.path()},
       4,
       "",
       "scenario-tool: impossibile leggere " + fifo_source + ": non è un file regolare\n"},
      {{"--lang=it", "help"},
       0,
       "\n  check    lo stesso, solo in memoria: nulla viene scritto",
       ""},
      {{"--lang=it", "help"},
       0,
       "\nuso: scenario-tool compile CARTELLA [--line NOME] [--train NUMERO]",
       ""},
      {{"help", "view", "--lang=it"}, 0, "\nStato di uscita: 0 pagina scritta;", ""},
      {{"--lang=en", "help"}, 0, "\ncommands:\n", ""},
      {{"--lang=de", "help"},
       1,
       "",
       "scenario-tool: --lang is it or en\nsee: scenario-tool help\n"},
      {{"--lang"}, 1, "", "scenario-tool: --lang is it or en\nsee: scenario-tool help\n"},
      {{"help"}, 0, "\nusage: scenario-tool compile DIR", ""},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const std::string& arg : c.args) line += arg + " ";
    SCOPED_TRACE(line);
    const ProcessResult r = run_tool(c.args);
    EXPECT_EQ(r.exit_status, c.status);
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    EXPECT_EQ(r.err, c.err);
  }
}

// The program takes its language from the environment, --lang before it; C is English.
TEST(TranslationTest, TheProgramTakesItsLanguageFromTheEnvironment) {
  const struct {
    std::vector<std::pair<std::string, std::string>> environment;
    std::vector<std::string> args;
    bool italian;
  } cases[] = {
      {{{"LANG", "it_IT.UTF-8"}}, {"nosuch"}, true},
      {{{"LC_ALL", "it_IT.UTF-8"}, {"LANG", "en_US.UTF-8"}}, {"nosuch"}, true},
      {{{"LC_ALL", "C"}, {"LANG", "it_IT.UTF-8"}}, {"nosuch"}, false},
      {{{"LANG", "C"}}, {"nosuch"}, false},
      {{{"LANG", "it_IT.UTF-8"}}, {"nosuch", "--lang=en"}, false},
      {{{"LANG", "C"}}, {"--lang=it", "nosuch"}, true},
  };
  for (const auto& c : cases) {
    ProcessOptions options;
    options.unset_environment = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    options.set_environment = c.environment;
    std::vector<std::string> argv = {SCENARIO_TOOL_PATH};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const ProcessResult r = run_process(argv, options);
    SCOPED_TRACE(c.environment.front().first + "=" + c.environment.front().second);
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, c.italian ? "scenario-tool: comando sconosciuto nosuch\n"
                                 "vedere: scenario-tool help\n"
                               : "scenario-tool: unknown command nosuch\n"
                                 "see: scenario-tool help\n");
  }
}

// What scripts read is the same in both languages: the JSON document of a refused command line
// differs in its message only.
TEST(TranslationTest, AJsonDocumentDiffersInItsMessageOnly) {
  const auto document = [](const char* language) {
    const ProcessResult r = run_tool({"check", ".", "--format=json", "--colour", language});
    EXPECT_EQ(r.exit_status, 1) << language;
    nlohmann::json json = nlohmann::json::parse(r.out);
    const std::string message = json["diagnostics"][0]["message"];
    json["diagnostics"][0]["message"] = "";
    return std::make_pair(json, message);
  };
  const auto [english, english_message] = document("--lang=en");
  const auto [italian, italian_message] = document("--lang=it");
  EXPECT_EQ(italian, english);
  EXPECT_EQ(english["diagnostics"][0]["code"], "usage");
  EXPECT_EQ(english_message, "unknown option --colour");
  EXPECT_EQ(italian_message, "opzione sconosciuta --colour");
}
