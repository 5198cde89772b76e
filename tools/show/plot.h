// scenario-tool plot: one SVG picture of a compiled scenario. On top the plan view of the line
// from the line plan (metres as drawn, north up, with km marks from the chainage reference, the
// stations named, tunnels, signals and slowdowns); below it, along one distance axis, the
// gradient profile, the line speed, and the stations, signals, slowdowns and speed restriction
// points. The whole line, or one stretch of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tools/show/compiled_files.h"

// The stretch drawn, in metres along the route; the whole line when not given.
struct PlotStretch {
  std::optional<int64_t> from_metres;
  std::optional<int64_t> to_metres;
};

// The stretch between two of the line's own kilometres (metres of chainage, or metres from the
// start on a line without chainage references), either way round. Empty text on success, else
// why the kilometres give no stretch of this line.
std::string plot_stretch(const CompiledScenario& compiled, std::optional<int64_t> from_chainage,
                         std::optional<int64_t> to_chainage, PlotStretch* stretch);

// Fails (empty result) only when there is no line plan to draw.
std::string plot_svg(const CompiledScenario& compiled, const ScenarioIdentity& scenario,
                     const PlotStretch& stretch = {});

// At most this many points are drawn for the line in the plan view.
constexpr int kMaxPlanPoints = 2000;
