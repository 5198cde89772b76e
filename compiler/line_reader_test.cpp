#include <gtest/gtest.h>

#include <cmath>

#include "common/file_io.h"
#include "compiler/compiler_fixture.h"
#include "compiler/error_codes.h"
#include "compiler/line_plan.h"

TEST(LineReaderTest, ShippedLineSource) {
  CompilerFixture f;
  ASSERT_EQ(f.compile_line(shipped_line_source()).end, CompileEnd::kCompleted);
  const Compilation& c = f.compiled;
  EXPECT_EQ(c.log.error.code, 0);
  EXPECT_FALSE(file_exists(f.line_source_path())) << "the line source is deleted once read";
  EXPECT_FALSE(file_exists(f.train_source_path()));

  EXPECT_EQ(c.records.total_metres, 57000);
  EXPECT_EQ(c.records.last_cell(), 1140);
  EXPECT_EQ(c.records.table[kRouteEntry].end, 50000);
  // Chainage: only "uno" (0, 39050, flag 1) given; it moves to entry 81 with 100 m added.
  EXPECT_EQ(c.records.table[81].start, 0);
  EXPECT_EQ(c.records.table[81].end, 39150);
  EXPECT_EQ(c.records.table[81].position, 1);
  for (int e : {82, 83})
    EXPECT_EQ(c.records.table[e].start + c.records.table[e].end + c.records.table[e].position, 0);
  EXPECT_EQ(c.records.table[kLineEntry].start, 0);     // sfondo uno
  EXPECT_EQ(c.records.table[kLineEntry].position, 1);  // sfondo due
  EXPECT_EQ(c.records.table[kLineEntry].end, 0);       // sfondo tre
  EXPECT_EQ(c.records.table[kTrainEntry].start, 0);
  EXPECT_EQ(c.records.table[kTrainEntry].end, 0);
  EXPECT_EQ(c.records.table[kTrainEntry].position, 0);
  EXPECT_EQ(c.records.table[kLineEntry].text, "Viterbo_Attigliano");
  EXPECT_EQ(c.records.table[kTrainEntry].text, "7545");

  // The first signboard at 2100: cell 43, text in entry 80; 39 signboards in all.
  EXPECT_EQ(c.records.cells[43].type, kCellSignboard);
  EXPECT_EQ(c.records.cells[43].value_a, 80);
  EXPECT_EQ(c.records.table[80].text, "(Cippo Km.)( 37+000  )");
  EXPECT_EQ(c.records.table[79].text, "(______)(______)(______)");
  EXPECT_EQ(c.records.table[42].text, "(Dev. I.)");
  EXPECT_TRUE(c.records.table[41].text.empty());  // the next text would go here

  // Speed indicators.
  const struct {
    int cell, a, b, c, d;
  } indicators[] = {{11, 1300, 1400, 1600, 0},    // 500: 65, 70, 80
                    {135, 1400, 1500, 1500, 20},  // 6700: stripes 2
                    {789, 2020, 2121, 2222, 0}};  // 39400: 100, 105, 110 twice
  for (const auto& i : indicators) {
    SCOPED_TRACE(i.cell);
    EXPECT_EQ(c.records.cells[i.cell].type, kCellSpeedIndicator);
    EXPECT_EQ(c.records.cells[i.cell].value_a, i.a);
    EXPECT_EQ(c.records.cells[i.cell].value_b, i.b);
    EXPECT_EQ(c.records.cells[i.cell].value_c, i.c);
    EXPECT_EQ(c.records.cells[i.cell].value_d, i.d);
  }

  // Tunnel 11200-12000, kind 12: kind 2 with markers in every fourth free cell.
  for (int i = 224; i <= 239; ++i) EXPECT_EQ(c.records.cells[i].tunnel_kind, 2) << i;
  EXPECT_EQ(c.records.cells[223].tunnel_kind, 0);
  EXPECT_EQ(c.records.cells[240].tunnel_kind, 0);
  for (int i : {227, 231, 235, 239}) EXPECT_EQ(c.records.cells[i].type, kCellTunnelMarker) << i;
  EXPECT_EQ(c.records.cells[228].type, kCellEmpty);
  ASSERT_EQ(c.records.tunnels.size(), 5u);
  EXPECT_EQ(c.records.tunnels[1].start, 11200);
  EXPECT_EQ(c.records.tunnels[4].end, 49600);

  // Gradients: 0 up to 500, 3 from 500, 0 from 1500, -5 from 5000, ...; the last, 0 from
  // 33150, runs to cell 1137.
  EXPECT_EQ(c.records.cells[9].gradient, 100);
  EXPECT_EQ(c.records.cells[10].gradient, 103);
  EXPECT_EQ(c.records.cells[29].gradient, 103);
  EXPECT_EQ(c.records.cells[30].gradient, 100);
  EXPECT_EQ(c.records.cells[100].gradient, 95);
  EXPECT_EQ(c.records.cells[127].gradient, 85);  // -15 from 6350
  EXPECT_EQ(c.records.cells[1137].gradient, 100);
  EXPECT_EQ(c.records.cells[1138].gradient, 0);

  // The plan: straight along +y to metre 500, then curvad4 from 500 for 300 m.
  ASSERT_TRUE(c.records.plan.origin_set);
  EXPECT_EQ(c.records.plan.computed_end, 56999);  // metres 56999 and 57000 stay unset
  const std::vector<PlanPoint> p = plan_points(c.records.plan);
  ASSERT_EQ(p.size(), 56999u);
  EXPECT_EQ(p[500].x, 0.0);
  EXPECT_EQ(p[500].y, 500.0);
  EXPECT_DOUBLE_EQ(p[501].x, 0.001);
  EXPECT_DOUBLE_EQ(p[501].y, 501.0);
  EXPECT_NEAR(p[800].x, 44.816, 0.0005);
  EXPECT_NEAR(p[800].y, 795.520, 0.0005);
  const double heading = std::atan2(p[800].x - p[799].x, p[800].y - p[799].y);
  EXPECT_NEAR(heading, 0.3, 0.001);
  EXPECT_NEAR(std::hypot(p[800].x - p[799].x, p[800].y - p[799].y), 1.00015, 0.00001);
}

TEST(LineReaderTest, CurvesTurnEachWayByTheirDigit) {
  const struct {
    const char* keyword;
    double x800;  // 0 when the curve does not turn by 0.001 a metre
  } cases[] = {{"curvad4", 44.816}, {"curvas4", -44.816}, {"CURVAS4", -44.816}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.keyword);
    CompilerFixture f;
    f.compile_line(small_line_source(std::string(k.keyword) + ",  500,  300\r\n"));
    EXPECT_EQ(f.compiled.log.error.code, 0);
    const std::vector<PlanPoint> p = plan_points(f.compiled.records.plan);
    EXPECT_NEAR(p.at(800).x, k.x800, 0.0005);
    EXPECT_NEAR(p.at(800).y, 795.520, 0.0005);
  }
  // The lowest digit decides: "curva61" turns by 0.0001 a metre.
  CompilerFixture f;
  f.compile_line(small_line_source("curva61,  0,  100\r\n"));
  EXPECT_NEAR(plan_points(f.compiled.records.plan).at(102).x, 0.0001 * 100 * 101 / 2, 0.01);
}

TEST(LineReaderTest, ErrorCodesAndWhatTheyLeave) {
  const std::string route = "lunghezza percorso, 50000\r\n";
  const std::string rep = "ripetizione segnali 4 codici";
  const struct {
    const char* what;
    std::string text;  // the whole line source
    int32_t code;
    int32_t position;  // -1: not checked
    CompileEnd end;
    bool train_source_read_or_deleted;  // the reading went on to the train source, or 25
  } cases[] = {
      {"[generale] as the very last field", "a,b\r\n[generale]\r\n", kNoGeneralSection, -1,
       CompileEnd::kNothingCompiled, false},
      {"no [generale] at all", "lunghezza percorso, 50000\r\n[fine]\r\n", kNoGeneralSection, -1,
       CompileEnd::kNothingCompiled, false},
      {"route above 1,000,000 m", small_line_source("", "lunghezza percorso, 1000001\r\n"),
       kRouteTooLong, -1, CompileEnd::kNothingCompiled, false},
      {"first repetition distance off the grid",
       small_line_source("", route + rep + ", 120, 0\r\n"), kFirstRepetitionNotOn50, -1,
       CompileEnd::kCompleted, false},
      {"second repetition distance off the grid",
       small_line_source("", route + rep + ", 100, 130\r\n"), kSecondRepetitionNotOn50, -1,
       CompileEnd::kCompleted, false},
      {"repetition without 4 or 9",
       small_line_source("", route + "ripetizione segnali, 100, 0\r\n"), kRepetitionCodeMissing, -1,
       CompileEnd::kCompleted, false},
      {"repetition before any route length", small_line_source("", rep + ", 120, 0\r\n" + route),
       kFirstRepetitionNotOn50, -1, CompileEnd::kNothingCompiled, false},
      {"curve without a curvature digit", small_line_source("curva,  500,  300\r\n"), kBadCurve, -1,
       CompileEnd::kCompleted, false},
      {"line plan past metre 1,000,000",
       small_line_source("curvad4, 999000, 5000\r\n", "lunghezza percorso, 1000000\r\n"), kBadCurve,
       -1, CompileEnd::kCompleted, false},
      {"two signboards in one cell",
       small_line_source("cartello_indicatore, 2100, (a)\r\ncartello_indicatore, 2110, (b)\r\n"),
       kSignboardCellTaken, 2110, CompileEnd::kCompleted, false},
      {"speed indicator on a signboard",
       small_line_source(
           "cartello_indicatore, 500, (a)\r\nindicatori_vmax, 500, 65,70,80,0,,,,0\r\n"),
       kIndicatorCellTaken, 500, CompileEnd::kCompleted, false},
      {"a feature at 56950 m, past the cells",
       small_line_source("pendenza, 100, 3\r\nmontagna, 56950, 57000, 2\r\npendenza, 200, 5\r\n"),
       kBeyondCells, 56950, CompileEnd::kCompleted, true},
      {"a route length that is not a number",
       small_line_source("", "lunghezza percorso, cinquanta\r\n"), kRunTimeFailure, -1,
       CompileEnd::kNothingCompiled, true},
      {"a record cut short by the end of the file",
       "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\nmontagna, 100\r\n", kRunTimeFailure,
       -1, CompileEnd::kCompleted, true},
      {"an empty line source", "", kRunTimeFailure, -1, CompileEnd::kNothingCompiled, true},
      {"no route length in the general section", small_line_source("pendenza, 0, 0\r\n", ""),
       kNoRouteLength, -1, CompileEnd::kNothingCompiled, false},
      {"a route too short for the header cell",
       small_line_source("", "lunghezza percorso, -7000\r\n"), kRunTimeFailure, -1,
       CompileEnd::kNothingCompiled, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CompilerFixture f;
    EXPECT_EQ(f.compile_line(c.text).end, c.end);
    EXPECT_EQ(f.compiled.log.error.code, c.code);
    if (c.position >= 0) {
      EXPECT_EQ(f.compiled.log.error.position, c.position);
    }
    EXPECT_FALSE(file_exists(f.line_source_path()));
    // The train source is read (and deleted) only when the line source's reading went on.
    EXPECT_EQ(file_exists(f.train_source_path()), !c.train_source_read_or_deleted);
    // Compiled files exist exactly when something was compiled.
    const bool written = c.end == CompileEnd::kCompleted;
    EXPECT_EQ(file_exists(f.dir.file("Viterbo_Attigliano_7545.dat")), written);
    EXPECT_EQ(file_exists(f.dir.file("Viterbo_Attigliano_linea.dat")), written);
  }
}

TEST(LineReaderTest, NoLineSourceTouchesNothing) {
  CompilerFixture f;
  write_file_bytes(f.train_source_path(), "[generale]\r\n[fine]\r\n");
  write_file_bytes(f.dir.file("Viterbo_Attigliano_7545.dat"), "earlier");
  EXPECT_EQ(memorizza_percorso(f.options, &f.compiled).end, CompileEnd::kNothingCompiled);
  EXPECT_EQ(f.compiled.log.error.code, kNoLineSource);
  EXPECT_TRUE(file_exists(f.train_source_path()));
  EXPECT_EQ(read_file_bytes(f.dir.file("Viterbo_Attigliano_7545.dat")), "earlier");
}

TEST(LineReaderTest, GeneralSection) {
  const struct {
    const char* what;
    std::string general;
    int32_t train_start, train_end, train_position;
    int32_t background_start;
  } cases[] = {
      {"scenario's repetition row", "ripetizione segnali 4 codici,    0    ,0\r\n", 0, 0, 0, 0},
      {"a second distance of 0 zeroes the count", "ripetizione segnali 4 codici, 100, 0\r\n", 100,
       0, 0, 0},
      {"nine codes", "ripetizione segnali 9 codici, 100, 200\r\n", 100, 200, 9, 0},
      {"four codes win over nine", "ripetizione segnali 4 9, 100, 200\r\n", 100, 200, 4, 0},
      {"sfondo is case-sensitive", "Sfondo uno, 5\r\nsfondo uno, 7\r\n", 0, 0, 0, 7},
      {"separator fields are skipped", "-----\r\n---\r\nsfondo uno, 3\r\n", 0, 0, 0, 3},
      {"a bracketed field beginning with - does not end the section", "-[x]-\r\nsfondo uno, 4\r\n",
       0, 0, 0, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CompilerFixture f;
    f.compile_line(small_line_source("", "LUNGHEZZA PERCORSO, 50000\r\n" + c.general));
    EXPECT_EQ(f.compiled.log.error.code, 0);
    EXPECT_EQ(f.compiled.records.last_cell(), 1140) << "route length keywords ignore case";
    const TableEntry& train = f.compiled.records.table[kTrainEntry];
    EXPECT_EQ(train.start, c.train_start);
    EXPECT_EQ(train.end, c.train_end);
    EXPECT_EQ(train.position, c.train_position);
    EXPECT_EQ(f.compiled.records.table[kLineEntry].start, c.background_start);
  }
}

TEST(LineReaderTest, RouteLengthSizesCellsAndPlan) {
  const struct {
    int32_t length;
    int32_t last_cell;
    int32_t last_metre;
  } cases[] = {{50000, 1140, 57000}, {1000000, 20140, 1007000}, {-5000, 40, 2000}, {25, 140, 7025}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    CompilerFixture f;
    f.compile_line(
        small_line_source("", "lunghezza percorso, " + std::to_string(c.length) + "\r\n"));
    EXPECT_EQ(f.compiled.log.error.code, 0);
    EXPECT_EQ(f.compiled.records.last_cell(), c.last_cell);
    EXPECT_EQ(f.compiled.records.plan.last_metre(), c.last_metre);
    EXPECT_EQ(f.compiled.records.plan.computed_end, c.last_metre - 1);
  }
}

TEST(LineReaderTest, FeaturePositionsAgainstTheCells) {
  const struct {
    const char* what;
    std::string features;
    int32_t code;
    int32_t position;
  } cases[] = {
      {"indicator at 56900 fits", "indicatori_vmax, 56900, 65,70,80,0,,,,0\r\n", 0, 0},
      {"indicator at 56950 does not", "indicatori_vmax, 56950, 65,70,80,0,,,,0\r\n", kBeyondCells,
       56950},
      {"indicator before the start", "indicatori_vmax, -100, 65,70,80,0,,,,0\r\n", kBeyondCells,
       -100},
      {"signboard before the start", "cartello_indicatore, -80, (x)\r\n", kBeyondCells, -80},
      {"curve past the plan's end", "curvad4, 50000, 8000\r\n", kBeyondCells, 50000},
      {"curve to the plan's very last metre", "curvad4, 50000, 7000\r\n", 0, 0},
      {"tunnel ending past the last cell: at its start", "montagna, 56000, 60000, 2\r\n",
       kBeyondCells, 56000},
      {"a position near the 32-bit limit fails the test, no overflow",
       "pendenza, 2147483600, 3\r\n", kBeyondCells, 2147483600},
      {"the same for a signboard", "cartello_indicatore, 2147483647, (x)\r\n", kBeyondCells,
       2147483647},
      {"tunnel starting before the route", "montagna, -500, 300, 2\r\n", kBeyondCells, -500},
      {"tunnel ending before it starts marks nothing", "montagna, 3000, 2000, 12\r\n", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CompilerFixture f;
    EXPECT_EQ(f.compile_line(small_line_source(c.features)).end, CompileEnd::kCompleted);
    EXPECT_EQ(f.compiled.log.error.code, c.code);
    if (c.code != 0) {
      EXPECT_EQ(f.compiled.log.error.position, c.position);
    }
  }
}

TEST(LineReaderTest, TablesThatOverflowAreRunTimeFailures) {
  std::string tunnels, signboards, gradients;
  for (int i = 0; i < 81; ++i)
    tunnels +=
        "montagna, " + std::to_string(500 * i) + ", " + std::to_string(500 * i + 100) + ", 2\r\n";
  for (int i = 0; i < 81; ++i) {
    signboards += "cartello_indicatore, " + std::to_string(100 * i) + ", (s)\r\n";
  }
  for (int i = 0; i < 1200; ++i) gradients += "pendenza, 50, 1\r\n";
  const struct {
    const char* what;
    std::string features;
    int32_t code;
  } cases[] = {
      {"81 tunnels", tunnels, kRunTimeFailure},
      {"80 tunnels", tunnels.substr(0, tunnels.rfind("montagna")), 0},
      {"81 signboard texts", signboards, kRunTimeFailure},
      {"80 signboard texts", signboards.substr(0, signboards.rfind("cartello")), 0},
      {"a signboard text longer than 65535 bytes",
       "cartello_indicatore, 100, " + std::string(65536, 'x') + "\r\n", kRunTimeFailure},
      {"a signboard text of 65535 bytes",
       "cartello_indicatore, 100, " + std::string(65535, 'x') + "\r\n", 0},
      {"more gradient changes than cells", gradients, kBeyondCells},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CompilerFixture f;
    f.compile_line(small_line_source(c.features));
    EXPECT_EQ(f.compiled.log.error.code, c.code);
  }
}

TEST(LineReaderTest, FieldsThatAreNotTested) {
  // A keyword as the very last field has no numbers and is not tested.
  CompilerFixture last;
  last.compile_line(
      "[generale]\r\nlunghezza percorso, 50000\r\n[x]\r\npendenza, 500, 3\r\npendenza");
  EXPECT_EQ(last.compiled.log.error.code, 0);
  EXPECT_EQ(last.compiled.records.cells[10].gradient, 103);

  // Without the line plan a curve row is not read: its numbers are fields of their own.
  CompilerFixture no_plan;
  EXPECT_EQ(
      no_plan.compile_line(small_line_source("curvad4, 500, 300\r\npendenza, 500, 3\r\n"), 0).end,
      CompileEnd::kCompleted);
  EXPECT_EQ(no_plan.compiled.log.error.code, 0);
  EXPECT_EQ(no_plan.compiled.records.plan.points, 0);
  EXPECT_EQ(no_plan.compiled.records.cells[10].gradient, 103);
  EXPECT_FALSE(file_exists(no_plan.dir.file("Viterbo_Attigliano_linea.dat")));

  // Two separators in a row are skipped; a third field is tested whatever it holds.
  CompilerFixture dashes;
  dashes.compile_line(small_line_source("---,---,pendenza-x, 500, 3\r\n"));
  EXPECT_EQ(dashes.compiled.records.cells[10].gradient, 103);
}

TEST(LineReaderTest, SumsThatWrapWithoutARangeCheck) {
  // A gradient of 2147483600 is stored as the low 8 bits of 2147483700.
  CompilerFixture f;
  f.compile_line(small_line_source("pendenza, 0, 2147483600\r\npendenza, 1000, -2147483648\r\n"));
  EXPECT_EQ(f.compiled.log.error.code, 0);
  EXPECT_EQ(f.compiled.records.cells[10].gradient, 2147483700 % 256);
  EXPECT_EQ(f.compiled.records.cells[30].gradient, (int64_t(-2147483648) + 100) & 0xff);
}

TEST(LineReaderTest, CurveWhoseEndOverflowsKeepsItsStraightRun) {
  // The straight run up to the curve's start is laid before its end is computed; the end's
  // overflow is then a run-time failure, and the straight metres stay.
  CompilerFixture f;
  EXPECT_EQ(f.compile_line(small_line_source("curvad4, 1000, 2147483647\r\n")).end,
            CompileEnd::kCompleted);
  EXPECT_EQ(f.compiled.log.error.code, kRunTimeFailure);
  EXPECT_EQ(f.compiled.records.plan.computed_end, 1001);
  const std::vector<PlanPoint> p = plan_points(f.compiled.records.plan);
  ASSERT_EQ(p.size(), 1001u);
  EXPECT_EQ(p[1000].x, 0.0);
  EXPECT_EQ(p[1000].y, 1000.0);
}
