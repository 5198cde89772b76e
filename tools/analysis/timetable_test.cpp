// check's warnings on the timetable: a station's time earlier than the one before it, less than
// the least running time at the line speed, the first station past 0 m before the start clock,
// and a station row lost to a misspelt keyword.
#include "tools/analysis/timetable.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support/temp_dir.h"
#include "tools/testing/tool_fixture.h"

namespace {

// The shipped line with a train source of the start clock `clock` and the station rows `rows`,
// at 90 km/h throughout: 2 s a 50 m cell, 8:18 for the 12450 m from 0 m.
ProcessResult check(const std::string& clock, const std::string& rows,
                    std::vector<std::string> options = {}) {
  TempDir dir;
  write_shipped_sources(dir);
  write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"),
                   "[generale]\r\norologio, " + clock + "\r\nvelocita, 0, 90\r\n[stazioni]\r\n" +
                       rows + "[fine]\r\n");
  options.insert(options.begin(), {"check", dir.path()});
  ProcessResult result = run_tool(options);
  result.err = replace_all(result.err, dir.path(), "DIR");
  return result;
}

std::string station(const std::string& position, int kind, const std::string& time,
                    const std::string& name) {
  return "stazione, " + position + ", " + std::to_string(kind) +
         ", 300, 0, 0, 0, 0,0,0, 4,1,1, 30, " + time + ", " + name + "\r\n";
}

const std::string kFirst = station("0", 12, "8,0,0", "PRIMA");

TEST(TimetableTest, EachWarningWithItsFirstLine) {
  const struct {
    const char* name;
    std::string clock;
    std::string rows;
    std::string first_line;  // the first line of the diagnostics; empty for none
    std::string note;        // a note the warning must hold; empty for none
  } cases[] = {
      {"in time", "7, 0, 0", kFirst + station("12450", 24, "8,9,0", "SECONDA"), "", ""},
      {"the least running time exactly", "7, 0, 0",
       kFirst + station("12450", 24, "8,8,18", "SECONDA"), "", ""},
      {"past midnight", "23, 0, 0",
       station("0", 12, "23,55,0", "PRIMA") + station("12450", 24, "0,5,0", "SECONDA"), "", ""},
      {"earlier than the one before", "7, 0, 0", kFirst + station("12450", 24, "7,59,0", "SECONDA"),
       "DIR/Viterbo_Attigliano_7545-.txt:6:1: warning: the station 'SECONDA' (kind 24) at "
       "07:59:00 is 1 min 00 s earlier than the station before it in the timetable, 'PRIMA' (kind 12) "
       "at 08:00:00",
       "note: the station before: line 5, 'PRIMA' (kind 12) at 0 m, 08:00:00"},
      {"too fast for the line speed", "7, 0, 0", kFirst + station("12450", 24, "8,8,0", "SECONDA"),
       "DIR/Viterbo_Attigliano_7545-.txt:6:1: warning: the station 'SECONDA' (kind 24) at "
       "08:08:00 is 8 min 00 s after the station before it in the timetable, 'PRIMA' (kind 12) at "
       "08:00:00: less than the least running time at the line speed, 8 min 18 s for 12450 m",
       "note: the least running time: each 50 m cell from 0 m to 12450 m at its line speed"},
      {"equal times", "7, 0, 0", kFirst + station("12450", 24, "8,0,0", "SECONDA"),
       "DIR/Viterbo_Attigliano_7545-.txt:6:1: warning: the station 'SECONDA' (kind 24) at "
       "08:00:00 is 0 min 00 s after the station before it in the timetable, 'PRIMA' (kind 12) at "
       "08:00:00: less than the least running time at the line speed, 8 min 18 s for 12450 m",
       ""},
      {"the first station past 0 m before the start clock", "9, 0, 0",
       kFirst + station("12450", 24, "8,30,0", "SECONDA"),
       "DIR/Viterbo_Attigliano_7545-.txt:6:1: warning: the station 'SECONDA' (kind 24) at "
       "08:30:00, the timetable's first past 0 m, comes before the start clock, 09:00:00 (the "
       "'orologio' row)",
       ""},
      {"kinds of 25 or more", "7, 0, 0",
       kFirst + station("12450", 27, "9,0,0", "SECONDA") + station("22850", 25, "8,50,0", "TERZA"),
       "DIR/Viterbo_Attigliano_7545-.txt:7:1: warning: the station 'TERZA' (kind 25) at 08:50:00 "
       "is 10 min 00 s earlier than the station before it in the timetable, 'SECONDA' (kind 27) at "
       "09:00:00",
       "note: this station is of kind 25: a station of kind 25 or more marks no end cell, and "
       "the simulator may treat its time differently"},
      {"a station lost to a misspelt keyword", "7, 0, 0",
       kFirst + "stazone, 12450, 24, 300, 0, 0, 0, 0,0,0, 4,1,1, 30, 8,9,0, SECONDA\r\n",
       "DIR/Viterbo_Attigliano_7545-.txt:6:1: warning: this 'stazone' row is passed over: the "
       "station 'SECONDA' will not be in the timetable; did you mean 'stazione'?",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessResult result = check(c.clock, c.rows);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err.substr(0, result.err.find('\n')), c.first_line);
    if (!c.note.empty()) {
      EXPECT_NE(result.err.find(c.note), std::string::npos) << result.err;
    }
    // One warning at most: the lost station's name gives none of its own.
    EXPECT_EQ(result.err.find("0 errors, 1 warning\n") != std::string::npos, !c.first_line.empty())
        << result.err;
    if (!c.first_line.empty()) {
      const ProcessResult refused = check(c.clock, c.rows, {"--werror"});
      EXPECT_EQ(refused.exit_status, 2) << refused.err;
    }
  }
}

TEST(TimetableTest, TheShippedSourcesGiveOneWarningOnly) {
  TempDir dir;
  write_shipped_sources(dir);
  const ProcessResult result = run_tool({"check", dir.path()});
  EXPECT_EQ(result.exit_status, 0);
  const std::string err = replace_all(result.err, dir.path(), "DIR");
  EXPECT_EQ(
      err.substr(0, err.find('\n')),
      "DIR/Viterbo_Attigliano_7545-.txt:22:1: warning: the station 'Sipicciano' (kind 24) at "
      "13:40:00 is 29 min 00 s earlier than the station before it in the timetable, 'Sipicciano "
      "S. Nicola' (kind 27) at 14:09:00");
  EXPECT_NE(err.find("note: the station before is of kind 27: a station of kind 25 or more "
                     "marks no end cell"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("0 errors, 1 warning\n"), std::string::npos) << err;
}

TEST(TimetableTest, LeastRunningTimeCellByCell) {
  std::vector<TrackCell> cells(4);
  cells[0].speed = cells[1].speed = uint8_t(90 / 5);  // 2 s a cell
  cells[2].speed = uint8_t(180 / 5);                  // 1 s
  // From the cell holding the lower position up to, not into, the one holding the higher.
  EXPECT_EQ(least_running_seconds(cells, 0, 150), 5.0);
  EXPECT_EQ(least_running_seconds(cells, 149, 10), 4.0);
  EXPECT_EQ(least_running_seconds(cells, 20, 40), 0.0);
  // A cell without line speed, or none at all, leaves it unknown.
  EXPECT_EQ(least_running_seconds(cells, 0, 200), std::nullopt);
  EXPECT_EQ(least_running_seconds(cells, -50, 100), std::nullopt);
  EXPECT_EQ(least_running_seconds(cells, 0, 1000), std::nullopt);
}

}  // namespace
