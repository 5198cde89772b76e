// 'scenario-tool format': the layout never changes what the sources compile to, a second run
// changes nothing, and the command rewrites the sources as check --fix does.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/maximal_scenario.h"
#include "common/file_io.h"
#include "compiler/binary_layout.h"
#include "compiler/scenario_compiler.h"
#include "test_support/temp_dir.h"
#include "tools/commands/init_command.h"
#include "tools/recover/decompile.h"
#include "tools/recover/source_layout.h"
#include "tools/testing/tool_fixture.h"

namespace {

const ScenarioIdentity kScenario{"Prova", "9"};

// What the compiler gives for two sources, as bytes: its files, its end and its error.
std::string compiled(const std::string& line, const std::string& train, bool plan) {
  CompileOptions options = in_memory_options(kScenario, line, train);
  options.build_plan = plan;
  Compilation out;
  const CompileResult result = memorizza_percorso(options, &out);
  return std::to_string(int(result.end)) + " " + std::to_string(result.integrity_error) + " " +
         std::to_string(out.log.error.code) + " " + std::to_string(out.log.error.position) + "\n" +
         encode_scenario_table(out.records.table) + encode_track_cells(out.records.cells) +
         encode_line_plan(out.records.plan);
}

struct Sources {
  std::string what, line, train;
};

// Every pair of sources the tests have: the fuzzers' corpus of sources (a line source and a
// train source split at the first NUL byte), the shipped sources, the starter and the longest
// route.
std::vector<Sources> every_source() {
  std::vector<Sources> all;
  for (const char* corpus : {"compiler", "check"}) {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(FUZZ_CORPUS_DIR) + "/" + corpus)) {
      const std::string bytes = read_file_bytes(entry.path().string());
      const size_t nul = bytes.find('\0');
      all.push_back({entry.path().string(), bytes.substr(0, nul),
                     nul == std::string::npos ? "" : bytes.substr(nul + 1)});
    }
  }
  TempDir shipped;
  EXPECT_EQ(run_tool({"extract", INSTALLER_PATH, "-o", shipped.path()}).exit_status, 0);
  all.push_back({"shipped", read_file_bytes(shipped.file("Viterbo_Attigliano_linea.txt")),
                 read_file_bytes(shipped.file("Viterbo_Attigliano_7545-.txt"))});
  const std::vector<ScenarioText> starter = starter_texts(kScenario);
  all.push_back({"starter", starter[0].bytes, starter[1].bytes});
  const ScenarioSources longest = maximal_scenario(1);
  all.push_back({"longest", longest.line_source, longest.train_source});
  return all;
}

}  // namespace

TEST(FormatTest, NeverChangesWhatIsCompiledAndASecondRunChangesNothing) {
  size_t changed = 0;
  for (const Sources& s : every_source()) {
    SCOPED_TRACE(s.what);
    const FormattedSources once = format_sources(kScenario, s.line, s.train);
    ASSERT_TRUE(once.same_compilation);
    changed += once.line.changed || once.train.changed;
    for (const bool plan : {true, false}) {
      EXPECT_EQ(compiled(s.line, s.train, plan), compiled(once.line.text, once.train.text, plan));
    }
    const FormattedSources twice = format_sources(kScenario, once.line.text, once.train.text);
    EXPECT_FALSE(twice.line.changed) << once.line.text;
    EXPECT_FALSE(twice.train.changed) << once.train.text;
    EXPECT_EQ(twice.line.stopped_line, once.line.stopped_line);
    EXPECT_EQ(twice.train.stopped_line, once.train.stopped_line);
  }
  // Most of them are laid out anew, not left as they were.
  EXPECT_GT(changed, 20u);
}

// What decompile writes is in the layout already: format leaves it as it is.
TEST(FormatTest, DecompiledSourcesAreLaidOutAlready) {
  for (const Sources& s : every_source()) {
    if (s.what != "shipped" && s.what != "longest") continue;
    SCOPED_TRACE(s.what);
    CompileOptions options = in_memory_options(kScenario, s.line, s.train);
    Compilation out;
    ASSERT_EQ(memorizza_percorso(options, &out).end, CompileEnd::kCompleted);
    CompiledBytes files;
    files.table = encode_scenario_table(out.records.table);
    files.cells = encode_track_cells(out.records.cells);
    files.plan = encode_line_plan(out.records.plan);
    files.has_plan = true;
    const Decompiled d = decompile_scenario(files, kScenario);
    ASSERT_TRUE(d.exact);
    const FormattedSources f = format_sources(kScenario, d.line_source, d.train_source);
    EXPECT_FALSE(f.line.changed) << d.line_source;
    EXPECT_FALSE(f.train.changed) << d.train_source;
  }
}

TEST(FormatTest, LaysOutRowsAsDecompileWritesThemAndLeavesTheRestAsItWas) {
  const std::string train = "[generale]\r\nvelocita, 0, 100\r\n[fine]\r\n";
  const struct {
    const char* what;
    std::string line, laid_out;
    size_t stopped_line;
  } cases[] = {
      {"ragged columns, one block between two headers",
       "[generale]\r\nlunghezza percorso,10000\r\nsfondo due,  1\r\n[pendenze]\r\n"
       "pendenza,0,0\r\npendenza,   500,   3\r\npendenza, 9000 , -5\r\n[fine]\r\n",
       "[generale]\r\nlunghezza percorso, 10000\r\nsfondo due,             1\r\n[pendenze]\r\n"
       "pendenza,    0,  0\r\npendenza,  500,  3\r\npendenza, 9000, -5\r\n[fine]\r\n",
       0},
      {"tabs around a keyword go, a tab in a text stays, as do Windows-1252 letters",
       "[generale]\r\nlunghezza percorso, 10000\r\n[x]\r\n\tpendenza\t, 100, 5\r\n"
       "cartello_indicatore, 2100,  CIVIT\xC0\tALTA \r\n[fine]\r\n",
       "[generale]\r\nlunghezza percorso, 10000\r\n[x]\r\n"
       "pendenza,             100, 5\r\ncartello_indicatore, 2100, CIVIT\xC0\tALTA\r\n[fine]\r\n",
       0},
      {"numbers apart by blanks, empty and quoted values, line ends of every kind",
       "[generale]\nlunghezza percorso, 10000\r[x]\r\n"
       "indicatori_vmax, 500 65 70,80,0,,, \"5\",1\n[fine]\r\n",
       "[generale]\nlunghezza percorso, 10000\r[x]\r\n"
       "indicatori_vmax, 500, 65, 70, 80, 0,  ,  , \"5\", 1\n[fine]\r\n",
       0},
      {"text that holds no row, a row spread over two lines and a curve's numbers apart by "
       "blanks (one field where the plan is not built) stay as they were",
       "[generale]\r\nlunghezza percorso, 10000\r\n[x]\r\n  a note,  of mine\r\n"
       "pendenza,\r\n  100, 5\r\nmontagna,1000,1600,2\r\ncurvad4,  500  300\r\n[fine]\r\n",
       "[generale]\r\nlunghezza percorso, 10000\r\n[x]\r\n  a note,  of mine\r\n"
       "pendenza,\r\n  100, 5\r\nmontagna, 1000, 1600, 2\r\ncurvad4,  500  300\r\n[fine]\r\n",
       0},
      {"an error midway: laid out up to its row, the rest as it was",
       "[generale]\r\nlunghezza percorso, 10000\r\n[x]\r\npendenza,0,0\r\n"
       "pendenza,   1x00, 5\r\npendenza,   2000,   3\r\n[fine]\r\n",
       "[generale]\r\nlunghezza percorso, 10000\r\n[x]\r\npendenza, 0, 0\r\n"
       "pendenza,   1x00, 5\r\npendenza,   2000,   3\r\n[fine]\r\n",
       5},
      {"an error the compiler meets at a row's store: laid out up to that row",
       "[generale]\r\nlunghezza percorso, 10000\r\n[x]\r\ncartello_indicatore,  2100, a\r\n"
       "cartello_indicatore,  2110, b\r\ncartello_indicatore,  5000, c\r\n[fine]\r\n",
       "[generale]\r\nlunghezza percorso, 10000\r\n[x]\r\ncartello_indicatore, 2100, a\r\n"
       "cartello_indicatore,  2110, b\r\ncartello_indicatore,  5000, c\r\n[fine]\r\n",
       5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const FormattedSources f = format_sources(kScenario, c.line, train);
    ASSERT_TRUE(f.same_compilation);
    EXPECT_EQ(f.line.text, c.laid_out);
    EXPECT_EQ(f.line.stopped_line, c.stopped_line) << f.line.stopped_why;
    EXPECT_FALSE(f.train.changed);
  }
  // The clock's numbers after blanks, as decompile writes them; a clock with an empty number
  // keeps its commas.
  const FormattedSources clock = format_sources(
      kScenario, cases[0].line,
      "[generale]\r\nsabbia,1\r\norologio, 13,10,  45\r\norologio, 13,,5\r\n[fine]\r\n");
  EXPECT_EQ(clock.train.text,
            "[generale]\r\nsabbia, 1\r\norologio,    13 10 45\r\norologio, 13,  , 5\r\n[fine]\r\n");
}

TEST(FormatTest, TheCommandRewritesTheSourcesKeepingTheirOldBytes) {
  TempDir dir;
  write_shipped_sources(dir);
  const std::string line_path = dir.file("Viterbo_Attigliano_linea.txt");
  const std::string train_path = dir.file("Viterbo_Attigliano_7545-.txt");
  const std::string line = read_file_bytes(line_path), train = read_file_bytes(train_path);

  const ProcessResult checked = run_tool({"format", dir.path(), "--check"});
  EXPECT_EQ(checked.exit_status, 1);
  EXPECT_EQ(checked.out, "would format " + line_path + "\nwould format " + train_path + "\n");
  EXPECT_EQ(read_file_bytes(line_path), line);

  const ProcessResult formatted = run_tool({"format", dir.path()});
  EXPECT_EQ(formatted.exit_status, 0) << formatted.err;
  EXPECT_EQ(formatted.out, "formatted " + line_path +
                               "; its old bytes are in Viterbo_Attigliano_linea.txt.orig\n"
                               "formatted " +
                               train_path +
                               "; its old bytes are in Viterbo_Attigliano_7545-.txt.orig\n");
  EXPECT_EQ(read_file_bytes(line_path + ".orig"), line);
  EXPECT_EQ(read_file_bytes(train_path + ".orig"), train);
  EXPECT_NE(read_file_bytes(line_path), line);
  EXPECT_NE(read_file_bytes(line_path).find("\r\ncurvad4,   500, 300\r\n"), std::string::npos);

  // A second run changes nothing and keeps no other backup.
  const std::vector<std::string> files = dir.list();
  const ProcessResult again = run_tool({"format", dir.path()});
  EXPECT_EQ(again.exit_status, 0);
  EXPECT_EQ(again.out, line_path + ": formatted already\n" + train_path + ": formatted already\n");
  EXPECT_EQ(dir.list(), files);
  EXPECT_EQ(run_tool({"format", dir.path(), "--check"}).exit_status, 0);

  // A source with an error is laid out up to it, and the command says where; a source that is
  // a symbolic link is left as it is.
  write_file_bytes(line_path,
                   "[generale]\r\nlunghezza percorso, 10000\r\n[x]\r\npendenza,0,0\r\n"
                   "pendenza, 1x00, 5\r\n[fine]\r\n");
  std::filesystem::remove(train_path);
  std::filesystem::create_symlink(train_path + ".orig", train_path);
  const ProcessResult stopped = run_tool({"format", dir.path()});
  EXPECT_EQ(stopped.exit_status, 4);
  EXPECT_NE(stopped.err.find(line_path +
                             ":5: formatted only up to this line: the reading stops at its row "
                             "(error 25: "),
            std::string::npos)
      << stopped.err;
  EXPECT_NE(stopped.err.find("not formatted " + train_path + ": it is a symbolic link to "),
            std::string::npos)
      << stopped.err;
  EXPECT_EQ(read_file_bytes(line_path),
            "[generale]\r\nlunghezza percorso, 10000\r\n[x]\r\npendenza, 0, 0\r\n"
            "pendenza, 1x00, 5\r\n[fine]\r\n");
  EXPECT_EQ(read_file_bytes(line_path + ".orig.2"),
            "[generale]\r\nlunghezza percorso, 10000\r\n[x]\r\npendenza,0,0\r\n"
            "pendenza, 1x00, 5\r\n[fine]\r\n");
  EXPECT_EQ(read_file_bytes(train_path + ".orig"), train);
}

// What format says, in Italian: each run in turn over the shipped sources.
TEST(FormatTest, SaysWhatItDidInItalian) {
  TempDir dir;
  write_shipped_sources(dir);
  const std::string line_path = dir.file("Viterbo_Attigliano_linea.txt");
  const std::string train_path = dir.file("Viterbo_Attigliano_7545-.txt");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
  } runs[] = {
      {{"format", dir.path(), "--check", "--lang=it"},
       1,
       "da formattare: " + line_path + "\nda formattare: " + train_path + "\n"},
      {{"format", dir.path(), "--lang=it"},
       0,
       "formattato " + line_path +
           "; i suoi byte precedenti sono in Viterbo_Attigliano_linea.txt.orig\nformattato " +
           train_path + "; i suoi byte precedenti sono in Viterbo_Attigliano_7545-.txt.orig\n"},
      {{"format", dir.path(), "--lang=it"},
       0,
       line_path + ": già formattato\n" + train_path + ": già formattato\n"},
  };
  for (const auto& run : runs) {
    const ProcessResult r = run_tool(run.args);
    EXPECT_EQ(r.exit_status, run.status) << r.err;
    EXPECT_EQ(r.out, run.out);
  }
  write_file_bytes(line_path,
                   "[generale]\r\nlunghezza percorso, 10000\r\n[x]\r\npendenza,0,0\r\n"
                   "pendenza, 1x00, 5\r\n[fine]\r\n");
  const ProcessResult stopped = run_tool({"format", dir.path(), "--lang=it"});
  EXPECT_NE(stopped.err.find(line_path +
                             ":5: formattato solo fino a questa riga: la lettura si ferma alla "
                             "sua riga (errore 25: "),
            std::string::npos)
      << stopped.err;
}
