#include <gtest/gtest.h>

#include "compiler/error_codes.h"
#include "compiler/feature_stores.h"
#include "compiler/scenario_compiler.h"

namespace {

// A compiler with the empty cells of a 50 km route.
Compilation with_cells() {
  Compilation c;
  c.records.cells.assign(1141, TrackCell());
  return c;
}

struct Signal {
  int32_t posizione, sx, s1, s2, s3, rapp, dx, d1, d2, d3, tempo;
};

// Stores `s`, its values as a signal row gives them.
void store(Compilation* c, Signal s) {
  SignalValues values;
  values.left = {s.sx, s.s1, s.s2, s.s3};
  values.ratio = s.rapp;
  values.right = {s.dx, s.d1, s.d2, s.d3};
  values.waiting_time = s.tempo;
  memo_segnale(c->records, c->log, s.posizione, values);
}

StoreRefusal store(Compilation* c, SlowdownRow s) {
  return memo_rallentamento(c->records, c->log, s);
}

}  // namespace

TEST(TrainStoresTest, Signals) {
  const struct {
    const char* what;
    Signal signal;
    int cell;
    int16_t a, b, c, d;
    uint8_t signal_time;
    int marker_base;  // markers base + 1 .. base + 4 in cells cell - 2 .. cell - 8
  } cases[] = {
      {"first signal of the train source",
       {10000, 2, 4, 1, 0, 0, 0, 0, 0, 0, 0},
       201,
       40,
       10,
       0,
       6,
       0,
       60},
      {"waiting time 130", {38100, 2, 3, 1, 0, 0, 0, 0, 0, 0, 130}, 763, 30, 10, 0, 6, 130, 60},
      {"sx 1: no waiting time", {37000, 1, 3, 1, 0, 0, 0, 0, 0, 0, 130}, 741, 30, 10, 0, 3, 0, 30},
      {"waiting time 50 is raised to 101",
       {10000, 2, 4, 1, 0, 0, 0, 0, 0, 0, 50},
       201,
       40,
       10,
       0,
       6,
       101,
       60},
      {"waiting time 300 keeps its low 8 bits",
       {10000, 2, 4, 1, 0, 0, 0, 0, 0, 0, 300},
       201,
       40,
       10,
       0,
       6,
       44,
       60},
      {"every value", {10000, 1, 1, 2, 3, 4, 2, 5, 6, 7, 0}, 201, 15, 26, 37, 45, 0, 50},
      {"16-bit values wrap", {10000, 0, 3277, 0, 0, 0, 0, 0, 0, 0, 0}, 201, -32766, 0, 0, 0, 0, 0},
      {"markers wrap to 8 bits", {10000, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 201, 0, 0, 0, 27, 0, 270},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.what);
    Compilation c = with_cells();
    store(&c, t.signal);
    EXPECT_EQ(c.log.error.code, 0);
    const TrackCell& cell = c.records.cells[t.cell];
    EXPECT_EQ(cell.type, kCellSignal);
    EXPECT_EQ(cell.value_a, t.a);
    EXPECT_EQ(cell.value_b, t.b);
    EXPECT_EQ(cell.value_c, t.c);
    EXPECT_EQ(cell.value_d, t.d);
    EXPECT_EQ(cell.signal_time, t.signal_time);
    for (int k = 1; k <= 4; ++k) {
      EXPECT_EQ(c.records.cells[t.cell - 2 * k].marker, uint8_t(t.marker_base + k)) << k;
      EXPECT_EQ(c.records.cells[t.cell - 2 * k + 1].marker, 0) << k;
    }
  }
}

TEST(TrainStoresTest, ASignalNeedsAFreeCell) {
  for (uint8_t type : {kCellSpeedIndicator, kCellSignboard, kCellStationEnd, kCellSlowdownEnd,
                       kCellSpeedRestriction}) {
    Compilation c = with_cells();
    c.records.cells[201].type = type;
    store(&c, Signal{10000, 2, 4, 1, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(c.log.error.code, kSignalCellTaken) << int(type);
    EXPECT_EQ(c.records.cells[201].type, type);
    EXPECT_EQ(c.records.cells[199].marker, 0) << "nothing is written";
  }
  Compilation c = with_cells();
  c.records.cells[201].type = kCellTunnelMarker;
  c.records.cells[199].type = kCellSignboard;  // markers need no free cell
  store(&c, Signal{10000, 2, 4, 1, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(c.log.error.code, 0);
  EXPECT_EQ(c.records.cells[201].type, kCellSignal);
  EXPECT_EQ(c.records.cells[199].marker, 61);
}

TEST(TrainStoresTest, Slowdowns) {
  const struct {
    const char* what;
    SlowdownRow slowdown;
    std::vector<std::vector<int>> cells;  // index, type, value_a, value_b, value_c
  } cases[] = {
      {"first slowdown of the train source",
       {11250, 50, 700, 1, 0, 0},
       {{202, 4, 50, 0, 0}, {226, 3, 50, 0, 1}, {240, 2, 50, 0, 1}, {201, 0, 0, 0, 0}}},
      {"with warning boards",
       {11250, 50, 700, 1, 1, 0},
       {{202, 4, 50, 0, 0},
        {201, 5, 1, 0, 0},
        {200, 5, 2, 0, 0},
        {199, 5, 3, 0, 0},
        {198, 5, 4, 0, 0},
        {197, 0, 0, 0, 0}}},
      {"with a second speed",
       {11250, 50, 700, 1, 1, 7},
       {{202, 4, 50, 7, 0},
        {226, 3, 50, 7, 1},
        {240, 2, 50, 7, 1},
        {201, 5, 1, 1, 0},
        {198, 5, 4, 4, 0}}},
      {"at 1500 m: no warning, boards ignored",
       {1500, 30, 100, 0, 1, 0},
       {{31, 3, 30, 0, 0}, {33, 2, 30, 0, 0}, {7, 0, 0, 0, 0}, {6, 0, 0, 0, 0}}},
      {"at 1550 m: warning cell 8, boards 7 to 4",
       {1550, 30, 100, 0, 1, 0},
       {{8, 4, 30, 0, 0}, {7, 5, 1, 0, 0}, {4, 5, 4, 0, 0}, {3, 0, 0, 0, 0}}},
      {"length 0: the start wins its shared cell",
       {5000, 40, 0, 2, 0, 0},
       {{101, 3, 40, 0, 2}, {77, 4, 40, 0, 0}}},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.what);
    Compilation c = with_cells();
    store(&c, t.slowdown);
    EXPECT_EQ(c.log.error.code, 0);
    for (const auto& e : t.cells) {
      const TrackCell& cell = c.records.cells[e[0]];
      EXPECT_EQ(cell.type, e[1]) << "cell " << e[0];
      EXPECT_EQ(cell.value_a, e[2]) << "cell " << e[0];
      EXPECT_EQ(cell.value_b, e[3]) << "cell " << e[0];
      EXPECT_EQ(cell.value_c, e[4]) << "cell " << e[0];
    }
  }
}

TEST(TrainStoresTest, ASlowdownNeedsItsCellsFree) {
  const struct {
    int occupied;
    int32_t code;
    std::vector<int> written;  // cells written before the refusal
  } cases[] = {
      {202, kWarningCellTaken, {}},
      {226, kSlowdownStartCellTaken, {}},
      {240, kSlowdownEndCellTaken, {}},
      {199, kWarningBoardCellTaken, {202, 226, 240}},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.occupied);
    Compilation c = with_cells();
    c.records.cells[t.occupied].type = kCellSignal;
    const StoreRefusal refused = store(&c, SlowdownRow{11250, 50, 700, 1, 1, 0});
    EXPECT_EQ(c.log.error.code, t.code);
    // The refusal names its code and the cell it found taken.
    EXPECT_EQ(refused.code, t.code);
    EXPECT_EQ(refused.cell, t.occupied);
    int written = 0;
    for (int i = 190; i <= 245; ++i) written += c.records.cells[i].type != 0 && i != t.occupied;
    EXPECT_EQ(written, int(t.written.size()));
    for (int i : t.written) EXPECT_NE(c.records.cells[i].type, 0) << i;
  }
}
