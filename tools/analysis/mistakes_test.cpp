// The mistakes authors really make, one change each to a small 12 km line with three stations:
// where check reports it, in what words, with what repair, and whether check --fix makes it
// (the repaired sources then compile to the bytes of the source as meant). Then the order of
// each kind of row: two rows in either order, compared byte for byte, warned of only where the
// order changes what is compiled.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/file_io.h"
#include "test_support/temp_dir.h"
#include "tools/testing/tool_fixture.h"

namespace {

const char kLine[] =
    "[generale]\r\nlunghezza percorso, 12000\r\n[curve]\r\ncurvad4, 1000, 300\r\n"
    "curvas3, 5500, 400\r\n[pendenze]\r\npendenza, 0, 0\r\npendenza, 2000, 5\r\n"
    "pendenza, 6000, -3\r\n[montagne]\r\nmontagna, 3000, 3400, 2\r\nmontagna, 7000, 7600, 2\r\n"
    "[cartelli]\r\nindicatori_vmax, 500, 65, 70, 80, 0, , , , 0\r\n[indicazioni]\r\n"
    "cartello_indicatore, 2100, (Cippo Km.)\r\n[fine]\r\n";
const char kTrain[] =
    "[generale]\r\norologio, 8, 0, 0\r\naderenza, 0, 100\r\nvelocita, 0, 70\r\n"
    "velocita, 4500, 90\r\n"
    "stazione, 0, 12, 400, 1, 0, 1, 4,1,0, 2,1,1, 1, 8, 1, 0, PARTENZA\r\n"
    "stazione, 6000, 12, 400, 0, 0, 0, 0,0,0, 2,4,1, 0, 8, 6, 0, CIVITA\r\n"
    "stazione, 11000, 22, 400, 0, 0, 0, 0,0,0, 2,4,1, 0, 8,12, 0, ARRIVO\r\n"
    "rallentamento, 2500, 50, 300, 1, 0, 0\r\nrallentamento, 8500, 40, 200, 1, 0, 0\r\n"
    "segnale, 3800, 2, 4, 1, 0, 0, 0, 0,0,0, 0\r\nabbattimento, 6500, 1\r\n[fine]\r\n";
const char kLineName[] = "Orte_linea.txt";
const char kTrainName[] = "Orte_2301-.txt";

// `text` with each pair's first text replaced by its second.
std::string changed(std::string text, const std::vector<std::pair<std::string, std::string>>& to) {
  for (const auto& change : to) {
    const size_t at = text.find(change.first);
    EXPECT_NE(at, std::string::npos) << change.first;
    if (at != std::string::npos) text.replace(at, change.first.size(), change.second);
  }
  return text;
}

// The three compiled files of the sources, by `compile --force` in a folder of their own.
std::string compiled_bytes(const std::string& line, const std::string& train) {
  TempDir dir;
  write_file_bytes(dir.file(kLineName), line);
  write_file_bytes(dir.file(kTrainName), train);
  run_tool({"compile", dir.path(), "--line", "Orte", "--train", "2301", "--force"});
  std::string all;
  for (const char* name : {"Orte_linea.dat", "Orte_2301.dat", "Orte_2301.sim"}) {
    std::string bytes;
    EXPECT_TRUE(read_file(dir.file(name), &bytes).ok()) << name;
    all += bytes + '\0';
  }
  return all;
}

struct Checked {
  ProcessResult result;
  std::string report;  // standard error, then standard output, the folder written DIR
};

Checked check(const TempDir& dir, std::vector<std::string> options = {}) {
  std::vector<std::string> args = {"check", dir.path(), "--line", "Orte", "--train", "2301"};
  args.insert(args.end(), options.begin(), options.end());
  Checked c{run_tool(args), ""};
  c.report = replace_all(c.result.err + c.result.out, dir.path(), "DIR");
  return c;
}

}  // namespace

TEST(MistakesTest, EachAtItsPlaceWithItsWordsAndRepair) {
  enum Fixed { kNoRepair, kOffered, kMade };
  const struct {
    const char* what;
    bool in_line;  // which source the change is made in
    std::vector<std::pair<std::string, std::string>> change;
    const char* place;   // "file:line:column: level"; nullptr: no diagnostic at all
    const char* words;   // a piece of the message
    const char* repair;  // the repair's description, after "help: "
    Fixed fixed;
  } cases[] = {
      {"a tab after a keyword",
       false,
       {{"velocita, 4500", "velocita,\t4500"}},
       "Orte_2301-.txt:5:10: warning",
       "a tab in the number field '\\t4500'",
       "replace the tab with a blank",
       kMade},
      {"tabs in three rows: each at its place, all mended at once",
       false,
       {{"aderenza, 0", "aderenza,\t0"},
        {"velocita, 4500", "velocita,\t4500"},
        {"segnale, 3800", "segnale,\t3800"}},
       "Orte_2301-.txt:11:9: warning",
       "a tab in the field '\\t3800'",
       "replace the tab with a blank",
       kMade},
      {"two tabs in one row",
       false,
       {{"velocita, 4500, 90", "velocita,\t4500,\t90"}},
       "Orte_2301-.txt:5:16: warning",
       "a tab in the field '\\t90'",
       "replace the tab with a blank",
       kMade},
      {"a byte order mark and a tab",
       false,
       {{"[generale]", "\xEF\xBB\xBF[generale]"}, {"velocita, 4500", "velocita,\t4500"}},
       "Orte_2301-.txt:5:10: warning",
       "a tab in the number field",
       "replace the tab with a blank",
       kMade},
      {"a thousands comma in a curve's start",
       true,
       {{"curvas3, 5500", "curvas3, 5,500"}},
       "Orte_linea.txt:5:10: warning",
       "'5,500' is read as two values, 5 and 500: a comma separates fields",
       "replace '5,500' with '5500'",
       kMade},
      {"a thousands comma in a tunnel's end",
       true,
       {{"7000, 7600", "7000, 7,600"}},
       "Orte_linea.txt:12:17: warning",
       "the field '2' is left over; for 7600 m write '7600'",
       "replace '7,600' with '7600'",
       kMade},
      {"a thousands comma in a speed limit",
       false,
       {{"velocita, 4500", "velocita, 4,500"}},
       "Orte_2301-.txt:5:11: warning",
       "'4,500' is read as two values, 4 and 500",
       "replace '4,500' with '4500'",
       kMade},
      {"a thousands comma in a station's position",
       false,
       {{"stazione, 6000", "stazione, 6,000"}},
       "Orte_2301-.txt:7:11: warning",
       "'6,000' is read as two values, 6 and 0",
       "replace '6,000' with '6000'",
       kMade},
      {"a thousands point behind the gradient before",
       true,
       {{"pendenza, 6000", "pendenza, 6.000"}},
       "Orte_linea.txt:9:11: warning",
       "'6.000' is read as 6 m: a point begins a fraction, and the value is rounded to whole "
       "metres; for 6000 m write '6000'",
       "replace '6.000' with '6000'",
       kMade},
      {"a thousands point in a length: likely, not sure",
       false,
       {{"8500, 40, 200", "8500, 40, 1.500"}},
       "Orte_2301-.txt:10:26: warning",
       "'1.500' is read as 2 m",
       "replace '1.500' with '1500' (likely; --fix leaves it to you)",
       kOffered},
      {"a misspelt keyword",
       true,
       {{"montagna, 3000", "montagan, 3000"}},
       "Orte_linea.txt:11:1: warning",
       "field 'montagan' matches no keyword and is passed over; "
       "did you mean 'montagna'?",
       "replace 'montagan' with 'montagna' (likely; --fix leaves it to you)",
       kOffered},
      {"a decimal comma",
       true,
       {{"pendenza, 2000, 5", "pendenza, 2000, 5,5"}},
       "Orte_linea.txt:8:17: warning",
       "'5,5' is read as 5 followed by a stray field '5'",
       "replace '5,5' with '5.5'",
       kNoRepair},  // made, but 5.5 compiles as 6, not as 5
      {"a zero-length slowdown",
       false,
       {{"8500, 40, 200", "8500, 40, 0"}},
       "Orte_2301-.txt:10:1: error 15",
       "slowdown",
       nullptr,
       kNoRepair},
      {"a zero-length slowdown met past the line source's first error",
       false,
       {{"8500, 40, 200", "8500, 40, 0"}, {"montagna, 3000, 3400", "montagna, 4000, 30000"}},
       "Orte_2301-.txt:10:1: error 15",
       "the slowdown at 8500 m, 0 m long, ends in the 50 m cell it starts in",
       nullptr,
       kNoRepair},
      {"a station earlier than the one before",
       false,
       {{"8,12, 0, ARRIVO", "8, 3, 0, ARRIVO"}},
       "Orte_2301-.txt:8:1: warning",
       "is 3 min 00 s earlier than the station before it",
       nullptr,
       kNoRepair},
      {"slowdowns in either order",
       false,
       {{"rallentamento, 2500, 50, 300, 1, 0, 0\r\nrallentamento, 8500, 40, 200, 1, 0, 0",
         "rallentamento, 8500, 40, 200, 1, 0, 0\r\nrallentamento, 2500, 50, 300, 1, 0, 0"}},
       nullptr,
       nullptr,
       nullptr,
       kNoRepair},
      {"signals, speed boards and 'abbattimento' points in either order",
       false,
       {{"segnale, 3800", "segnale, 9800, 2, 4, 1, 0, 0, 0, 0,0,0, 0\r\nsegnale, 3800"},
        {"abbattimento, 6500, 1", "abbattimento, 9500, 1\r\nabbattimento, 6500, 1"}},
       nullptr,
       nullptr,
       nullptr,
       kNoRepair},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // A change the other source holds is made there (a mistake met past another one).
    std::vector<std::pair<std::string, std::string>> line_changes, train_changes;
    for (const auto& change : c.change) {
      const bool here =
          std::string(c.in_line ? kLine : kTrain).find(change.first) != std::string::npos;
      (c.in_line == here ? line_changes : train_changes).push_back(change);
    }
    const std::string line = changed(kLine, line_changes);
    const std::string train = changed(kTrain, train_changes);
    TempDir dir;
    write_file_bytes(dir.file(kLineName), line);
    write_file_bytes(dir.file(kTrainName), train);
    const Checked checked = check(dir);
    if (c.place == nullptr) {
      EXPECT_EQ(checked.report.find("warning"), std::string::npos) << checked.report;
      EXPECT_EQ(checked.result.exit_status, 0) << checked.report;
      continue;
    }
    // The diagnostic at the place with the words (one place may hold two).
    const std::string start = std::string("DIR/") + c.place + ": ";
    size_t at = checked.report.find(start);
    while (at != std::string::npos &&
           checked.report.substr(at, checked.report.find('\n', at) - at).find(c.words) ==
               std::string::npos &&
           checked.report.find(start, at + 1) != std::string::npos) {
      at = checked.report.find(start, at + 1);
    }
    ASSERT_NE(at, std::string::npos) << checked.report;
    const std::string message = checked.report.substr(at, checked.report.find('\n', at) - at);
    EXPECT_NE(message.find(c.words), std::string::npos) << message;
    // The diagnostic's own lines: up to the next one's place.
    const size_t next = checked.report.find("\nDIR/", at);
    const std::string own = checked.report.substr(at, next == std::string::npos ? next : next - at);
    if (c.repair != nullptr) {
      EXPECT_NE(own.find(std::string("help: ") + c.repair + "\n"), std::string::npos) << own;
    } else {
      EXPECT_EQ(own.find("help: "), std::string::npos) << own;
    }
    if (c.fixed == kNoRepair && c.repair != nullptr) continue;
    // --fix makes the sure repairs only; the sources it leaves compile as the ones meant, or
    // stay as they were.
    const Checked fixed = check(dir, {"--fix"});
    std::string line_now, train_now;
    ASSERT_TRUE(read_file(dir.file(kLineName), &line_now).ok());
    ASSERT_TRUE(read_file(dir.file(kTrainName), &train_now).ok());
    if (c.fixed == kMade) {
      EXPECT_EQ(fixed.result.exit_status, 0) << fixed.report;
      EXPECT_EQ(fixed.report.find("not fixed"), std::string::npos) << fixed.report;
      EXPECT_EQ(compiled_bytes(line_now, train_now), compiled_bytes(kLine, kTrain));
      // No byte order mark is left.
      EXPECT_NE(line_now.compare(0, 3, "\xEF\xBB\xBF"), 0);
      EXPECT_NE(train_now.compare(0, 3, "\xEF\xBB\xBF"), 0);
    } else {
      EXPECT_EQ(line_now, line);
      EXPECT_EQ(train_now, train);
    }
  }
}

// Two rows of each kind, compiled in both orders: the order is warned of exactly where the bytes
// differ, but for signboards, whose texts take table entries in the order they are read (80,
// 79, ...): the bytes differ, yet each board shows its own text at its own place either way,
// and the format lets them come in any order.
TEST(MistakesTest, OrderIsWarnedOfOnlyWhereItChangesWhatIsCompiled) {
  const struct {
    const char* kind;
    bool in_line;
    const char* before;  // the rows are put in before this text
    std::string first, second;
    bool same_bytes;
    bool warned;
  } cases[] = {
      {"gradient", true, "[montagne]", "pendenza, 8000, 2\r\n", "pendenza, 8500, 4\r\n", false,
       true},
      {"curve", true, "[pendenze]", "curvad4, 8000, 100\r\n", "curvas4, 8500, 100\r\n", false,
       true},
      {"tunnel", true, "[cartelli]", "montagna, 8000, 8100, 2\r\n", "montagna, 8500, 8600, 2\r\n",
       false, true},
      {"speed board", true, "[indicazioni]", "indicatori_vmax, 1100, 65, 70, 80, 0, , , , 0\r\n",
       "indicatori_vmax, 7700, 90, 95, 100, 0, , , , 0\r\n", true, false},
      {"signboard", true, "[fine]", "cartello_indicatore, 1100, (A)\r\n",
       "cartello_indicatore, 7700, (B)\r\n", false, false},
      {"speed limit", false, "stazione", "velocita, 6000, 80\r\n", "velocita, 7000, 60\r\n", false,
       true},
      {"adhesion", false, "velocita", "aderenza, 6000, 80\r\n", "aderenza, 7000, 60\r\n", false,
       true},
      {"signal", false, "[fine]", "segnale, 1100, 2, 4, 1, 0, 0, 0, 0,0,0, 0\r\n",
       "segnale, 9300, 2, 3, 1, 0, 0, 0, 0,0,0, 0\r\n", true, false},
      {"slowdown", false, "[fine]", "rallentamento, 1200, 50, 200, 1, 0, 0\r\n",
       "rallentamento, 10100, 40, 200, 1, 0, 0\r\n", true, false},
      {"abbattimento point", false, "[fine]", "abbattimento, 1100, 1\r\n",
       "abbattimento, 7700, 1\r\n", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    std::string bytes[2];
    bool warned[2];
    for (int order = 0; order < 2; ++order) {
      const std::string rows = order == 0 ? c.first + c.second : c.second + c.first;
      std::string line = kLine, train = kTrain;
      std::string& text = c.in_line ? line : train;
      text.insert(text.find(c.before), rows);
      TempDir dir;
      write_file_bytes(dir.file(kLineName), line);
      write_file_bytes(dir.file(kTrainName), train);
      const Checked checked = check(dir);
      EXPECT_EQ(checked.report.find(": error"), std::string::npos) << checked.report;
      warned[order] = checked.report.find("out of order") != std::string::npos;
      bytes[order] = compiled_bytes(line, train);
    }
    EXPECT_FALSE(warned[0]);  // rising
    EXPECT_EQ(bytes[0] == bytes[1], c.same_bytes);
    EXPECT_EQ(warned[1], c.warned);
  }
}
