#include "compiler/row_walker.h"

#include <gtest/gtest.h>

#include "compiler/checked_math.h"

namespace {

// Walks the features of a line source and writes what was handed out: each keyword field
// tested, then each row it starts with its values, or the failure that stopped the walk.
std::string walk(const std::string& features, bool curve_values) {
  // A field after the rows: the last field of a source is never tested.
  RowWalker walker("x\r\n[generale]\r\n" + features + "\r\nend\r\n", curve_values);
  std::string out;
  try {
    if (!walker.skip_to_general()) return "no [generale]";
    while (walker.next_field()) {
      out += "[" + walker.field() + "]";
      while (const RowGrammar* row = walker.next_row(SourcePart::kFeatures)) {
        out += std::string(" ") + row->keyword + "(";
        if (walker.reads_values()) {
          for (int i = 0; i < row->numbers; ++i)
            out += (i ? " " : "") + std::to_string(walker.i32());
          if (row->text) out += " '" + walker.text() + "'";
        }
        out += ")";
      }
    }
  } catch (const RunTimeFailure& failure) {
    out += std::string(" failed: ") + failure.what();
  }
  return out;
}

}  // namespace

TEST(RowWalkerTest, HandsOutTheRowsAndValuesAsTheReadersReadThem) {
  const struct {
    const char* features;
    bool curve_values;
    const char* walked;
  } cases[] = {
      {"pendenza, 100, 2", true, "[pendenza] pendenza(100 2)"},
      // Up to two separators are passed over; a third is tested as a keyword field.
      {"-, --, pendenza, 1, 2", true, "[pendenza] pendenza(1 2)"},
      {"-, -, -, pendenza, 1, 2", true, "[-][pendenza] pendenza(1 2)"},
      // One field, several rows: each in the grammar's order, whatever the field's.
      {"montagna curvad3 pendenza, 1, 2, 3, 4, 5, 6, 7", true,
       "[montagna curvad3 pendenza] pendenza(1 2) curva(3 4) montagna(5 6 7)"},
      // Without the line plan a curve's numbers are fields like any other.
      {"curvad3, 1, 2", false, "[curvad3] curva()[1][2]"},
      {"curvad3, 1, 2", true, "[curvad3] curva(1 2)"},
      // A text is a value: never taken for a keyword.
      {"cartello_indicatore, 5, pendenza, 1, 2", true,
       "[cartello_indicatore] cartello(5 'pendenza')[1][2]"},
      // A row one value short fails on the next row's keyword, naming the value it wanted.
      {"montagna, 1, 2\r\npendenza, 3, 4", true,
       "[montagna] montagna(1 2 failed: tunnel kind: \"pendenza\" is not a number"},
      {"indicatori_vmax, 1, 2, 3, 4, 5, 6, 7, 8, 999999", true,
       "[indicatori_vmax] indicatori_v(1 2 3 4 5 6 7 8 999999)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.features);
    EXPECT_EQ(walk(c.features, c.curve_values), c.walked);
  }
}

TEST(RowWalkerTest, TheRowPositionIsItsFirstValueReadOrReadAhead) {
  RowWalker walker("[generale]\r\nstazione, 1000, 12, x\r\nend\r\n", true);
  ASSERT_TRUE(walker.skip_to_general());
  EXPECT_FALSE(walker.row_position());  // no row yet
  ASSERT_TRUE(walker.next_field());
  ASSERT_NE(walker.next_row(SourcePart::kTrain), nullptr);
  // Read ahead, then read as the row's first value all the same.
  EXPECT_EQ(walker.row_position(), 1000);
  EXPECT_EQ(walker.i32(), 1000);
  EXPECT_EQ(walker.u8(), 12);
  EXPECT_EQ(walker.row_position(), 1000);
  // The walk goes on where it was: the third value is not a number.
  EXPECT_THROW(walker.i32(), RunTimeFailure);
  EXPECT_EQ(walker.row_offset(), 12u);
}
