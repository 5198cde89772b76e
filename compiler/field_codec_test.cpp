#include "compiler/field_codec.h"

#include <gtest/gtest.h>

#include <climits>

TEST(FieldCodecTest, EachFieldReadsBackWhatItKept) {
  const struct {
    const char* what;
    int64_t value;
    int stored;     // the field's bits, as an unsigned 8-bit or signed 16-bit value
    int read_back;  // the field decoded
  } gradients[] =
      {
          {"level", 0, 100, 0},
          {"lowest kept", kLowestGradient, 0, -100},
          {"highest kept", kHighestGradient, 255, 155},
          {"one below wraps to the top", -101, 255, 155},
          {"one above wraps to the bottom", 156, 0, -100},
          {"a 32-bit gradient keeps its low bits", INT32_MIN, 100, 0},
      },
    adhesions[] = {
        {"zero", 0, 0, 0},
        {"highest kept", 255, 255, 255},
        {"256 wraps to 0", 256, 0, 0},
        {"negative wraps", -1, 255, 255},
    };
  for (const auto& t : gradients) {
    SCOPED_TRACE(t.what);
    EXPECT_EQ(encode_gradient(t.value), t.stored);
    EXPECT_EQ(decode_gradient(encode_gradient(t.value)), t.read_back);
  }
  for (const auto& t : adhesions) {
    SCOPED_TRACE(t.what);
    EXPECT_EQ(encode_adhesion(t.value), t.stored);
    EXPECT_EQ(decode_adhesion(encode_adhesion(t.value)), t.read_back);
  }
}

TEST(FieldCodecTest, SpeedsAndSpeedCodesRoundHalfToEven) {
  const struct {
    const char* what;
    int32_t first, second;  // a speed limit is `first` alone
    int stored;
    int first_back, second_back;
  } speeds[] =
      {
          {"a multiple of 5", 70, 0, 14, 70, 0},
          {"12.4 fifths round down", 62, 0, 12, 60, 0},
          {"2.6 fifths round up", 13, 0, 3, 15, 0},
          {"the highest speed", kHighestSpeed, 0, 255, 1275, 0},
          {"1277 km/h rounds down into range", 1277, 0, 255, 1275, 0},
      },
    codes[] = {
        {"first board only", 65, 0, 1300, 65, 0},
        {"second board's fifth", 100, 10, 2002, 100, 10},
        {"20 fifths or more carry into the first", 100, 105, 2021, 101, 5},
        {"second 12 km/h: 2.4 fifths round to 2", 1, 12, 22, 1, 10},
        {"second 13 km/h: 2.6 fifths round to 3", 1, 13, 23, 1, 15},
        {"the highest code", 1638, 35, 32767, 1638, 35},
        {"a negative code reads back truncated", -1, 0, -20, -1, 0},
    };
  for (const auto& t : speeds) {
    SCOPED_TRACE(t.what);
    EXPECT_EQ(encode_speed(t.first), t.stored);
    EXPECT_EQ(speed_fifths(t.first), t.stored);
    EXPECT_EQ(decode_speed(encode_speed(t.first)), t.first_back);
  }
  for (const auto& t : codes) {
    SCOPED_TRACE(t.what);
    const int16_t code = encode_speed_code(t.first, t.second, "code");
    EXPECT_EQ(code, t.stored);
    EXPECT_EQ(decode_speed_code(code).first_km_h, t.first_back);
    EXPECT_EQ(decode_speed_code(code).second_km_h, t.second_back);
  }
  // A speed with a decimal fraction (the reader rounds it to a whole one first) shows the
  // halves going to the even neighbour.
  EXPECT_EQ(speed_fifths(12.5), 2);
  EXPECT_EQ(speed_fifths(17.5), 4);
  EXPECT_EQ(speed_fifths(-2.5), 0);
}

TEST(FieldCodecTest, WhatDoesNotFitFailsOrWraps) {
  // Speeds beyond 255 fifths, and codes beyond 16 bits or whose first speed times 20 leaves
  // 32 bits, fail as the reading does.
  for (int32_t speed : {1278, -3, INT32_MAX}) {
    EXPECT_THROW(encode_speed(speed), RunTimeFailure) << speed;
  }
  for (int32_t first : {1639, -1639, INT32_MAX / 20 + 1}) {
    EXPECT_THROW(encode_speed_code(first, 0, "code"), RunTimeFailure) << first;
  }
  EXPECT_EQ(speed_fifths(1278), 256) << "the rounding alone does not fail";

  // Stripes and 16-bit values keep their low 16 bits.
  const struct {
    int32_t first, second;
    int64_t value;
    int16_t stored;
  } stripes[] = {
      {2, 3, 23, 23},
      {3276, 7, 32767, 32767},
      {3277, 0, 32770, -32766},
      {INT32_MAX, 5, int64_t(INT32_MAX) * 10 + 5, -5},
      {INT32_MIN, -1, int64_t(INT32_MIN) * 10 - 1, -1},
  };
  for (const auto& t : stripes) {
    EXPECT_EQ(stripes_value(t.first, t.second), t.value) << t.first;
    EXPECT_EQ(encode_stripes(t.first, t.second), t.stored) << t.first;
    EXPECT_EQ(wrap16(t.value), t.stored) << t.first;
  }
  EXPECT_EQ(wrap8(300), 44);
  EXPECT_EQ(wrap8(-1), 255);
}

TEST(FieldCodecTest, ASlowdownIsWarnedOnlyBeyond1500Metres) {
  EXPECT_FALSE(slowdown_warned(1500));
  EXPECT_TRUE(slowdown_warned(1501));
  EXPECT_FALSE(slowdown_warned(-5000));
  EXPECT_EQ(slowdown_warning_position(1550), 350);
  EXPECT_EQ(slowdown_warning_position(INT32_MAX), INT32_MAX - 1200);
  EXPECT_THROW(slowdown_warning_position(INT32_MIN), RunTimeFailure);
}
