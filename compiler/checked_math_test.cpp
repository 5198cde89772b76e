#include "compiler/checked_math.h"

#include <gtest/gtest.h>

TEST(CheckedMathTest, NearestRoundsHalvesToTheEvenNeighbour) {
  const struct {
    double x;
    int32_t expected;
  } cases[] = {
      {0.5, 0},   {1.5, 2},       {2.5, 2},       {-0.5, 0},      {-1.5, -2},
      {-2.5, -2}, {14.4, 14},     {14.6, 15},     {1140, 1140},   {42.0, 42},
      {-0.4, 0},  {2.5000001, 3}, {72 / 5.0, 14}, {73 / 5.0, 15},  // a speed of 72 km/h is stored
                                                                   // as 14, 73 as 15
  };
  for (const auto& c : cases) EXPECT_EQ(nearest<int32_t>(c.x, "x"), c.expected) << c.x;
}

TEST(CheckedMathTest, ResultsThatDoNotFitTheirTargetFail) {
  EXPECT_EQ(nearest<int16_t>(32767.4, "v"), 32767);
  EXPECT_THROW(nearest<int16_t>(32767.5, "v"), RunTimeFailure);  // 32768 after rounding
  EXPECT_EQ(nearest<uint8_t>(254.5, "v"), 254);
  EXPECT_THROW(nearest<uint8_t>(255.5, "v"), RunTimeFailure);  // 256, the even neighbour
  EXPECT_THROW(nearest<uint8_t>(-0.6, "v"), RunTimeFailure);
  EXPECT_THROW(nearest<int32_t>(std::nan(""), "v"), RunTimeFailure);
  EXPECT_EQ(add32(2147483547, 100, "p"), 2147483647);
  EXPECT_THROW(add32(2147483548, 100, "p"), RunTimeFailure);
  EXPECT_THROW(mul32(200000000, 20, "p"), RunTimeFailure);
  EXPECT_EQ(fit<int16_t>(-32768, "t"), -32768);
  EXPECT_THROW(fit<uint8_t>(256, "t"), RunTimeFailure);
}
