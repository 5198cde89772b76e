// A scenario as large as the formats allow, for measuring: a route of 1,000,000 m with curves
// over most of it, 80 tunnels, signboard texts and stations filling the scenario table,
// hundreds of speed indicators, signals and slowdowns, placed so that the compilation succeeds
// with error code 0. The same seed gives the same sources.
#pragma once

#include <cstdint>
#include <string>

struct ScenarioSources {
  std::string line_source;
  std::string train_source;
};

ScenarioSources maximal_scenario(uint32_t seed);
