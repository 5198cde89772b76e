#include "compiler/binary_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "compiler/line_plan.h"

namespace {

uint16_t u16_at(const std::string& b, size_t at) {
  return uint16_t((unsigned char)b[at] | (unsigned char)b[at + 1] << 8);
}
double f64_at(const std::string& b, size_t at) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | (unsigned char)b[at + i];
  double value;
  std::memcpy(&value, &bits, 8);
  return value;
}

}  // namespace

TEST(BinaryLayoutTest, TrackCellIsFifteenPackedLittleEndianBytes) {
  TrackCell cell;
  cell.type = 6;
  cell.value_a = 1300;
  cell.value_b = -2;
  cell.value_c = 0x1234;
  cell.value_d = 20;
  cell.signal_time = 130;
  cell.marker = 81;
  cell.tunnel_kind = 2;
  cell.speed = 14;
  cell.gradient = 85;
  cell.adhesion = 255;
  const std::string bytes = encode_track_cells({TrackCell(), cell});
  EXPECT_EQ(bytes, std::string(15, '\0') + std::string("\x06\x14\x05\xfe\xff\x34\x12\x14\x00"
                                                       "\x82\x51\x02\x0e\x55\xff",
                                                       15));
}

TEST(BinaryLayoutTest, TableEntryIs34BytesPlusItsText) {
  ScenarioTable table;
  TableEntry& e = table[1];
  e.kind = 12;
  e.start = -200;
  e.end = 250;
  e.position = 0;
  e.flag_a = 1;
  e.text = "VITERBO P. F.";
  e.value_1 = 4;
  e.value_5 = -1;
  e.flag_b = 2;
  e.flag_e = 9;
  e.time = 47280;
  const std::string bytes = encode_scenario_table(table);
  ASSERT_EQ(bytes.size(), 87 * kTableEntryBytes + 13);
  // Entry 0 is all zeros with an empty text (length word 0).
  EXPECT_EQ(bytes.substr(0, 34), std::string(34, '\0'));
  const std::string expected = std::string(
                                   "\x0c"
                                   "\x38\xff\xff\xff"
                                   "\xfa\x00\x00\x00"
                                   "\x00\x00\x00\x00"
                                   "\x01"
                                   "\x0d\x00",
                                   16) +
                               "VITERBO P. F." +
                               std::string(
                                   "\x04\x00"
                                   "\x00\x00"
                                   "\x00\x00"
                                   "\x00\x00"
                                   "\xff\xff"
                                   "\x02\x00\x00\x09"
                                   "\xb0\xb8\x00\x00",
                                   18);
  EXPECT_EQ(bytes.substr(34, 47), expected);
}

TEST(BinaryLayoutTest, LinePlanHoldsTaggedXsThenYs) {
  LinePlan plan;
  plan.points = 6;  // metres 0 to 5
  plan.origin_set = true;
  lay_run(&plan, 2, 0.001);  // metre 2 turns off +y: x = 0 + 0 + 0.001 * 1
  lay_run(&plan, 3, 0);      // metre 3 goes straight on
  // metres 4 and 5 are unset
  const std::string bytes = encode_line_plan(plan);
  // Per coordinate: two whole points (4 bytes each), two doubles (10 each), two unset (2 each).
  ASSERT_EQ(bytes.size(), 2 * (4 + 4 + 10 + 10 + 2 + 2));
  ASSERT_EQ(line_plan_half_bytes(plan), bytes.size() / 2);
  const size_t y = bytes.size() / 2;
  EXPECT_EQ(u16_at(bytes, 0), kPointWhole);
  EXPECT_EQ(u16_at(bytes, 2), 0);
  EXPECT_EQ(u16_at(bytes, y + 4), kPointWhole);
  EXPECT_EQ(u16_at(bytes, y + 6), 1);  // metre 1 lies at (0, 1)
  EXPECT_EQ(u16_at(bytes, 8), kPointDouble);
  EXPECT_EQ(f64_at(bytes, 10), 0.001);
  EXPECT_EQ(f64_at(bytes, y + 10), 2.0);
  EXPECT_EQ(f64_at(bytes, 20), 0.002);
  EXPECT_EQ(f64_at(bytes, y + 20), 3.0);
  EXPECT_EQ(bytes.substr(28, 4), std::string(4, '\0'));  // two unset x points: tags alone
  EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string(4, '\0'));

  LinePlan stopped;  // a plan whose reading stopped before its first points
  stopped.points = 6;
  EXPECT_EQ(encode_line_plan(stopped), std::string(2 * 6 * 2, '\0'));
  EXPECT_EQ(encode_line_plan(LinePlan()), "");  // no plan built
}

// The halves are produced side by side in pieces; a long plan spans many of them, and the
// bytes must not depend on where a piece ends.
TEST(BinaryLayoutTest, LongPlanIsTheSameAcrossPieceBoundaries) {
  LinePlan plan;
  plan.points = 250000;
  plan.origin_set = true;
  lay_run(&plan, 100000, 0);
  lay_run(&plan, 180000, 0.0004);
  lay_run(&plan, 249997, 0);
  const std::string bytes = encode_line_plan(plan);
  ASSERT_EQ(bytes.size(), 2 * line_plan_half_bytes(plan));
  ASSERT_GT(bytes.size(), 4 * PlacedPiece::kCapacity);
  const std::vector<PlanPoint> points = plan_points(plan);
  const size_t half = bytes.size() / 2;
  for (int32_t m = 2; m < plan.computed_end; m += 997) {
    const size_t at = 8 + size_t(m - 2) * 10;
    ASSERT_EQ(u16_at(bytes, at), kPointDouble) << m;
    ASSERT_EQ(f64_at(bytes, at + 2), points[m].x) << m;
    ASSERT_EQ(f64_at(bytes, half + at + 2), points[m].y) << m;
  }
  EXPECT_EQ(u16_at(bytes, half - 2), kPointUnset);
  EXPECT_EQ(u16_at(bytes, bytes.size() - 2), kPointUnset);
}

// A sink that refuses its n-th piece, like a disk filling up.
class RefusingSink : public TextPieceSink {
 public:
  explicit RefusingSink(int refused) : left_(refused) {}
  bool put(PlacedPiece piece) override {
    if (--left_ == 0) return false;
    return TextPieceSink::put(std::move(piece));
  }

 private:
  int left_;
};

TEST(BinaryLayoutTest, LinePlanStopsWhenThePiecesAreRefused) {
  LinePlan plan;
  plan.points = 300000;
  plan.origin_set = true;
  lay_run(&plan, 299997, 0.0001);
  for (int refused : {1, 2, 5}) {
    RefusingSink sink(refused);
    EXPECT_FALSE(encode_line_plan(plan, &sink)) << refused;
  }
  TextPieceSink all;
  EXPECT_TRUE(encode_line_plan(plan, &all));
}
