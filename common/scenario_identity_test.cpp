#include "common/scenario_identity.h"

#include <gtest/gtest.h>

#include "test_support/hostile_names.h"

TEST(ScenarioNamesTest, HostileNamesAreRefusedWithTheirReason) {
  for (const HostileName& h : hostile_names("/elsewhere")) {
    SCOPED_TRACE(h.what);
    const std::string refused = scenario_names_refusal(h.scenario, "--line", "--train");
    EXPECT_NE(refused.find(h.says), std::string::npos) << refused;
    // One line, whatever the name holds, and the name it refuses is labelled.
    EXPECT_EQ(refused.find('\n'), std::string::npos) << refused;
    EXPECT_EQ(refused.find('\0'), std::string::npos) << refused;
    EXPECT_EQ(refused.compare(0, 2, "--"), 0) << refused;
  }
}

TEST(ScenarioNamesTest, PlainNamesAreAccepted) {
  for (const ScenarioIdentity& s : accepted_names()) {
    EXPECT_EQ(scenario_names_refusal(s, "--line", "--train"), "") << s.line_name;
  }
}

TEST(ScenarioNamesTest, AHugeNameIsQuotedShort) {
  // A damaged installer may carry a name of any length: the message stays one short line.
  const std::string refused =
      scenario_names_refusal({std::string(1 << 20, 'a'), "7545"}, "its line name", "its train");
  EXPECT_LT(refused.size(), 400u) << refused;
  EXPECT_NE(refused.find("\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa...\""), std::string::npos)
      << refused;
  EXPECT_NE(refused.find("1048626 bytes, over the 255"), std::string::npos) << refused;
}
