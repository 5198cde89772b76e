#include "compiler/binary_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "common/little_endian.h"
#include "compiler/line_plan.h"

namespace {

// Values at a place in a file's bytes, through the decoder that reads the files back.
uint16_t u16_at(const std::string& b, size_t at) {
  const std::string from = b.substr(at);
  LittleEndianReader in(from);
  return in.u16();
}
double f64_at(const std::string& b, size_t at) {
  const std::string from = b.substr(at);
  LittleEndianReader in(from);
  return in.f64();
}

// A value of its own for a field of a record: a number as it wraps in the field's width, a text
// as long as the number says.
template <typename T>
void give(T* field, int value) {
  *field = static_cast<T>(value);
}
void give(std::string* field, int value) {
  *field = std::string(size_t(value < 0 ? -value : value) % 300, char('a' + (value & 15)));
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

TEST(BinaryLayoutTest, EachRecordDecodesToWhatWasEncoded) {
  // Every field a value of its own, at the edges of its width.
  std::vector<TrackCell> cells(3);
  int k = 0;
#define TRACK_CELL_FIELD(name, width) cells[1].name = decltype(cells[1].name)(-1 - k++);
#include "compiler/record_fields.def"
  cells[2].value_d = -32768;
  cells[2].adhesion = 255;
  std::vector<TrackCell> cells_back;
  ASSERT_TRUE(decode_track_cells(encode_track_cells(cells), "D", &cells_back).ok());
  ASSERT_EQ(cells_back.size(), cells.size());
  for (size_t i = 0; i < cells.size(); ++i) {
#define TRACK_CELL_FIELD(name, width) EXPECT_EQ(cells_back[i].name, cells[i].name) << #name;
#include "compiler/record_fields.def"
  }

  ScenarioTable table;
  for (int e = 0; e < kTableEntries; ++e) {
    int f = e;
#define TABLE_ENTRY_FIELD(name, width) give(&table[e].name, f++ * 37 - 900);
#include "compiler/record_fields.def"
  }
  table[85].time = -2147483647 - 1;
  table[86].text = std::string(65535, '\xe8');
  const std::string bytes = encode_scenario_table(table);
  ScenarioTable table_back;
  ASSERT_TRUE(decode_scenario_table(bytes, "S", &table_back).ok());
  for (int e = 0; e < kTableEntries; ++e) {
#define TABLE_ENTRY_FIELD(name, width) EXPECT_EQ(table_back[e].name, table[e].name) << e << #name;
#include "compiler/record_fields.def"
  }

  // Cut short or grown, each file is refused, never read in part.
  const std::string cell_bytes = encode_track_cells(cells);
  EXPECT_FALSE(decode_track_cells(cell_bytes.substr(0, 44), "D", &cells_back).ok());
  EXPECT_EQ(decode_scenario_table(bytes.substr(0, bytes.size() - 1), "S", &table_back).message(),
            "S: cut short in table entry 86");
  EXPECT_EQ(decode_scenario_table(bytes + "x", "S", &table_back).message(),
            "S: 1 bytes follow the 87 table entries: not a scenario table");
}

TEST(BinaryLayoutTest, TheLinePlanDecodesToItsPoints) {
  LinePlan plan;
  plan.points = 1000;
  plan.origin_set = true;
  plan.runs = {{2, 400, 0}, {401, 700, 0.001}, {701, 900, -0.0004}};
  plan.computed_end = 901;
  LinePlanPoints back;
  ASSERT_TRUE(decode_line_plan(encode_line_plan(plan), "L", &back).ok());
  const std::vector<PlanPoint> points = plan_points(plan);
  ASSERT_EQ(back.x.size(), 1000u);
  EXPECT_TRUE(back.origin_set);
  EXPECT_EQ(back.computed_end, 901);
  for (size_t m = 0; m < points.size(); ++m) {
    ASSERT_EQ(back.x[m], points[m].x) << m;
    ASSERT_EQ(back.y[m], points[m].y) << m;
  }
  EXPECT_EQ(back.x[999], 0.0) << "unset points read as 0";
  const std::string bytes = encode_line_plan(plan);
  EXPECT_EQ(decode_line_plan(bytes.substr(0, bytes.size() - 1), "L", &back).message(),
            "L: cut short inside a point");
}
