#include "bench/maximal_scenario.h"

#include <gtest/gtest.h>

#include "compiler/scenario_compiler.h"

TEST(MaximalScenarioTest, CompilesCleanlyAndTheSameSeedGivesTheSameSources) {
  const ScenarioSources sources = maximal_scenario(1);
  ScenarioCompiler compiler("", {"Massimo", "1"});
  compiler.write_files = false;
  compiler.line_source_text = sources.line_source;
  compiler.train_source_text = sources.train_source;
  int32_t j = 1;
  EXPECT_EQ(compiler.memorizza_percorso(j).end, CompileEnd::kWritten);
  EXPECT_EQ(compiler.error.code, 0);
  EXPECT_TRUE(compiler.problems.empty());
  EXPECT_EQ(compiler.last_cell(), 20140);
  EXPECT_EQ(compiler.tunnel_count, 80);
  EXPECT_EQ(compiler.hand_over.signboard_cursor, 40);
  EXPECT_EQ(compiler.table[38].text, "Stazione 38");

  const ScenarioSources again = maximal_scenario(1);
  EXPECT_EQ(again.line_source, sources.line_source);
  EXPECT_EQ(again.train_source, sources.train_source);
  EXPECT_NE(maximal_scenario(2).line_source, sources.line_source);
}
