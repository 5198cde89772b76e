#include <gtest/gtest.h>

#include "compiler/checked_math.h"
#include "compiler/error_codes.h"
#include "compiler/feature_stores.h"
#include "compiler/scenario_compiler.h"

namespace {

struct Reference {
  int32_t position, value, flag;
};

// The three chainage references after ordering, given R3, R2 and R1 as read.
std::array<Reference, 3> ordered(Reference r3, Reference r2, Reference r1) {
  Compilation c;
  const Reference in[3] = {r3, r2, r1};
  for (int i = 0; i < 3; ++i) {
    c.records.table[81 + i].start = in[i].position;
    c.records.table[81 + i].end = in[i].value;
    c.records.table[81 + i].position = in[i].flag;
  }
  progressive_ordina(c.records);
  std::array<Reference, 3> out;
  for (int i = 0; i < 3; ++i)
    out[i] = {c.records.table[81 + i].start, c.records.table[81 + i].end,
              c.records.table[81 + i].position};
  return out;
}

bool operator==(const Reference& a, const Reference& b) {
  return a.position == b.position && a.value == b.value && a.flag == b.flag;
}

std::ostream& operator<<(std::ostream& out, const Reference& r) {
  return out << "(" << r.position << ", " << r.value << ", " << r.flag << ")";
}

// A compiler with the cells of a 50 km route.
Compilation with_cells() {
  Compilation c;
  c.records.cells.assign(1141, TrackCell());
  return c;
}

}  // namespace

TEST(LineStoresTest, ChainageReferencesAreOrdered) {
  const Reference zero = {0, 0, 0};
  const Reference a = {12000, 30000, 0}, b = {5000, 20000, 0}, c = {0, 39050, 1};
  const Reference c_plus = {0, 39150, 1};
  const struct {
    const char* what;
    Reference r3, r2, r1;
    std::array<Reference, 3> expected;
  } cases[] = {
      {"the scenario's: only uno", zero, zero, c, {c_plus, zero, zero}},
      {"descending already", a, b, c, {a, b, c_plus}},
      {"uno furthest, tre nearest", {1, 2, 0}, b, a, {a, b, {1, 2, 0}}},
      {"due furthest, uno before tre", {100, 1, 0}, a, b, {a, b, {100, 1, 0}}},
      {"a tie for the greatest", {5000, 1, 0}, {5000, 2, 0}, {100, 3, 0}, {zero, zero, zero}},
      {"all at 0 with no value", zero, zero, {0, 0, 1}, {zero, zero, zero}},
      {"all at 0, values decide, the last rule wins",
       {0, 10, 0},
       {0, 20, 0},
       {0, 30, 0},
       {Reference{0, 30, 0}, Reference{0, 20, 0}, Reference{0, 10, 0}}},
      {"all at 0, only due has a value",
       {0, 0, 0},
       {0, 20, 1},
       zero,
       {Reference{0, 120, 1}, zero, zero}},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.what);
    const auto got = ordered(t.r3, t.r2, t.r1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(got[i], t.expected[i]) << "entry " << 81 + i;
  }
}

TEST(LineStoresTest, ChainageOverflowLeavesTheOrderedEntries) {
  // The three ordered references are stored first, then each flagged one gets 100 m: a sum that
  // overflows stops there, with the entries after it ordered but without their 100 m.
  const int32_t near_limit = 2147483600;
  const struct {
    const char* what;
    Reference r3, r2, r1;
    std::array<Reference, 3> expected;
  } cases[] = {
      {"entry 81 overflows",
       {0, 30000, 0},
       {5000, 20000, 0},
       {12000, near_limit, 1},
       {Reference{12000, near_limit, 1}, Reference{5000, 20000, 0}, Reference{0, 30000, 0}}},
      {"entry 82 overflows after 81 got its 100 m",
       {0, 30000, 1},
       {5000, near_limit, 1},
       {12000, 39050, 1},
       {Reference{12000, 39150, 1}, Reference{5000, near_limit, 1}, Reference{0, 30000, 1}}},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.what);
    Compilation c;
    const Reference in[3] = {t.r3, t.r2, t.r1};
    for (int i = 0; i < 3; ++i) {
      c.records.table[81 + i].start = in[i].position;
      c.records.table[81 + i].end = in[i].value;
      c.records.table[81 + i].position = in[i].flag;
    }
    EXPECT_THROW(progressive_ordina(c.records), RunTimeFailure);
    for (int i = 0; i < 3; ++i) {
      const Reference got{c.records.table[81 + i].start, c.records.table[81 + i].end,
                          c.records.table[81 + i].position};
      EXPECT_EQ(got, t.expected[i]) << "entry " << 81 + i;
    }
  }
}

TEST(LineStoresTest, TunnelKindsAndMarkers) {
  Compilation c = with_cells();
  const struct {
    int32_t inizio, fine, tipo;
    int32_t kind_after;  // the kind the store reports it laid
  } tunnels[] = {
      {6950, 7050, 2, 2},     // cells 139..140
      {7200, 7400, 12, 3},    // 150 m after the previous end: kind 3, markers kept
      {7600, 7800, 2, 2},     // 200 m after: keeps its kind
      {11200, 12000, 12, 2},  // cells 224..239, markers in 227, 231, 235, 239
      {20000, 19000, 5, 5},   // ends before it starts: listed, marks nothing
  };
  for (auto t : tunnels) {
    int32_t kind = -1;
    memo_montagna(c.records, c.log, {t.inizio, t.fine, t.tipo}, &kind);
    EXPECT_EQ(kind, t.kind_after) << t.inizio;
  }
  EXPECT_EQ(c.log.error.code, 0);
  ASSERT_EQ(c.records.tunnels.size(), 5u);
  EXPECT_EQ(c.records.tunnels[4].start, 20000);
  EXPECT_EQ(c.records.tunnels[4].end, 19000);
  EXPECT_EQ(c.records.cells[139].tunnel_kind, 2);
  EXPECT_EQ(c.records.cells[140].tunnel_kind, 2);
  EXPECT_EQ(c.records.cells[141].tunnel_kind, 0);
  for (int i = 144; i <= 147; ++i) EXPECT_EQ(c.records.cells[i].tunnel_kind, 3) << i;
  EXPECT_EQ(c.records.cells[147].type, kCellTunnelMarker);
  for (int i = 224; i <= 239; ++i) {
    EXPECT_EQ(c.records.cells[i].tunnel_kind, 2) << i;
    EXPECT_EQ(c.records.cells[i].type, (i - 223) % 4 == 0 ? kCellTunnelMarker : kCellEmpty) << i;
  }
  for (int i = 380; i <= 400; ++i) EXPECT_EQ(c.records.cells[i].tunnel_kind, 0) << i;

  // A marker goes only where the cell is still empty.
  Compilation taken = with_cells();
  taken.records.cells[227].type = kCellSignboard;
  int32_t kind = 0;
  memo_montagna(taken.records, taken.log, {11200, 12000, 12}, &kind);
  EXPECT_EQ(taken.records.cells[227].type, kCellSignboard);
  EXPECT_EQ(taken.records.cells[231].type, kCellTunnelMarker);
}

TEST(LineStoresTest, SpeedIndicators) {
  const struct {
    const char* what;
    IndicatorBoard first, second;  // speeds A, B, C and stripes of each board
    int16_t a, b, c, d;
  } cases[] = {
      {"first speeds only", {65, 70, 80, 0}, {0, 0, 0, 0}, 1300, 1400, 1600, 0},
      {"second speeds", {100, 105, 110, 0}, {100, 105, 110, 0}, 2020, 2121, 2222, 0},
      {"stripes", {70, 75, 75, 2}, {0, 0, 0, 3}, 1400, 1500, 1500, 23},
      {"second speeds add their fifth, rounded", {1, 1, 1, 0}, {12, 13, 17, 0}, 22, 23, 23, 0},
      {"stripes wrap to 16 bits", {0, 0, 0, 3277}, {0, 0, 0, 0}, 0, 0, 0, -32766},
      {"stripes wrap whatever their size", {0, 0, 0, 2147483647}, {0, 0, 0, 5}, 0, 0, 0, -5},
      {"negative stripes wrap the same way",
       {0, 0, 0, -2147483647 - 1},
       {0, 0, 0, -1},
       0,
       0,
       0,
       -1},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.what);
    Compilation c = with_cells();
    memo_indicatori_v_max(c.records, c.log, 500, t.first, t.second);
    const TrackCell& cell = c.records.cells[11];
    EXPECT_EQ(cell.type, kCellSpeedIndicator);
    EXPECT_EQ(cell.value_a, t.a);
    EXPECT_EQ(cell.value_b, t.b);
    EXPECT_EQ(cell.value_c, t.c);
    EXPECT_EQ(cell.value_d, t.d);
  }
}

TEST(LineStoresTest, SpeedIndicatorNeedsAFreeCellAndA16BitCode) {
  Compilation c = with_cells();
  const IndicatorBoard first{65, 70, 80, 0}, second;
  c.records.cells[11].type = kCellTunnelMarker;  // free: the indicator replaces it
  memo_indicatori_v_max(c.records, c.log, 500, first, second);
  EXPECT_EQ(c.records.cells[11].type, kCellSpeedIndicator);
  c.records.cells[12].type = kCellSignboard;
  memo_indicatori_v_max(c.records, c.log, 550, first, second);
  EXPECT_EQ(c.log.error.code, kIndicatorCellTaken);
  EXPECT_EQ(c.records.cells[12].type, kCellSignboard);
  EXPECT_EQ(c.records.cells[12].value_a, 0);

  const IndicatorBoard big{1639, 0, 0, 0};  // 32780 does not fit 16 bits
  EXPECT_THROW(memo_indicatori_v_max(c.records, c.log, 1000, big, second), RunTimeFailure);
}
