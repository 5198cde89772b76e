#include "compiler/minimo.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(MinimoTest, ReturnsTheSmallerAndTheFirstOfEqualValues) {
  const struct {
    int32_t x, y, result;
  } cases[] = {{180, 120, 120}, {180, 180, 180}, {180, 250, 180}, {-5, 3, -5}};
  for (const auto& c : cases) EXPECT_EQ(minimo(c.x, c.y), c.result) << c.x << ", " << c.y;
}

TEST(MinimoTest, EqualValuesGiveTheFirstArgument) {
  // Tell equal values apart by the object: the first one comes back.
  struct Tagged {
    int value;
    char tag;
    bool operator>(const Tagged& other) const { return value > other.value; }
  };
  EXPECT_EQ(minimo(Tagged{7, 'x'}, Tagged{7, 'y'}).tag, 'x');
}
