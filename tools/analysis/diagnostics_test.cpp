// What scenario-tool says about broken sources: one case per error code an author can cause,
// and per authoring mistake it warns of or repairs, each with the exact first line expected,
// file, line and column included, the repair offered and the exit status.
#include "tools/analysis/diagnostics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "test_support/temp_dir.h"
#include "tools/render/diagnostic_output.h"
#include "tools/testing/tool_fixture.h"

namespace {

const std::string kLine = "DIR/Viterbo_Attigliano_linea.txt";
const std::string kTrain = "DIR/Viterbo_Attigliano_7545-.txt";

std::string line_source(const std::string& features,
                        const std::string& general = "lunghezza percorso, 50000\r\n") {
  return "[generale]\r\n" + general + "[curve]\r\n" + features + "[fine]\r\n";
}

std::string train_source(const std::string& records) {
  return "[generale]\r\nvelocita, 0, 70\r\n" + records + "[fine]\r\n";
}

// The tool's output for the two sources (either may be absent), with the directory as "DIR",
// and its exit status.
std::string report(const std::string* line, const std::string& train, int* status = nullptr) {
  TempDir dir;
  if (line != nullptr) write_file_bytes(dir.file("Viterbo_Attigliano_linea.txt"), *line);
  write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"), train);
  // The diagnostics (standard error) before the results (standard output), as a terminal shows
  // them.
  const ProcessResult result = run_tool({"check", dir.path()});
  if (status != nullptr) *status = result.exit_status;
  return replace_all(result.err + result.out, dir.path(), "DIR");
}

// The first repair a report offers ("insert ',' after 'pendenza'"); empty when none.
std::string first_help(const std::string& out) {
  const size_t at = out.find("    help: ");
  return at == std::string::npos ? "" : out.substr(at + 10, out.find('\n', at) - at - 10);
}

}  // namespace

TEST(DiagnosticsTest, EachErrorAnAuthorCanCause) {
  const std::string signal = "segnale, 10000, 2, 4, 1, 0, 0, 0, 0, 0, 0, 0\r\n";
  const std::string station = "stazione, 1000, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 10,0,0, A\r\n";
  const struct {
    const char* what;
    std::string line;
    std::string train;
    std::string first;     // the first line of the report
    std::string fix = "";  // the repair it offers, if any
    int status = 2;        // the exit status
  } cases[] = {
      {"no [generale]", "[fine]\r\nx\r\n", train_source(""),
       kLine + ": error 102: the line source has no [generale] section"},
      {"route too long", line_source("", "lunghezza percorso, 1000001\r\n"), train_source(""),
       kLine + ":2:1: error 1: route length above 1,000,000 m"},
      {"repetition off the grid",
       line_source("", "lunghezza percorso, 50000\r\nripetizione segnali 4, 120, 0\r\n"),
       train_source(""),
       kLine + ":3:1: error 3: first signal repetition distance is not a multiple of 50 m"},
      {"second repetition off the grid",
       line_source("", "lunghezza percorso, 50000\r\nripetizione segnali 4, 100, 30\r\n"),
       train_source(""),
       kLine + ":3:1: error 4: second signal repetition distance is not a multiple of 50 m"},
      {"repetition count missing",
       line_source("", "lunghezza percorso, 50000\r\n  ripetizione segnali, 100, 0\r\n"),
       train_source(""),
       kLine + ":3:3: error 5: signal repetition keyword names neither 4 nor 9 codes"},
      {"no route length", line_source("", "sfondo uno, 0\r\n"), train_source(""),
       kLine + ":3:1: error 104: the general section of the line source gives no route length"},
      {"curve without digit", line_source("pendenza, 0, 0\r\ncurva, 500, 300\r\n"),
       train_source(""),
       kLine + ":5:1: error 103: 'curva' has no curvature digit (1 to 6: 1 the widest curve, 6 "
               "the sharpest)"},
      {"two signboards in one cell",
       line_source("cartello_indicatore, 2100, (a)\r\ncartello_indicatore, 2110, (b)\r\n"),
       train_source(""),
       kLine + ":5:1: error 6: two objects in the same 50 m cell: signboard at 2110 m meets "
               "signboard (cell 43); move one of them by 50 m or more, at 2110 m"},
      {"indicator on a signboard",
       line_source("cartello_indicatore, 500, (a)\r\nindicatori_vmax, 500, 65,70,80,0,,,,0\r\n"),
       train_source(""),
       kLine + ":5:1: error 21: two objects in the same 50 m cell: speed indicator at 500 m meets "
               "signboard (cell 11); move one of them by 50 m or more, at 500 m"},
      {"a feature past the cells", line_source("pendenza, 56950, 3\r\n"), train_source(""),
       kLine +
           ":4:1: error 15: position 56950 m lies beyond the track cells: on a route of 50000 m "
           "the last position a feature may take is 56900 m (a station's, 56200 m), at 56950 m"},
      {"a curve whose end runs past the plan", line_source("curvas3, 56000, 4000\r\n"),
       train_source(""),
       kLine + ":4:1: error 15: the curve starting at 56000 m runs past the line plan's last "
               "metre, 57000 m (the plan covers the track cells, 0 to 57000 m, for a route of "
               "50000 m), at 56000 m"},
      {"a tunnel whose end lies past the cells", line_source("montagna, 56000, 60000, 2\r\n"),
       train_source(""),
       kLine + ":4:1: error 15: the tunnel starting at 56000 m ends at 60000 m, beyond the track "
               "cells, which cover 0 to 57000 m for a route of 50000 m, at 56000 m"},
      {"a number that is not one", line_source("montagna,   100,  x, 2\r\n"), train_source(""),
       kLine + ":4:19: error 25: the reading stopped: tunnel end: \"x\" is not a number"},
      {"a quoted number over two lines", line_source("montagna, 100, \"x\r\ny\", 2\r\n"),
       train_source(""),
       kLine + ":4:16: error 25: the reading stopped: tunnel end: \"x\\r\\ny\" is not a number"},
      {"chainage off the grid",
       line_source("",
                   "lunghezza percorso, 50000\r\nprogressiva chilometrica uno, 0, 39025, 0\r\n"),
       train_source(""),
       kLine + ":3:1: error 2: chainage reference at 0 m with the value 39025 m: its position and "
               "its value (100 m added when its flag is 1) must be multiples of 50 m"},
      {"signal on warning boards", line_source(""),
       train_source("rallentamento, 11250, 50, 700, 1, 1, 0\r\n" + signal),
       kTrain + ":4:1: error 16: two objects in the same 50 m cell: signal at 10000 m meets "
                "slowdown warning boards (cell 201); move one of them by 50 m or more, at 10000 m"},
      {"warning boards on a signal", line_source(""),
       train_source(signal + "rallentamento, 11250, 50, 700, 1, 1, 0\r\n"),
       kTrain + ":4:1: error 20: two objects in the same 50 m cell: a warning board of the "
                "slowdown at 11250 m meets signal (cell 201); move one of them by 50 m or more, "
                "at 11250 m"},
      {"a slowdown start on a signal", line_source(""),
       train_source("segnale, 11250, 2, 4, 1, 0, 0, 0, 0, 0, 0, 0\r\n"
                    "rallentamento, 11250, 50, 700, 1, 0, 0\r\n"),
       kTrain + ":4:1: error 18: two objects in the same 50 m cell: the start of the slowdown at "
                "11250 m meets signal (cell 226); move one of them by 50 m or more, at 11250 m"},
      {"abbattimento on a signal", line_source(""),
       train_source(signal + "abbattimento, 10050, 5\r\n"),
       kTrain + ":4:1: error 7: two objects in the same 50 m cell: 'abbattimento' point at 10050 m "
                "meets signal (cell 201); move one of them by 50 m or more, at 10050 m"},
      {"station off the grid", line_source(""),
       train_source(replace_all(station, "1000,", "1025,")),
       kTrain + ":3:11: error 8: a station position is not a multiple of 50 m, at 1025 m"},
      {"station length off the grid", line_source(""),
       train_source(replace_all(station, "400,", "450,")),
       kTrain + ":3:21: error 9: a station length is not a multiple of 100 m, at 1000 m"},
      {"stations too close", line_source(""),
       train_source(station + replace_all(station, "1000,", "1700,")),
       kTrain + ":4:1: error 22: a station starts less than 350 m after the end of the previous "
                "one, at 1700 m"},
      {"a station ending too early", line_source(""),
       train_source(replace_all(replace_all(station, "1000,", "0,"), "400,", "0,")),
       kTrain + ":3:1: error 24: a station ends at 100 m or earlier"},
      {"a station lacking a number", line_source(""),
       train_source("stazione, 1000, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 10,0, Alfa\r\n"),
       kTrain + ":3:56: error 25: the reading stopped: station seconds: \"Alfa\" is not a number"},
      {"a speed past the cells", line_source(""), train_source("velocita, 57000, 10\r\n"),
       kTrain +
           ":3:1: error 15: position 57000 m lies beyond the track cells: on a route of 50000 m "
           "the last position a feature may take is 56900 m (a station's, 56200 m), at 57000 m"},
      // The mistakes of writing: each at the row or field the author must mend.
      {"a comma missing after a keyword", line_source("pendenza 100, 5\r\npendenza, 200, 3\r\n"),
       train_source(""),
       kLine + ":4:1: error 25: a comma is missing after 'pendenza': its field holds the row's "
               "gradient position too, so the row's values were read one field on",
       "insert ',' after 'pendenza'"},
      {"a row one field short", line_source("pendenza, 100\r\npendenza, 200, 3\r\n"),
       train_source(""),
       kLine + ":4:1: error 25: the 'pendenza' row has a field too few: it takes 2 values "
               "(position, gradient), and the next row's keyword 'pendenza' stands where its "
               "gradient should be"},
      {"a blank before the comma of a row one field short",
       line_source("pendenza , 100\r\npendenza, 200, 3\r\n"), train_source(""),
       kLine + ":4:1: error 25: the 'pendenza ' row has a field too few: it takes 2 values "
               "(position, gradient), and the next row's keyword 'pendenza' stands where its "
               "gradient should be"},
      {"a decimal comma", line_source("pendenza, 100, 3,5\r\n"), train_source(""),
       kLine + ":4:16: warning: '3,5' is read as 3 followed by a stray field '5', which is passed "
               "over: a comma separates fields; for a fraction write '3.5' (read as 4)",
       "replace '3,5' with '3.5'", 0},
      {"a tab before a keyword", line_source("\tpendenza, 100, 3\r\n"), train_source(""),
       kLine + ":4:1: warning: a tab in the field '\\tpendenza': only blanks are skipped before a "
               "field, so the tab is kept as part of it (a keyword still matches; a number would "
               "not be one, a text shows it); use blanks",
       "replace the tab with a blank", 0},
      {"tabs in a number", line_source("pendenza,\t\t100, 3\r\n"), train_source(""),
       kLine + ":4:10: warning: a tab in the number field '\\t\\t100': only blanks are skipped "
               "around a number, so the field is not a number; use blanks",
       "replace the 2 tabs with blanks"},
      {"a station's name in UTF-8", line_source(""),
       train_source(replace_all(station, ", A\r\n", ", Citt\xc3\xa0\r\n")),
       kTrain + ":3:58: warning: the station's name 'Citt\xc3\x83\xc2\xa0' is UTF-8: the simulator "
                "reads Windows-1252 and shows it as written here; saved in Windows-1252 it would "
                "read 'Citt\xc3\xa0'",
       "write 'Citt\xc3\xa0' in Windows-1252", 0},
      {"a comma in a station's name", line_source(""),
       train_source(replace_all(station, ", A\r\n", ", Orte, Scalo\r\n")),
       kTrain + ":3:64: warning: the station's name 'Orte' seems to go on in 'Scalo': a name "
                "ends at a comma, so the rest is a field of its own, passed over; write the name "
                "without a comma",
       "take the comma out of the name: 'Orte Scalo'", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    int status = -1;
    const std::string out = report(&c.line, c.train, &status);
    EXPECT_EQ(out.substr(0, out.find('\n')), c.first) << out;
    EXPECT_EQ(first_help(out), c.fix) << out;
    EXPECT_EQ(status, c.status) << out;
  }
}

TEST(DiagnosticsTest, TheSourceLineAndACaretUnderTheField) {
  const std::string line = line_source("montagna,   100,  x, 2\r\n");
  const std::string out = report(&line, train_source(""));
  EXPECT_NE(out.find("\n    montagna,   100,  x, 2\n                      ^\n"), std::string::npos)
      << out;
}

// A source line may hold any byte: a NUL must not end the report, nor an escape sequence reach
// the terminal. Each control character is shown as its picture, one column wide.
TEST(DiagnosticsTest, ControlCharactersOfASourceLineAreShownNotSent) {
  const std::string line = line_source(std::string("pendenze\0\x1b[31m\x7f, 500, 3\r\n", 25));
  const std::string out = report(&line, train_source(""));
  EXPECT_NE(out.find("\n    pendenze\u2400\u241b[31m\u2421, 500, 3\n    ^\n"), std::string::npos)
      << out;
  EXPECT_EQ(out.find('\x1b'), std::string::npos);
  EXPECT_NE(out.find("0 errors, 1 warning\n"), std::string::npos) << out;
}

TEST(DiagnosticsTest, NoLineSource) {
  const std::string out = report(nullptr, train_source(""));
  EXPECT_EQ(out.substr(0, out.find('\n')), kLine + ": error 101: no line source file");
}

TEST(DiagnosticsTest, LineAndColumnCountEveryKindOfLineEnd) {
  const struct {
    std::string text;
    size_t offset;
    int line, column;
  } cases[] = {
      {"abc", 0, 1, 1},          {"abc", 2, 1, 3},        {"a\r\nbc", 4, 2, 2},
      {"a\nb\rc\r\nd", 7, 4, 1}, {"a\r\n\r\nb", 5, 3, 1},
  };
  for (const auto& c : cases) {
    const LineAndColumn at = ShownSource("", c.text).locate(c.offset);
    EXPECT_EQ(at.line, c.line) << c.offset;
    EXPECT_EQ(at.column, c.column) << c.offset;
  }
}

TEST(DiagnosticsTest, ALongLineIsShownAroundTheColumn) {
  std::string digits;
  for (int i = 0; i < 50; ++i) digits += "0123456789";  // a line of 500 characters
  const std::string text = "x\r\n" + digits + "\r\ny";
  const size_t line = 3;  // where the long line starts
  const struct {
    const char* what;
    size_t offset;
    bool cut_before, cut_after;
  } cases[] = {
      {"near its start", line + 5, false, true}, {"in its middle", line + 250, true, true},
      {"near its end", line + 470, true, false}, {"on its line end", line + 500, true, false},
      {"a short line", 0, false, false},         {"the end of the text", text.size(), false, false},
  };
  const ShownSource source("path", text);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Excerpt shown = source.excerpt(c.offset);
    EXPECT_LE(shown.text.size(), 2 * kExcerptReach + 6);
    EXPECT_EQ(shown.text.compare(0, 3, "...") == 0, c.cut_before) << shown.text;
    EXPECT_EQ(shown.text.size() > 3 && shown.text.compare(shown.text.size() - 3, 3, "...") == 0,
              c.cut_after)
        << shown.text;
    ASSERT_LE(shown.caret, shown.text.size());
    // The caret stands under the very byte at the offset, or just past the line.
    if (c.offset < text.size() && text[c.offset] != '\r') {
      EXPECT_EQ(shown.text[shown.caret], text[c.offset]);
      const size_t shown_after = shown.text.size() - (c.cut_after ? 3 : 0) - shown.caret;
      EXPECT_EQ(shown.text.compare(shown.caret, shown_after, text, c.offset, shown_after), 0)
          << shown.text;
    } else {
      EXPECT_EQ(shown.caret, shown.text.size() - (c.cut_after ? 3 : 0));
    }
  }
}

TEST(DiagnosticsTest, TheCaretOfALongLineStandsUnderTheField) {
  // A misspelt keyword 3,000 characters into one line of gradients.
  std::string row;
  for (int i = 0; i < 200; ++i) row += "pendenza, " + std::to_string(i * 100) + ", 0, ";
  const size_t at = row.find("pendenza", 3000);
  row.insert(at, "pendXnza, ");
  const std::string line = line_source(row + "\r\n");
  const std::string out = report(&line, train_source(""));
  const size_t excerpt = out.find("\n    ...");
  ASSERT_NE(excerpt, std::string::npos) << out;
  const size_t caret_line = out.find('\n', excerpt + 1) + 1;
  const size_t caret = out.find('^', caret_line);
  ASSERT_NE(caret, std::string::npos);
  const size_t column = caret - caret_line;
  EXPECT_EQ(out.compare(excerpt + 1 + column, 8, "pendXnza"), 0) << out;
  EXPECT_NE(out.find(":4:" + std::to_string(at + 1) + ": warning: field 'pendXnza'"),
            std::string::npos)
      << out;
}

TEST(DiagnosticsTest, RootCausesAndEveryProblemInOneRun) {
  const std::string signal = "segnale, 10000, 2, 4, 1, 0, 0, 0, 0, 0, 0, 0\r\n";
  const struct {
    const char* what;
    std::string line;
    std::string train;
    std::vector<std::string> lines;  // pieces of the report, in order
  } cases[] = {
      {"two mistakes: both, the second past the first error",
       line_source("cartello_indicatore, 2100, (a)\r\ncartello_indicatore, 2110, (b)\r\n"
                   "cartello_indicatore, 3000, (c)\r\ncartello_indicatore, 3010, (d)\r\n"),
       train_source(""),
       {kLine + ":5:1: error 6:", kLine + ":7:1: error 6:", "note: past the first error",
        "2 errors, 0 warnings", "error_code=6 error_position=2110"}},
      {"a train problem that is only the line source's 15 showing through",
       line_source("pendenza, 56950, 1\r\n"),
       train_source(signal),
       {kLine + ":4:1: error 15:", kTrain + ":3:1: error 15: the reading of the train source "
                                            "stops here only because the line source ended"}},
      {"a missing comma after the keyword: the error at the keyword, the stop in a note",
       line_source("pendenza  500,   3\r\n"),
       train_source(""),
       {kLine + ":4:1: error 25: a comma is missing after 'pendenza'",
        "note: 'pendenza' takes 2 values (position, gradient)",
        "note: the reading stopped at line 5, column 1: gradient: \"[fine]\" is not a number",
        "help: insert ',' after 'pendenza'\n    pendenza,  500,   3\n",
        "error code 25 (row at 500 m): a comma is missing after 'pendenza'"}},
      {"a missing comma after a keyword of blanks in the general section",
       line_source("", "lunghezza percorso   20000\r\n"),
       train_source(""),
       {kLine + ":2:1: error 25: a comma is missing after 'lunghezza percorso'",
        "help: insert ',' after 'lunghezza percorso'\n    lunghezza percorso,   20000\n"}},
      {"the same in the train source's general section",
       line_source(""),
       "[generale]\r\nnumero vetture 3\r\nvelocita, 0, 70\r\n[fine]\r\n",
       {kTrain + ":2:1: error 25: a comma is missing after 'numero vetture'",
        "help: insert ',' after 'numero vetture'\n    numero vetture, 3\n"}},
      {"a row with a field too few: the error at its keyword, naming what is missing",
       line_source(""),
       train_source("stazione, 1000, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 10\r\nvelocita, 0, 70\r\n"),
       {kTrain + ":3:1: error 25: the 'stazione' row has 3 fields too few: it takes 17 values",
        "where its station minutes should be",
        "note: missing: the station minutes, the station seconds and the station name",
        "note: the reading stopped at line 4, column 1: station minutes: \"velocita\" is not a "
        "number"}},
      {"a problem without a position names its row's",
       line_source(""),
       train_source("stazione, 0, 12, 100, 0,0,0, 0,0,0, 0,0,0, 0, 10,0,0, A\r\n"),
       {kTrain + ":3:1: error 24:", "note: the row stands at 0 m"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string out = report(&c.line, c.train);
    size_t at = 0;
    for (const std::string& piece : c.lines) {
      at = out.find(piece, at);
      ASSERT_NE(at, std::string::npos) << piece << "\n" << out;
    }
  }
}

TEST(DiagnosticsTest, FixAppliesOnlyRepairsThatCheck) {
  const std::string station = "stazione, 1000, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 10,0,0, ";
  const std::string far = replace_all(replace_all(station, "1000,", "3000,"), "10,0,0", "10,5,0");
  // A comma missing, a decimal comma and a tab in the line source (the decimal comma hidden
  // behind the first, whose reading stops; the tab named past it); UTF-8 text after a tab (two
  // repairs of one field: the second waits for the first) and a comma in a name in the train
  // source.
  const std::string mixed_line = line_source(
      "pendenza 100, 5\r\npendenza, 200, 12,0\r\n\tcartello_indicatore, 2100, (Cippo)\r\n");
  const std::string mixed_train =
      train_source(station + "\tCitt\xc3\xa0\r\n" + far + "Orte, Scalo\r\n");
  const std::string line_name = "Viterbo_Attigliano_linea.txt";
  const std::string train_name = "Viterbo_Attigliano_7545-.txt";
  // 45 rows with a comma missing after the keyword: more than a report shows of one kind and
  // more than the rows one check looks past its first error for.
  std::string commas;
  for (int i = 1; i <= 45; ++i) commas += "pendenza " + std::to_string(100 * i) + ", 3\r\n";
  TempDir elsewhere;  // where a linked source lies
  enum Setting { kAsItIs, kReadOnly, kEarlierOriginal, kLinked };
  const struct {
    const char* what;
    std::string line, train;
    Setting setting;
    std::vector<std::string> out;  // pieces of standard output, in order
    int status;
    bool changed;  // whether the sources were repaired
  } cases[] = {
      {"mixed mistakes, some found only once others are mended",
       mixed_line,
       mixed_train,
       kAsItIs,
       {"fixed DIR/" + line_name + ":4: insert ',' after 'pendenza'",
        "fixed DIR/" + line_name + ":6: replace the tab with a blank",
        "put off DIR/" + train_name + ":3: write '\\tCitt\xc3\xa0' in Windows-1252 (it overlaps",
        "fixed DIR/" + train_name + ":3: replace the tab with a blank",
        "fixed DIR/" + train_name + ":4: take the comma out of the name: 'Orte Scalo'",
        "fixed DIR/" + line_name + ":5: replace '12,0' with '12.0'",
        "fixed DIR/" + train_name + ":3: write 'Citt\xc3\xa0' in Windows-1252",
        "wrote DIR/" + line_name + "; its old bytes are in " + line_name + ".orig",
        "wrote DIR/" + train_name + "; its old bytes are in " + train_name + ".orig",
        "checked the repaired sources in memory", "error_code=0"},
       0,
       true},
      {"a repair that brings to light a mistake of the other source, not its own",
       line_source("", "lunghezza percorso 50000\r\n"),
       "[generale]\r\nnumero vetture 3\r\nvelocita, 0, 70\r\n[fine]\r\n",
       kAsItIs,
       {"fixed DIR/" + line_name + ":2: insert ',' after 'lunghezza percorso'",
        "fixed DIR/" + train_name + ":2: insert ',' after 'numero vetture'",
        "checked the repaired sources in memory", "error_code=0"},
       0,
       true},
      // In a source too big for check to look past its first error, the tunnel's own error,
      // which the missing comma hid, is found only once the comma is in: a new error on the
      // line repaired.
      {"a repair whose sources give a new error",
       line_source("montagna 56000, 60000, 2\r\n" +
                   [] {
                     std::string rows;
                     for (int i = 0; i < 130000; ++i) rows += "pendenza, 100, 0\r\n";
                     return rows;
                   }()),
       train_source(""),
       kAsItIs,
       {"not fixed DIR/" + line_name +
            ": with its repairs it would give an error it did not: "
            "error 15 the tunnel starting at 56000 m",
        "checked in memory: nothing written", "error_code=25"},
       2,
       false},
      {"a read-only source",
       mixed_line,
       train_source(""),
       kReadOnly,
       {"not fixed DIR/" + line_name + ": it is read-only", "error_code=25"},
       2,
       false},
      {"45 missing commas, all mended in one run",
       line_source(commas),
       train_source(""),
       kAsItIs,
       {"fixed DIR/" + line_name + ":4: insert ',' after 'pendenza'",
        "fixed DIR/" + line_name + ":48: insert ',' after 'pendenza'",
        "wrote DIR/" + line_name + "; its old bytes are in " + line_name + ".orig", "error_code=0"},
       0,
       true},
      {"a byte order mark, the only thing to mend",
       "\xEF\xBB\xBF" + line_source(""),
       train_source(""),
       kAsItIs,
       {"fixed DIR/" + line_name + ":1: remove the UTF-8 byte order mark",
        "wrote DIR/" + line_name + "; its old bytes are in " + line_name + ".orig", "error_code=0"},
       0,
       true},
      {"a byte order mark and a comma missing",
       "\xEF\xBB\xBF" + line_source("pendenza 100, 5\r\n"),
       train_source(""),
       kAsItIs,
       {"fixed DIR/" + line_name + ":1: remove the UTF-8 byte order mark",
        "fixed DIR/" + line_name + ":4: insert ',' after 'pendenza'", "error_code=0"},
       0,
       true},
      {"a backup kept by an earlier --fix: the next number",
       mixed_line,
       train_source(""),
       kEarlierOriginal,
       {"wrote DIR/" + line_name + "; its old bytes are in " + line_name + ".orig.2",
        "error_code=0"},
       0,
       true},
      {"a source that is a symbolic link",
       mixed_line,
       train_source(""),
       kLinked,
       {"not fixed DIR/" + line_name + ": it is a symbolic link to " + elsewhere.file(line_name) +
            ", and --fix writes only files in the folder itself",
        "checked in memory: nothing written", "error_code=25"},
       2,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (c.setting == kLinked) {
      write_file_bytes(elsewhere.file(line_name), c.line);
      std::filesystem::create_symlink(elsewhere.file(line_name), dir.file(line_name));
    } else {
      write_file_bytes(dir.file(line_name), c.line);
    }
    write_file_bytes(dir.file(train_name), c.train);
    if (c.setting == kEarlierOriginal) write_file_bytes(dir.file(line_name + ".orig"), "earlier");
    if (c.setting == kReadOnly) {
      std::filesystem::permissions(dir.file(line_name), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::remove);
    }
    const ProcessResult fixed = run_tool({"check", dir.path(), "--fix"});
    const std::string out = replace_all(fixed.out, dir.path(), "DIR");
    size_t at = 0;
    for (const std::string& piece : c.out) {
      at = out.find(piece, at);
      ASSERT_NE(at, std::string::npos) << piece << "\n" << out << fixed.err;
    }
    EXPECT_EQ(fixed.exit_status, c.status) << out << fixed.err;
    // Each source written has its old bytes beside it, under the first free backup name, and
    // no byte order mark; one not written has no backup. An earlier backup stays as it was.
    const std::string backup = c.setting == kEarlierOriginal ? ".orig.2" : ".orig";
    const std::pair<std::string, std::string> sources[] = {{line_name, c.line},
                                                           {train_name, c.train}};
    std::vector<std::string> listing = {line_name, train_name};
    if (c.setting == kEarlierOriginal) listing.push_back(line_name + ".orig");
    for (const auto& [name, before] : sources) {
      const std::string now = read_file_bytes(dir.file(name));
      EXPECT_EQ(now.compare(0, 3, "\xEF\xBB\xBF") == 0,
                !c.changed && before.compare(0, 3, "\xEF\xBB\xBF") == 0);
      if (now == before) continue;
      EXPECT_TRUE(c.changed) << name;
      EXPECT_EQ(read_file_bytes(dir.file(name + backup)), before) << name;
      listing.push_back(name + backup);
    }
    std::sort(listing.begin(), listing.end());
    EXPECT_EQ(dir.list(), listing);
    if (c.setting == kEarlierOriginal) {
      EXPECT_EQ(read_file_bytes(dir.file(line_name + ".orig")), "earlier");
    }
    if (c.setting == kLinked) {
      // The link, and the file it leads to, as they were.
      EXPECT_EQ(std::filesystem::read_symlink(dir.file(line_name)), elsewhere.file(line_name));
      EXPECT_EQ(elsewhere.list(), std::vector<std::string>{line_name});
      std::filesystem::remove(elsewhere.file(line_name));
    }
    if (c.changed) {
      // The repaired sources check cleanly.
      const ProcessResult again = run_tool({"check", dir.path()});
      EXPECT_EQ(again.exit_status, 0) << again.err;
      EXPECT_EQ(again.err, "");
    }
  }
}

// --fix run again in the same folder, after the author edited a repaired source: it mends what
// is new, and each text the author had before a --fix stays, the oldest in <name>.orig. A run
// with nothing to mend writes nothing.
TEST(DiagnosticsTest, FixRunAgainKeepsEveryEarlierText) {
  const std::string name = "Viterbo_Attigliano_linea.txt";
  TempDir dir;
  const std::string first = line_source("pendenza 100, 5\r\n");
  write_file_bytes(dir.file(name), first);
  write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"), train_source(""));
  ASSERT_EQ(run_tool({"check", dir.path(), "--fix"}).exit_status, 0);
  const std::string edited =
      replace_all(read_file_bytes(dir.file(name)), "[fine]", "pendenza 200, 7\r\n[fine]");
  write_file_bytes(dir.file(name), edited);
  const ProcessResult second = run_tool({"check", dir.path(), "--fix"});
  EXPECT_EQ(second.exit_status, 0) << second.out << second.err;
  EXPECT_NE(second.out.find("its old bytes are in " + name + ".orig.2"), std::string::npos)
      << second.out;
  EXPECT_EQ(read_file_bytes(dir.file(name)),
            line_source("pendenza, 100, 5\r\npendenza, 200, 7\r\n"));
  EXPECT_EQ(read_file_bytes(dir.file(name + ".orig")), first);
  EXPECT_EQ(read_file_bytes(dir.file(name + ".orig.2")), edited);
  const ProcessResult third = run_tool({"check", dir.path(), "--fix"});
  EXPECT_EQ(third.exit_status, 0) << third.err;
  EXPECT_EQ(third.out.find("wrote"), std::string::npos) << third.out;
  EXPECT_EQ(dir.list().size(), 4u);
}

TEST(DiagnosticsTest, JsonSarifColourWerrorAndVersion) {
  TempDir dir;
  write_file_bytes(dir.file("Viterbo_Attigliano_linea.txt"),
                   line_source("pendenze, 500, 3\r\ncartello_indicatore, 2100, (a)\r\n"
                               "cartello_indicatore, 2110, (b)\r\n"));
  write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"), train_source(""));

  const ProcessResult json = run_tool({"check", dir.path(), "--format=json"});
  EXPECT_EQ(json.exit_status, 2);
  EXPECT_EQ(json.err, "");
  const nlohmann::json doc = nlohmann::json::parse(json.out);
  ASSERT_EQ(doc["diagnostics"].size(), 2u);
  const auto& warning = doc["diagnostics"][0];
  EXPECT_EQ(warning["level"], "warning");
  EXPECT_EQ(warning["file"], dir.file("Viterbo_Attigliano_linea.txt"));
  EXPECT_EQ(warning["line"], 4);
  EXPECT_EQ(warning["column"], 1);
  EXPECT_EQ(warning["code"], "field matching no keyword");
  const auto& error = doc["diagnostics"][1];
  EXPECT_EQ(error["level"], "error");
  EXPECT_EQ(error["code"], "6");
  EXPECT_EQ(error["line"], 6);
  EXPECT_TRUE(error["notes"].is_array());
  EXPECT_EQ(doc["error_code"], 6);
  EXPECT_EQ(doc["errors"], 1);
  EXPECT_EQ(doc["warnings"], 1);

  const ProcessResult sarif = run_tool({"check", dir.path(), "--format", "sarif"});
  // Of an option given twice, the last counts.
  EXPECT_EQ(run_tool({"check", dir.path(), "--format=json", "--format", "sarif"}).out, sarif.out);
  const nlohmann::json log = nlohmann::json::parse(sarif.out);
  EXPECT_EQ(log["version"], "2.1.0");
  const auto& run = log["runs"][0];
  EXPECT_EQ(run["tool"]["driver"]["name"], "scenario-tool");
  ASSERT_EQ(run["results"].size(), 2u);
  const auto& result = run["results"][1];
  EXPECT_EQ(result["ruleId"], "error-6");
  EXPECT_EQ(result["level"], "error");
  EXPECT_NE(result["message"]["text"].get<std::string>().find("two objects"), std::string::npos);
  const auto& place = result["locations"][0]["physicalLocation"];
  EXPECT_EQ(place["artifactLocation"]["uri"], "file://" + dir.file("Viterbo_Attigliano_linea.txt"));
  EXPECT_EQ(place["region"]["startLine"], 6);
  EXPECT_EQ(place["region"]["startColumn"], 1);

  const ProcessResult coloured = run_tool({"check", dir.path(), "--color=always"});
  EXPECT_NE(coloured.err.find("\033[1;31merror 6:\033[0m"), std::string::npos) << coloured.err;
  EXPECT_EQ(run_tool({"check", dir.path(), "--color=never"}).err.find('\033'), std::string::npos);
  EXPECT_EQ(run_tool({"check", dir.path(), "--color=sometimes"}).exit_status, 1);

  // --werror: a warning alone is an error, and compile writes nothing.
  write_file_bytes(dir.file("Viterbo_Attigliano_linea.txt"), line_source("pendenze, 500, 3\r\n"));
  EXPECT_EQ(run_tool({"compile", dir.path()}).exit_status, 0);
  std::filesystem::remove(dir.file("Viterbo_Attigliano_7545.sim"));
  const ProcessResult werror = run_tool({"compile", dir.path(), "--werror"});
  EXPECT_EQ(werror.exit_status, 2);
  EXPECT_NE(werror.err.find("error werror: (--werror) field 'pendenze'"), std::string::npos)
      << werror.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("Viterbo_Attigliano_7545.sim")));

  const ProcessResult version = run_tool({"--version"});
  EXPECT_EQ(version.exit_status, 0);
  EXPECT_EQ(version.out.compare(0, 14, "scenario-tool "), 0) << version.out;
}

TEST(DiagnosticsTest, DocumentsWrittenADiagnosticAtATimeAreLaidOutAsOneDumpedWhole) {
  Diagnostic warning;
  warning.level = Diagnostic::Level::kWarning;
  warning.file = "C:\\Scenari\\Citt\xC3\xA0 Alta\\linea.txt";
  warning.line = 4;
  warning.column = 7;
  warning.code = "field matching no keyword";
  warning.message = "field 'pendenze' matches no keyword";
  warning.notes = {"a note", "another \"quoted\" note"};
  Diagnostic cell;
  cell.file = "cells.dat";
  cell.place = "cell 101";
  cell.code = "23";
  cell.message = "a signal meets a slowdown";
  Diagnostic bare;
  bare.code = "25";
  const char kMessage[] = "bytes \xFF\xFE not UTF-8, a tab\t, a line end\r\n and a nul \0.";
  bare.message = std::string(kMessage, sizeof kMessage - 1);
  bare.past_first_error = true;
  const std::vector<std::vector<Diagnostic>> runs = {{}, {warning}, {warning, cell, bare}};
  for (const std::vector<Diagnostic>& run : runs) {
    for (const bool sarif : {false, true}) {
      SCOPED_TRACE(std::to_string(run.size()) + (sarif ? " in SARIF" : " in JSON"));
      std::string text;
      const std::unique_ptr<DiagnosticDocument> document =
          sarif ? sarif_document(append_to(&text), "1.0") : json_document(append_to(&text));
      for (const Diagnostic& d : run) document->add(d);
      document->finish(6, 2110);
      EXPECT_EQ(text, nlohmann::ordered_json::parse(text).dump(2) + "\n");
    }
  }
}
