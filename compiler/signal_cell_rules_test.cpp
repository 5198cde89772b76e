#include "compiler/signal_cell_rules.h"

#include <gtest/gtest.h>

#include <map>

#include "compiler/error_codes.h"
#include "compiler/scenario_compiler.h"

namespace {

// The cells of a 50 km route, empty but for what a test puts in, and the rule pass over them.
class RulesFixture {
 public:
  RulesFixture() { c_.records.cells.assign(1141, TrackCell()); }

  void put(int index, uint8_t type, int16_t value_a = 0) {
    c_.records.cells[index].type = type;
    c_.records.cells[index].value_a = value_a;
  }
  // A slowdown of `speed` from cell `start` to cell `end`.
  void slowdown(int start, int end, int16_t speed) {
    put(start, kCellSlowdownStart, speed);
    put(end, kCellSlowdownEnd, speed);
  }
  // Runs the rule pass and returns the cells that hold a speed restriction point.
  std::map<int, int16_t> run() {
    apply_signal_cell_rules(c_.records, c_.log);
    std::map<int, int16_t> points;
    for (int i = 0; i < int(c_.records.cells.size()); ++i) {
      if (c_.records.cells[i].type == kCellSpeedRestriction)
        points[i] = c_.records.cells[i].value_a;
    }
    return points;
  }
  const ErrorState& error() const { return c_.log.error; }
  const std::vector<Problem>& problems() const { return c_.log.problems; }

 private:
  Compilation c_;
};

using Points = std::map<int, int16_t>;

Points at180(std::initializer_list<int> cells) {
  Points points;
  for (int i : cells) points[i] = 180;
  return points;
}

}  // namespace

TEST(SignalCellRulesTest, WarningLookBack) {
  const struct {
    const char* what;
    std::vector<std::vector<int>> cells;  // index, type, value_a
    Points points;
    int32_t code, position;
  } cases[] = {
      {"a free cell just before the signal", {{100, 4}, {96, 1}}, at180({95}), 0, 0},
      {"a free cell is preferred to an existing point",
       {{100, 4}, {96, 1}, {95, 12, 250}},
       {{95, 250}, {94, 180}},
       0,
       0},
      {"an existing point is lowered to 180",
       {{100, 4}, {96, 1}, {95, 12, 250}, {94, 6}},
       {{95, 180}},
       0,
       0},
      {"a lower point keeps its value",
       {{100, 4}, {96, 1}, {95, 12, 120}, {94, 6}},
       {{95, 120}},
       0,
       0},
      {"the second cell's point when the first holds something else",
       {{100, 4}, {96, 1}, {95, 14}, {94, 12, 250}},
       {{94, 180}},
       0,
       0},
      {"no room", {{100, 4}, {96, 1}, {95, 14}, {94, 6}}, {}, kNoRoomBeforeSignal, 96 * 50},
      {"signals up to 20 cells back, nearest first",
       {{100, 4}, {80, 1}, {79, 1}, {99, 1}},
       at180({98, 78}),
       0,
       0},
      {"a signal 21 cells back is not seen", {{100, 4}, {79, 1}}, {}, 0, 0},
      {"near the start cell 2 is not looked at", {{5, 4}, {4, 1}, {2, 1}}, at180({3}), 0, 0},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.what);
    RulesFixture f;
    for (const auto& c : t.cells) f.put(c[0], uint8_t(c[1]), int16_t(c.size() > 2 ? c[2] : 0));
    EXPECT_EQ(f.run(), t.points);
    EXPECT_EQ(f.error().code, t.code);
    if (t.code != 0) {
      EXPECT_EQ(f.error().position, t.position);
    }
  }
}

TEST(SignalCellRulesTest, SlowdownWindowsSpacingAndExit) {
  const struct {
    const char* what;
    std::vector<std::vector<int>> cells;  // index, type (or a slowdown: start, -1, end, speed)
    Points points;
    int32_t code, position;
  } cases[] = {
      {"a slow slowdown on an empty stretch",
       {{100, -1, 130, 50}},
       at180({82, 89, 95, 108, 116, 124}),
       0,
       0},
      {"a spacing cell taken: the point moves back and the rest follow",
       {{100, -1, 130, 50}, {108, 6}},
       at180({82, 89, 95, 107, 115, 123}),
       0,
       0},
      {"a spacing cell and the one before taken: one after",
       {{100, -1, 130, 50}, {108, 6}, {107, 6}},
       at180({82, 89, 95, 109, 117, 125}),
       0,
       0},
      {"no spacing cell free: error 13, no more points in the slowdown",
       {{100, -1, 130, 50}, {107, 6}, {108, 6}, {109, 6}},
       at180({82, 89, 95}),
       kNoFreeSpacingCell,
       5400},
      {"a window's first candidate taken",
       {{100, -1, 130, 50}, {95, 14}},
       at180({82, 89, 94, 108, 116, 124}),
       0,
       0},
      {"a window with no free candidate",
       {{100, -1, 130, 50}, {95, 14}, {94, 14}, {93, 14}},
       at180({82, 89, 108, 116, 124}),
       kNoFreeApproachCell,
       5000},
      {"a tunnel marker in a window takes the point",
       {{100, -1, 130, 50}, {95, 11}},
       at180({82, 89, 95, 108, 116, 124}),
       0,
       0},
      {"110 km/h or more: nothing inside", {{100, -1, 130, 110}}, at180({82, 89, 95}), 0, 0},
      {"a start at cell 7: no window", {{7, -1, 9, 120}}, {}, 0, 0},
      {"a start at cell 8: the first window only", {{8, -1, 10, 120}}, at180({3}), 0, 0},
      {"a signal after the end gets a point before it",
       {{100, -1, 130, 50}, {135, 1}},
       at180({82, 89, 95, 108, 116, 124, 134}),
       0,
       0},
      {"or two cells before it",
       {{100, -1, 130, 50}, {135, 1}, {134, 6}},
       at180({82, 89, 95, 108, 116, 124, 133}),
       0,
       0},
      {"or error 13 at the end's position",
       {{100, -1, 130, 50}, {135, 1}, {134, 6}, {133, 6}},
       at180({82, 89, 95, 108, 116, 124}),
       kNoFreeSpacingCell,
       6500},
      {"a signal 13 cells after the end is not seen",
       {{100, -1, 130, 50}, {143, 1}},
       at180({82, 89, 95, 108, 116, 124}),
       0,
       0},
      {"a fast slowdown's exit search starts at its own end",
       {{100, -1, 130, 120}, {135, 1}},
       at180({82, 89, 95, 134}),
       0,
       0},
      {"the exit search stops at the last cell",
       {{1120, -1, 1135, 120}},
       at180({1102, 1109, 1115}),
       0,
       0},
      {"a start with no end: error 15 at the start, nothing after it",
       {{1100, 3, 50}},
       at180({1082, 1089, 1095, 1108, 1116, 1124, 1132, 1140}),
       kBeyondCells,
       55000},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.what);
    RulesFixture f;
    for (const auto& c : t.cells) {
      if (c.size() == 4 && c[1] == -1) {
        f.slowdown(c[0], c[2], int16_t(c[3]));
      } else {
        f.put(c[0], uint8_t(c[1]), int16_t(c.size() > 2 ? c[2] : 0));
      }
    }
    EXPECT_EQ(f.run(), t.points);
    EXPECT_EQ(f.error().code, t.code);
    if (t.code != 0) {
      EXPECT_EQ(f.error().position, t.position);
    }
  }
}

TEST(SignalCellRulesTest, EveryProblemIsListedWhileTheErrorStateKeepsTheLast) {
  RulesFixture f;
  f.put(100, kCellSlowdownWarning);
  f.put(96, kCellSignal);
  f.put(95, kCellSignboard);
  f.put(94, kCellSignboard);
  f.slowdown(300, 310, 50);
  for (int i : {293, 294, 295}) f.put(i, kCellSignboard);
  f.run();
  ASSERT_EQ(f.problems().size(), 2u);
  EXPECT_EQ(f.problems()[0].code, kNoRoomBeforeSignal);
  EXPECT_EQ(f.problems()[0].position, 4800);
  EXPECT_EQ(f.problems()[1].code, kNoFreeApproachCell);
  EXPECT_EQ(f.problems()[1].position, 15000);
  EXPECT_EQ(f.error().code, kNoFreeApproachCell);
}
