#include "tools/analysis/source_lint.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/file_io.h"
#include "compiler/scenario_compiler.h"
#include "sources/line_source.h"
#include "sources/text_writer.h"
#include "sources/train_source.h"
#include "test_support/temp_dir.h"
#include "tools/analysis/diagnostics.h"
#include "tools/testing/tool_fixture.h"

TEST(SourceLintTest, TheShippedSourcesGiveNoWarning) {
  EXPECT_TRUE(lint_line_source(document_bytes(line_source_lines()), true).empty());
  EXPECT_TRUE(lint_train_source(document_bytes(train_source_lines())).empty());
}

TEST(SourceLintTest, EachWarningInTheToolsReport) {
  const std::string general = "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n";
  const std::string train_start = "[generale]\r\nvelocita, 0, 70\r\n";
  const struct {
    const char* what;
    std::string line;
    std::string train;
    std::string expected;  // a line of the report
  } cases[] = {
      {"a misspelt keyword", general + "pendenze, 500, 3\r\n[fine]\r\n", train_start + "[fine]\r\n",
       "DIR/Viterbo_Attigliano_linea.txt:4:1: warning: field 'pendenze' matches no keyword and is "
       "passed over; did you mean 'pendenza'?"},
      {"a misspelt general keyword",
       "[generale]\r\nlunghezza percorso, 50000\r\nsfondo un0, 1\r\n[x]\r\n[fine]\r\n",
       train_start + "[fine]\r\n",
       "DIR/Viterbo_Attigliano_linea.txt:3:1: warning: field 'sfondo un0' matches no keyword and "
       "is passed over; did you mean 'sfondo uno'?"},
      {"a quoted field over two lines, quoted on one", general + "\"zz\r\nzz\", 3\r\n[fine]\r\n",
       train_start + "[fine]\r\n",
       "DIR/Viterbo_Attigliano_linea.txt:4:1: warning: field 'zz\\r\\nzz' matches no keyword and "
       "is passed over"},
      {"a field far from any keyword", general + "zzz\r\n[fine]\r\n", train_start + "[fine]\r\n",
       "DIR/Viterbo_Attigliano_linea.txt:4:1: warning: field 'zzz' matches no keyword and is "
       "passed over"},
      {"gradients out of order", general + "pendenza, 500, 3\r\npendenza, 400, 0\r\n[fine]\r\n",
       train_start + "[fine]\r\n",
       "DIR/Viterbo_Attigliano_linea.txt:5:1: warning: gradient at 400 m is out of order: the one "
       "before is at 500 m"},
      {"overlapping curves", general + "curvad4, 500, 300\r\ncurvas4, 700, 100\r\n[fine]\r\n",
       train_start + "[fine]\r\n",
       "DIR/Viterbo_Attigliano_linea.txt:5:1: warning: curve from 700 m overlaps the previous one, "
       "which ends at 800 m"},
      {"overlapping tunnels",
       general + "montagna, 500, 900, 2\r\nmontagna, 800, 1000, 2\r\n[fine]\r\n",
       train_start + "[fine]\r\n",
       "DIR/Viterbo_Attigliano_linea.txt:5:1: warning: tunnel from 800 m overlaps the previous one, "
       "which ends at 900 m"},
      {"a misspelt train keyword", general + "[fine]\r\n", train_start + "sabia, 100\r\n[fine]\r\n",
       "DIR/Viterbo_Attigliano_7545-.txt:3:1: warning: field 'sabia' matches no keyword and is "
       "passed over; did you mean 'sabbia'?"},
      {"speed limits out of order", general + "[fine]\r\n",
       train_start + "velocita, 20000, 80\r\nvelocita, 10000, 60\r\n[fine]\r\n",
       "DIR/Viterbo_Attigliano_7545-.txt:4:1: warning: speed limit at 10000 m is out of order: the "
       "one before is at 20000 m"},
      {"a station without its name", general + "[fine]\r\n",
       train_start +
           "stazione, 1000, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 10,0,0\r\nvelocita, 2000, 80\r\n[fine]\r\n",
       "DIR/Viterbo_Attigliano_7545-.txt:3:1: warning: the 'stazione' row lacks its name, its "
       "last value: the next record's keyword 'velocita' is taken as the name, and that record is "
       "lost"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_file_bytes(dir.file("Viterbo_Attigliano_linea.txt"), c.line);
    write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"), c.train);
    const ProcessResult result = run_tool({"check", dir.path()});
    const std::string out = replace_all(result.err + result.out, dir.path(), "DIR");
    EXPECT_NE(out.find(c.expected + "\n"), std::string::npos) << out;
    EXPECT_EQ(result.exit_status, 0) << "warnings change nothing: " << out;
  }
}

TEST(SourceLintTest, WhatCompilesButIsRarelyMeant) {
  const std::string line_start = "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n";
  const std::string train_start = "[generale]\r\n";
  const std::string station = "stazione, 1000, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, ";
  const struct {
    bool line_source;
    std::string rows;  // after the start above: from line 4 of a line source, 2 of a train one
    const char* kind;  // nullptr: no warning at all
    int line, column;
    const char* message_piece;
  } cases[] = {
      {true, "pendenza, 500, 160\r\n", "gradient out of range", 4, 16, "compiled as -96 per mille"},
      {true, "indicatori_vmax, 500, 65, 70, 80, 4000, , , , 0\r\n", "stripes out of range", 4, 35,
       "make 40000 (first times 10 plus second), outside -32768 to 32767: it wraps and is "
       "compiled as -25536"},
      {true, "indicatori_vmax, 500, 65, 70, 80, 0, 72, , , 0\r\n", "speed not a multiple of 5", 4,
       38,
       "speed 72 km/h is not a multiple of 5: speeds are stored in fifths, and it is compiled "
       "as 70 km/h"},
      {true, "montagna, 1000, 2000, 300\r\n", "tunnel kind out of range", 4, 23, "compiled as 34"},
      {true, "pendenza, 500, 3,5\r\n", "decimal comma", 4, 16,
       "'3,5' is read as 3 followed by a stray field '5', which is passed over"},
      {true, "pendenza, 500, 3, 5\r\n", nullptr, 0, 0, ""},
      {true, "pendenza, 500,3,5\r\n", nullptr, 0, 0, ""},
      {true, "pendenza, 500, 2.5\r\n", "fraction rounded away", 4, 16, "is read as 2 "},
      {true, "pendenza, 500, 3.00\r\n", nullptr, 0, 0, ""},
      {true, "montagna, 1000, 900, 2\r\n", "tunnel ending before it starts", 4, 1,
       "ends at 900 m, before it starts: it is counted but marks no cell"},
      {true, "curva destra 4, 500, 300\r\n", "curve side from a word", 4, 1,
       "'curva destra 4' holds an 's' (in 'destra'), so the curve turns left"},
      {true, "Curva sinistra 4, 500, 300\r\n", nullptr, 0, 0, ""},
      {true, "pendenza,\t500, 3\r\n", "tab in a field", 4, 10, "so the field is not a number"},
      {true, "cartello_indicatore, 2100, Citt\xc3\xa0\r\n", "UTF-8 text", 4, 28,
       "'Citt\xc3\xa0' is UTF-8: the simulator reads Windows-1252"},
      {true, "cartello_indicatore, 2100,\r\n", "signboard without its text", 4, 27,
       "text '' is empty"},
      {true, "cartello_indicatore, 2100\r\npendenza, 500, 3\r\n", "signboard without its text", 5,
       1, "text 'pendenza' is the next row's keyword"},
      {true, "# curve del tratto\r\n", "comment", 4, 1, "the source format has no comments"},
      {true, "; pendenza 500\r\n", "comment", 4, 1, "read as a row, numbers and all"},
      {false, station + "13,0,0, Grotte, S. Stefano\r\n", "station name with a comma", 2, 66,
       "name 'Grotte' seems to go on in 'S. Stefano'"},
      {false, station + "13,0,0, Orte\r\nvelocita, 0, 70\r\n", nullptr, 0, 0, ""},
      {false, "velocita, 0, 72\r\n", "speed not a multiple of 5", 2, 14, "compiled as 70 km/h"},
      {false, "abbattimento, 1000, 40000\r\n", "restriction value out of range", 2, 21,
       "compiled as -25536"},
      {false, "aderenza, 0, 300\r\n", "adhesion out of range", 2, 14, "compiled as 44"},
      {false, "orologio, 13 75 0\r\n", "minutes or seconds of 60 or more", 2, 14,
       "13:75:00 has minutes or seconds of 60 or more: they are stored as they are, not carried "
       "into the hours; did you mean 14:15:00?"},
      {false, station + "10,0,75, ROMA\r\n", "minutes or seconds of 60 or more", 2, 55,
       "compiled as 10:01:15"},
      {false, station + "10,0,0, 0, ROMA\r\n", "station without a name", 2, 58,
       "name '0' is a number"},
      {false, "\tsabbia, 3\r\n", "tab in a field", 2, 1, "a keyword still matches"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    const std::string text = (c.line_source ? line_start : train_start) + c.rows + "[fine]\r\n";
    const std::vector<SourceWarning> warnings =
        c.line_source ? lint_line_source(text, true) : lint_train_source(text);
    if (c.kind == nullptr) {
      EXPECT_TRUE(warnings.empty()) << warnings[0].message;
      continue;
    }
    // The one warning of the kind (a row cut wrong may bring others).
    const auto warning = std::find_if(warnings.begin(), warnings.end(),
                                      [&](const SourceWarning& w) { return w.kind == c.kind; });
    ASSERT_NE(warning, warnings.end()) << (warnings.empty() ? "none" : warnings[0].kind);
    EXPECT_EQ(std::count_if(warnings.begin(), warnings.end(),
                            [&](const SourceWarning& w) { return w.kind == c.kind; }),
              1);
    EXPECT_NE(warning->message.find(c.message_piece), std::string::npos) << warning->message;
    const LineAndColumn at = ShownSource("", text).locate(warning->offset);
    EXPECT_EQ(at.line, c.line);
    EXPECT_EQ(at.column, c.column);
  }
}

TEST(SourceLintTest, EditDistance) {
  EXPECT_EQ(edit_distance("pendenze", "pendenza"), 1u);
  EXPECT_EQ(edit_distance("PENDENZA", "pendenza"), 0u);
  EXPECT_EQ(edit_distance("", "abc"), 3u);
  EXPECT_EQ(edit_distance("sabia", "sabbia"), 1u);
}

TEST(SourceLintTest, WarningsOfAKindBeyondTheLimitAreCounted) {
  // 30 misspelt keywords and 29 gradients out of order, mixed, then an error.
  std::string line = "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n";
  for (int i = 0; i < 30; ++i) {
    line += "pendenze, 500, 3\r\npendenza, " + std::to_string(10000 - i * 100) + ", 0\r\n";
  }
  line += "montagna, 100, x, 2\r\n[fine]\r\n";
  const struct {
    std::vector<std::string> options;
    size_t misspelt_shown, disorder_shown;
    const char* summary;  // of the misspelt ones, or none
  } cases[] = {
      {{}, 20, 20, "10 more warnings of the kind 'field matching no keyword' not shown"},
      {{"--max-warnings", "3"}, 3, 3, "27 more warnings of the kind 'field matching no keyword'"},
      {{"--max-warnings", "29"}, 29, 29, "1 more warnings of the kind 'field matching no keyword'"},
      {{"--max-warnings", "30"}, 30, 29, nullptr},
      {{"--max-warnings", "0"}, 30, 29, nullptr},
  };
  const auto count = [](const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options.empty() ? "default" : c.options[1]);
    TempDir dir;
    write_file_bytes(dir.file("Viterbo_Attigliano_linea.txt"), line);
    write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"), "[generale]\r\n[fine]\r\n");
    std::vector<std::string> args = {"check", dir.path()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProcessResult result = run_tool(args);
    EXPECT_EQ(count(result.err, "warning: field 'pendenze'"), c.misspelt_shown) << result.err;
    EXPECT_EQ(count(result.err, "m is out of order"), c.disorder_shown);
    EXPECT_EQ(count(result.err, "more warnings of the kind"),
              size_t(c.summary != nullptr) + (c.disorder_shown < 29 ? 1 : 0));
    if (c.summary != nullptr) {
      EXPECT_NE(
          result.err.find(dir.path() + "/Viterbo_Attigliano_linea.txt: warning: " + c.summary),
          std::string::npos)
          << result.err;
    }
    // Errors are never left out.
    EXPECT_EQ(count(result.err, ": error 25: "), 1u);
    EXPECT_EQ(result.exit_status, 2);
  }
}

TEST(SourceLintTest, AQuotedFieldIsCutShort) {
  const std::string field = "pendenze" + std::string(5000, 'x');
  TempDir dir;
  write_file_bytes(
      dir.file("Viterbo_Attigliano_linea.txt"),
      "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n" + field + "\r\n[fine]\r\n");
  write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"), "[generale]\r\n[fine]\r\n");
  const ProcessResult result = run_tool({"check", dir.path()});
  const std::string out = result.err + result.out;
  EXPECT_NE(out.find("warning: field '" + field.substr(0, 40) + "..." + std::string(10, 'x') +
                     "' matches no keyword and is passed over\n"),
            std::string::npos)
      << out;
}

TEST(SourceLintTest, ReadsTheRowsTheCompilerReads) {
  const std::string general = "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n";
  const std::string train = "[generale]\r\nvelocita, 0, 70\r\n";
  const struct {
    const char* what;
    bool plan;
    std::string line_rows;
    std::string train_rows;
    int32_t error_code;  // the compiler's
    std::vector<std::string> kinds;
  } cases[] = {
      // Without the plan a curve's numbers are passed over: the misspelt keyword after a curve
      // one number short is a field of its own; with the plan it is the curve's length.
      {"a curve one number short, no plan",
       false,
       "curvad4, 500\r\npendenze, 500, 3\r\n",
       "",
       0,
       {"field matching no keyword"}},
      {"a curve one number short, plan", true, "curvad4, 500\r\npendenze, 500, 3\r\n", "", 25, {}},
      {"curves out of order, no plan",
       false,
       "curvad4, 500, 300\r\ncurvas2, 100, 50\r\n",
       "",
       0,
       {}},
      {"curves out of order, plan",
       true,
       "curvad4, 500, 300\r\ncurvas2, 100, 50\r\n",
       "",
       0,
       {"curve out of order", "curve overlapping the previous one"}},
      // One field, three rows: without the plan the tunnel takes what the curve would have.
      {"a tunnel after a curve in one field, no plan",
       false,
       "pendenza curvad4 montagna, 100, 2, 300, 50, 7, 8, 9\r\n",
       "",
       0,
       {"tunnel ending before it starts"}},
      {"a tunnel after a curve in one field, plan",
       true,
       "pendenza curvad4 montagna, 100, 2, 300, 50, 7, 8, 9\r\n",
       "",
       0,
       {}},
      {"a signal one value short",
       true,
       "",
       "segnale, 10000, 2,4,1,0,0,0,0,0,0\r\naderenzza, 0, 1\r\n",
       25,
       {}},
      {"a signal whole",
       true,
       "",
       "segnale, 10000, 2,4,1,0,0,0,0,0,0,0\r\naderenzza, 0, 1\r\n",
       0,
       {"field matching no keyword"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string line = general + c.line_rows + "[fine]\r\n";
    const std::string train_text = train + c.train_rows + "[fine]\r\n";
    CompileOptions options = in_memory_options({"Viterbo_Attigliano", "7545"}, line, train_text);
    options.build_plan = c.plan;
    Compilation compiled;
    memorizza_percorso(options, &compiled);
    EXPECT_EQ(compiled.log.error.code, c.error_code);
    std::vector<std::string> kinds;
    for (const SourceWarning& w : lint_line_source(line, c.plan)) kinds.push_back(w.kind);
    for (const SourceWarning& w : lint_train_source(train_text)) kinds.push_back(w.kind);
    EXPECT_EQ(kinds, c.kinds);
  }
}
