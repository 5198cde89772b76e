#include "tools/analysis/words.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

// A table whose chainage entries 81 to 83 hold `references` (position, value), farthest first.
ScenarioTable with_references(const std::vector<std::pair<int32_t, int32_t>>& references) {
  ScenarioTable table;
  for (size_t i = 0; i < references.size(); ++i) {
    table[kChainageEntry3 + i].start = references[i].first;
    table[kChainageEntry3 + i].end = references[i].second;
  }
  return table;
}

}  // namespace

TEST(WordsTest, ChainageFollowsTheDirectionOfTheReferences) {
  const struct {
    const char* what;
    std::vector<std::pair<int32_t, int32_t>> references;
    int64_t metres;
    const char* text;
  } cases[] = {
      {"no reference", {}, 2100, ""},
      {"one reference: down the line, as shipped", {{0, 39150}}, 2100, "km 37+050"},
      {"down the line past its origin: no negative kilometre", {{0, 39150}}, 40000, ""},
      {"two references rising along the line", {{10000, 21000}, {0, 11000}}, 5000, "km 16+000"},
      {"rising, counted from the nearest reference before",
       {{10000, 30000}, {0, 11000}},
       12000,
       "km 32+000"},
      {"rising, before every reference", {{10000, 21000}, {2000, 13000}}, 1000, "km 12+000"},
      {"two references falling along the line", {{20000, 19150}, {0, 39150}}, 21000, "km 18+150"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(chainage_text(with_references(c.references), c.metres), c.text);
  }
}

TEST(WordsTest, ClockTextInEachStyle) {
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  const struct {
    int64_t seconds;
    const char* padded;
    const char* short_hours;
    const char* time_of_day;
  } cases[] = {
      {0, "00:00:00", "0:00:00", "00:00:00"},
      {59, "00:00:59", "0:00:59", "00:00:59"},
      {3599, "00:59:59", "0:59:59", "00:59:59"},
      {3600, "01:00:00", "1:00:00", "01:00:00"},
      {47280, "13:08:00", "13:08:00", "13:08:00"},
      {86399, "23:59:59", "23:59:59", "23:59:59"},
      // Past midnight: the hours go on, except as a time of day.
      {86400, "24:00:00", "24:00:00", "00:00:00"},
      {90061, "25:01:01", "25:01:01", "01:01:01"},
      {360000, "100:00:00", "100:00:00", "04:00:00"},
      // Before midnight: a sign, except as a time of day, which is the day before's.
      {-1, "-00:00:01", "-0:00:01", "23:59:59"},
      {-65, "-00:01:05", "-0:01:05", "23:58:55"},
      {-90061, "-25:01:01", "-25:01:01", "22:58:59"},
      // The extremes, whose magnitude does not fit a signed number.
      {kMax, "2562047788015215:30:07", "2562047788015215:30:07", "15:30:07"},
      {kMin, "-2562047788015215:30:08", "-2562047788015215:30:08", "08:29:52"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seconds);
    EXPECT_EQ(clock_text(c.seconds, ClockStyle::kPaddedHours), c.padded);
    EXPECT_EQ(clock_text(c.seconds, ClockStyle::kShortHours), c.short_hours);
    EXPECT_EQ(clock_text(c.seconds, ClockStyle::kTimeOfDay), c.time_of_day);
  }
}
