#include "tools/words.h"

#include <gtest/gtest.h>

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
