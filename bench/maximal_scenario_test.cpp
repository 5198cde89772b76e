#include "bench/maximal_scenario.h"

#include <gtest/gtest.h>

#include "compiler/scenario_compiler.h"

TEST(MaximalScenarioTest, CompilesCleanlyAndTheSameSeedGivesTheSameSources) {
  const ScenarioSources sources = maximal_scenario(1);
  Compilation compiled;
  EXPECT_EQ(
      memorizza_percorso(
          in_memory_options({"Massimo", "1"}, sources.line_source, sources.train_source), &compiled)
          .end,
      CompileEnd::kCompleted);
  EXPECT_EQ(compiled.log.error.code, 0);
  EXPECT_TRUE(compiled.log.problems.empty());
  EXPECT_EQ(compiled.records.last_cell(), 20140);
  EXPECT_EQ(compiled.records.tunnels.size(), 80u);
  // Signboard texts fill the table down to entry 41; the stations stop just below.
  EXPECT_FALSE(compiled.records.table[41].text.empty());
  EXPECT_TRUE(compiled.records.table[40].text.empty());
  EXPECT_EQ(compiled.records.table[38].text, "Stazione 38");

  const ScenarioSources again = maximal_scenario(1);
  EXPECT_EQ(again.line_source, sources.line_source);
  EXPECT_EQ(again.train_source, sources.train_source);
  EXPECT_NE(maximal_scenario(2).line_source, sources.line_source);
}
