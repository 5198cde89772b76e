#include <gtest/gtest.h>

#include "common/file_io.h"
#include "compiler/compiler_fixture.h"
#include "compiler/error_codes.h"

namespace {

std::string train(const std::string& records) {
  return "[generale]\r\n" + records + "[fine]\r\n";
}

// A station record with the given position, kind, length and name, the rest zeros.
std::string station(int position, int kind, int length, const std::string& name = "S") {
  return "stazione, " + std::to_string(position) + ", " + std::to_string(kind) + ", " +
         std::to_string(length) + ", 0,0,0, 0,0,0, 0,0,0, 0, 10,0,0, " + name + "\r\n";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

}  // namespace

TEST(TrainReaderTest, ShippedScenario) {
  CompilerFixture f;
  ASSERT_EQ(f.compile(shipped_line_source(), shipped_train_source()).end, CompileEnd::kCompleted);
  const Compilation& c = f.compiled;
  EXPECT_EQ(c.log.error.code, 0);
  EXPECT_TRUE(c.log.problems.empty());
  EXPECT_FALSE(file_exists(f.train_source_path()));

  EXPECT_EQ(c.records.table[kRouteEntry].start, 100);   // braked mass
  EXPECT_EQ(c.records.table[kRouteEntry].position, 5);  // cars
  const TableEntry& t = c.records.table[kTrainEntry];
  EXPECT_EQ(t.value_1, 100);  // sand
  EXPECT_EQ(t.value_3, 13);
  EXPECT_EQ(t.value_4, 10);
  EXPECT_EQ(t.value_5, 45);

  // The first station.
  const TableEntry& s = c.records.table[1];
  EXPECT_EQ(s.kind, 12);
  EXPECT_EQ(s.position, 0);
  EXPECT_EQ(s.start, -200);
  EXPECT_EQ(s.end, 250);  // 200 plus the 50 m end extension
  EXPECT_EQ(s.flag_a, 1);
  EXPECT_EQ(s.flag_d, 0);
  EXPECT_EQ(s.flag_e, 0);
  EXPECT_EQ(s.value_1, 4);
  EXPECT_EQ(s.value_2, 1);
  EXPECT_EQ(s.flag_b, 0);
  EXPECT_EQ(s.value_3, 2);
  EXPECT_EQ(s.value_4, 1);
  EXPECT_EQ(s.value_5, 1);
  EXPECT_EQ(s.flag_c, 1);
  EXPECT_EQ(s.time, 47280);
  EXPECT_EQ(s.text, "VITERBO P. F.");
  EXPECT_EQ(c.records.cells[3].marker, 81);
  EXPECT_EQ(c.records.cells[2].marker, 82);
  EXPECT_EQ(c.records.cells[1].marker, 0);
  EXPECT_EQ(c.records.cells[4].type, kCellStationEnd);
  EXPECT_EQ(c.records.cells[4].value_a, 1);
  // Kind 27 touches no cell.
  EXPECT_EQ(c.records.table[4].text, "Sipicciano S. Nicola");
  EXPECT_EQ(c.records.table[4].start, 31800);
  EXPECT_EQ(c.records.table[4].end, 32000);
  EXPECT_EQ(c.records.table[6].text, "ATTIGLIANO");
  EXPECT_EQ(c.records.table[6].time, (13 * 60 + 46) * 60 + 30);
  EXPECT_EQ(c.records.table[7].text, "");

  // Speeds: 70 km/h up to cell 40, 100 from 41; the last runs to cell 1137.
  EXPECT_EQ(c.records.cells[0].speed, 14);
  EXPECT_EQ(c.records.cells[40].speed, 14);
  EXPECT_EQ(c.records.cells[41].speed, 20);
  EXPECT_EQ(c.records.cells[1137].speed, 20);
  EXPECT_EQ(c.records.cells[1138].speed, 0);
  EXPECT_EQ(c.records.cells[0].adhesion, 100);
  EXPECT_EQ(c.records.cells[1137].adhesion, 100);
  EXPECT_EQ(c.records.cells[1138].adhesion, 0);

  // Signals and slowdowns.
  EXPECT_EQ(c.records.cells[201].type, kCellSignal);
  EXPECT_EQ(c.records.cells[201].value_a, 40);
  EXPECT_EQ(c.records.cells[201].value_d, 6);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(c.records.cells[201 - 2 * k].marker, 60 + k);
  EXPECT_EQ(c.records.cells[763].signal_time, 130);
  EXPECT_EQ(c.records.cells[202].type, kCellSlowdownWarning);
  EXPECT_EQ(c.records.cells[226].type, kCellSlowdownStart);
  EXPECT_EQ(c.records.cells[240].type, kCellSlowdownEnd);

  // The rule pass places exactly eight points, all of value 180.
  std::vector<int> points;
  for (int i = 0; i <= c.records.last_cell(); ++i) {
    if (c.records.cells[i].type == kCellSpeedRestriction) {
      points.push_back(i);
      EXPECT_EQ(c.records.cells[i].value_a, 180) << i;
    }
  }
  EXPECT_EQ(points, (std::vector<int>{200, 208, 215, 220, 234, 697, 704, 710}));
}

TEST(TrainReaderTest, WarningBoardsBeforeTheFirstSignalRefuseIt) {
  CompilerFixture f;
  const std::string source =
      replaced(shipped_train_source(), "rallentamento,   11250,    50,  700, 1,  0,  0",
               "rallentamento,   11250,    50,  700, 1,  1,  0");
  f.compile(shipped_line_source(), source);
  EXPECT_EQ(f.compiled.log.error.code, kSignalCellTaken);
  EXPECT_EQ(f.compiled.log.error.position, 10000);
  EXPECT_EQ(f.compiled.records.cells[201].type, kCellSlowdownBoards);
  EXPECT_FALSE(file_exists(f.train_source_path()));
  // The store's own refusal, with the cell it found taken.
  ASSERT_FALSE(f.compiled.log.problems.empty());
  EXPECT_FALSE(f.compiled.log.problems.back().left_by_earlier);
  EXPECT_EQ(f.compiled.log.problems.back().cell, 201);
}

TEST(TrainReaderTest, Records) {
  const std::string first = station(1000, 12, 400, "A");  // from 800 to 1200
  const struct {
    const char* what;
    std::string train_source;
    int32_t code;
    int32_t position;                      // -1: not checked
    std::vector<std::vector<int>> speeds;  // cell, speed
  } cases[] = {
      {"a station 350 m after the previous end", first + station(1750, 12, 400), 0, -1, {}},
      {"a station 300 m after it", first + station(1700, 12, 400), kStationsTooClose, 1700, {}},
      {"a station off the 50 m grid", station(1025, 12, 400), kStationNotOn50, 1025, {}},
      {"a station length off the 100 m grid",
       station(1000, 12, 450),
       kStationLengthNotOn100,
       1000,
       {}},
      {"a station ending at 0 m", station(0, 12, 0), kStationEndTooEarly, 0, {}},
      {"a station lacking a number",
       "stazione, 1000, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 10,0, A\r\nx\r\n",
       kRunTimeFailure,
       -1,
       {}},
      {"a station beyond the cells with its margin",
       station(56250, 12, 400),
       kBeyondCells,
       56250,
       {}},
      {"a station whose end lies beyond the cells",
       station(56000, 7, 1600),
       kBeyondCells,
       56000,
       {}},
      {"speeds of 72 and 73 km/h",
       "velocita, 0, 72\r\nvelocita, 100, 73\r\nvelocita, 200, 70\r\n",
       0,
       -1,
       {{0, 14}, {1, 14}, {2, 15}, {3, 15}, {4, 14}}},
      {"a speed record in capitals inside a longer field",
       "LIMITE_VELOCITA_MAX, 2050, 100\r\n",
       0,
       -1,
       {{0, 0}, {40, 0}, {41, 20}}},
      {"a header is not a speed record", "[vel_limite], 2050, 100\r\n", 0, -1, {{41, 0}}},
      {"two separators, then a keyword field holding a dash",
       "velocita, 0, 70\r\n--, --, velocita--, 2050, 100\r\n",
       0,
       -1,
       {{40, 14}, {41, 20}}},
      {"one separator: the keyword field holding a dash is skipped too",
       "velocita, 0, 70\r\n--, velocita--, 2050, 100\r\n",
       0,
       -1,
       {{41, 14}}},
      {"a speed beyond the cells", "velocita, 56950, 10\r\n", kBeyondCells, 56950, {}},
      {"a speed whose fifth does not fit a byte",
       "velocita, 0, 1278\r\nvelocita, 100, 1\r\n",
       kRunTimeFailure,
       -1,
       {}},
      {"a signal too close to the start for its markers",
       "segnale, 300, 2, 4, 1, 0, 0, 0, 0,0,0, 0\r\n",
       kBeyondCells,
       300,
       {}},
      {"a signal at 350 m", "segnale, 350, 2, 4, 1, 0, 0, 0, 0,0,0, 0\r\n", 0, -1, {}},
      {"a slowdown whose end lies beyond the cells",
       "rallentamento, 56000, 50, 2000, 0, 0, 0\r\n",
       kBeyondCells,
       56000,
       {}},
      {"an abbattimento point before the start",
       "abbattimento, -100, 5\r\n",
       kBeyondCells,
       -100,
       {}},
      {"an abbattimento point on a signal",
       "segnale, 10000, 2, 4, 1, 0, 0, 0, 0,0,0, 0\r\nabbattimento, 10050, 5\r\n",
       kRestrictionCellTaken,
       10050,
       {}},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.what);
    CompilerFixture f;
    f.compile(small_line_source(""), train(t.train_source));
    EXPECT_EQ(f.compiled.log.error.code, t.code);
    if (t.position >= 0) {
      EXPECT_EQ(f.compiled.log.error.position, t.position);
    }
    for (const auto& s : t.speeds) EXPECT_EQ(f.compiled.records.cells[s[0]].speed, s[1]) << s[0];
    EXPECT_FALSE(file_exists(f.train_source_path()));
    // Only the failure handler deletes the line source after it was read... it is gone anyway.
    EXPECT_FALSE(file_exists(f.line_source_path()));
  }
}

TEST(TrainReaderTest, StationsAndTheTable) {
  // A station lacking its name takes the next record's keyword, and that record is skipped.
  CompilerFixture nameless;
  nameless.compile(small_line_source(""),
                   train("stazione, 1000, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 10,0,0\r\n"
                         "velocita, 0, 100\r\n"));
  EXPECT_EQ(nameless.compiled.log.error.code, 0);
  EXPECT_EQ(nameless.compiled.records.table[1].text, "velocita");
  EXPECT_EQ(nameless.compiled.records.cells[0].speed, 0);

  // Kinds: 5 and 6 end 150 m after their position with an end cell but no markers; 7 and 8 run
  // a whole length each way; 25 and above touch no cell.
  CompilerFixture kinds;
  kinds.compile(small_line_source(""),
                train(station(5000, 5, 400) + station(10000, 7, 300) + station(20000, 25, 400)));
  EXPECT_EQ(kinds.compiled.log.error.code, 0);
  const ScenarioTable& t = kinds.compiled.records.table;
  EXPECT_EQ(t[1].start, 4600);
  EXPECT_EQ(t[1].end, 5150);
  EXPECT_EQ(kinds.compiled.records.cells[102].type, kCellStationEnd);
  EXPECT_EQ(kinds.compiled.records.cells[101].marker, 0);
  EXPECT_EQ(t[2].start, 9700);
  EXPECT_EQ(t[2].end, 10300);
  EXPECT_EQ(kinds.compiled.records.cells[205].value_a, 2);
  EXPECT_EQ(kinds.compiled.records.cells[204].marker, 81);
  EXPECT_EQ(kinds.compiled.records.cells[201].marker, 84);
  EXPECT_EQ(t[3].start, 19800);
  EXPECT_EQ(t[3].end, 20200);
  EXPECT_EQ(kinds.compiled.records.cells[403].type, kCellEmpty);
  EXPECT_EQ(kinds.compiled.records.cells[402].marker, 0);

  // Stations fill the table from entry 1 and must stay below the signboard texts.
  std::string signboards;
  for (int i = 0; i < 79; ++i)
    signboards += "cartello_indicatore, " + std::to_string(100 * i) + ", (s)\r\n";
  CompilerFixture full;
  full.compile(small_line_source(signboards),
               train(station(10000, 12, 400) + station(20000, 12, 400)));
  EXPECT_EQ(full.compiled.log.error.code, kStationsMeetSignboards);
  EXPECT_EQ(full.compiled.records.table[1].position, 10000);
  EXPECT_EQ(full.compiled.records.table[2].text, "(s)");

  // With 80 signboard texts not even entry 1 is left: the station is refused untouched.
  CompilerFixture fuller;
  fuller.compile(small_line_source(signboards + "cartello_indicatore, 7900, (last)\r\n"),
                 train(station(10000, 12, 400)));
  EXPECT_EQ(fuller.compiled.log.error.code, kStationsMeetSignboards);
  EXPECT_EQ(fuller.compiled.records.table[1].text, "(last)");
  EXPECT_EQ(fuller.compiled.records.table[1].position, 0);
}

TEST(TrainReaderTest, WhatTheLineSourceLeaves) {
  // Without "[generale]" nothing is stored; the tails go on with the line reader's leftovers:
  // the last speed indicator's first speed, 90 km/h, makes 18.
  CompilerFixture headless;
  headless.compile(shipped_line_source(), "velocita, 0, 70\r\n[fine]\r\n");
  EXPECT_EQ(headless.compiled.log.error.code, 0);
  EXPECT_EQ(headless.compiled.records.cells[0].speed, 18);
  EXPECT_EQ(headless.compiled.records.cells[1137].speed, 18);
  EXPECT_EQ(headless.compiled.records.cells[0].adhesion, 0);

  // Error 15 from the line source: the first signal ends the reading with its own position.
  CompilerFixture beyond;
  beyond.compile(small_line_source("pendenza, 56950, 1\r\n"),
                 train("segnale, 10000, 2, 4, 1, 0, 0, 0, 0,0,0, 0\r\nvelocita, 0, 70\r\n"));
  EXPECT_EQ(beyond.compiled.log.error.code, kBeyondCells);
  EXPECT_EQ(beyond.compiled.log.error.position, 10000);
  EXPECT_EQ(beyond.compiled.records.cells[0].speed, 0) << "no tails after a stop";
  // The signal's store took it: the problem says the code was left by the line source's.
  ASSERT_EQ(beyond.compiled.log.problems.size(), 2u);
  EXPECT_TRUE(beyond.compiled.log.problems[1].left_by_earlier);
  EXPECT_EQ(beyond.compiled.records.cells[201].type, kCellSignal);

  // After a 15 of the train source, a chainage reference off the grid turns it into 2.
  CompilerFixture chainage;
  chainage.compile(
      small_line_source(
          "", "lunghezza percorso, 50000\r\nprogressiva chilometrica uno, 0, 39025, 0\r\n"),
      train("velocita, 56950, 10\r\n"));
  EXPECT_EQ(chainage.compiled.log.error.code, kChainageNotOn50);
  EXPECT_EQ(chainage.compiled.log.error.position, 56950);

  // A missing train source is a run-time failure: the line source is deleted all the same.
  CompilerFixture missing;
  write_file_bytes(missing.line_source_path(), small_line_source(""));
  memorizza_percorso(missing.options, &missing.compiled);
  EXPECT_EQ(missing.compiled.log.error.code, kRunTimeFailure);
  EXPECT_FALSE(file_exists(missing.line_source_path()));
}

TEST(TrainReaderTest, TheSpeedAndAdhesionBeforeTheFirstPointsComeFromTheLineSource) {
  // The train source sets neither: its tails run on with what the line's last tunnel and speed
  // indicator rows left, whichever came later, even a row that was refused.
  const struct {
    const char* what;
    const char* features;
    uint8_t speed, adhesion;
  } cases[] = {
      {"nothing", "", 0, 0},
      {"an indicator: its first speed and first stripes",
       "indicatori_vmax, 500, 65,70,80,3, 100,100,100,4\r\n", 13, 3},
      {"a later tunnel: its end as the speed",
       "indicatori_vmax, 500, 65,70,80,3,,,,0\r\nmontagna, 300, 400, 2\r\n", 80, 3},
      {"a later indicator wins over the tunnel",
       "montagna, 300, 400, 2\r\nindicatori_vmax, 500, 65,70,80,3,,,,0\r\n", 13, 3},
      {"an indicator beyond the cells still leaves its numbers",
       "indicatori_vmax, 56950, 90,70,80,7,,,,0\r\n", 18, 7},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.what);
    CompilerFixture c;
    c.compile(small_line_source(t.features), train(""));
    EXPECT_EQ(c.compiled.records.cells[0].speed, t.speed);
    EXPECT_EQ(c.compiled.records.cells[0].adhesion, t.adhesion);
    EXPECT_EQ(c.compiled.records.cells[1000].speed, t.speed);
  }
}

TEST(TrainReaderTest, TheLastFieldIsNeverExamined) {
  CompilerFixture f;
  f.compile(small_line_source(""), "[generale]\r\nvelocita, 0, 70\r\nsegnale");
  EXPECT_EQ(f.compiled.log.error.code, 0);
  EXPECT_EQ(f.compiled.records.cells[0].speed, 14);
}

TEST(TrainReaderTest, AbbattimentoPoints) {
  CompilerFixture f;
  f.compile(small_line_source(""), train("abbattimento, 5000, 60\r\nabbattimento, 6000, 0\r\n"
                                         "abbattimento, 7000, 70000\r\n"));
  EXPECT_EQ(f.compiled.log.error.code, 0);
  EXPECT_EQ(f.compiled.records.cells[100].type, kCellSpeedRestriction);
  EXPECT_EQ(f.compiled.records.cells[100].value_a, 60);
  EXPECT_EQ(f.compiled.records.cells[120].type, kCellNoRestriction);
  EXPECT_EQ(f.compiled.records.cells[120].value_a, 0);
  EXPECT_EQ(f.compiled.records.cells[140].value_a, 70000 - 65536);  // low 16 bits
}

TEST(TrainReaderTest, StationNameIsReadBeforeItsTime) {
  // Cut short before its name at the end of the file: 25, and the entry holds no time.
  CompilerFixture cut;
  cut.compile(small_line_source(""),
              "[generale]\r\nstazione, 1000, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 13,8,0\r\n");
  EXPECT_EQ(cut.compiled.log.error.code, kRunTimeFailure);
  EXPECT_EQ(cut.compiled.records.table[1].position, 1000);
  EXPECT_EQ(cut.compiled.records.table[1].time, 0);

  // A time that overflows 32 bits: 25, with the name already stored.
  CompilerFixture overflow;
  overflow.compile(small_line_source(""),
                   train("stazione, 1000, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 1000000,0,0, Orte\r\n"));
  EXPECT_EQ(overflow.compiled.log.error.code, kRunTimeFailure);
  EXPECT_EQ(overflow.compiled.records.table[1].text, "Orte");
  EXPECT_EQ(overflow.compiled.records.table[1].time, 0);
}

TEST(TrainReaderTest, PositionsNearThe32BitLimitFailTheCheck) {
  // The check is made in floating point: the record ends the reading with 15 at its position,
  // the tails are written.
  const struct {
    const char* what;
    std::string records;
    int32_t position;
  } cases[] = {
      {"speed limit", "velocita, 2147483600, 70\r\n", 2147483600},
      {"station, with its margin of 800", station(2147483000, 12, 400), 2147483000},
      {"signal", "segnale, 2147483647, 2, 4, 1, 0, 0, 0, 0,0,0, 0\r\n", 2147483647},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CompilerFixture f;
    f.compile(small_line_source(""), train("velocita, 0, 70\r\n" + c.records));
    EXPECT_EQ(f.compiled.log.error.code, kBeyondCells);
    EXPECT_EQ(f.compiled.log.error.position, c.position);
    EXPECT_EQ(f.compiled.records.cells[1137].speed, 14) << "the tails are written";
  }
}
