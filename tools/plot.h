// scenario-tool plot: one SVG picture of a compiled scenario. On top the plan view of the line
// from the line plan (metres as drawn, north up, with km marks from the chainage reference);
// below it, along one distance axis, the gradient profile, the line speed, and the stations,
// signals, slowdowns and speed restriction points.
#pragma once

#include <string>

#include "tools/dump.h"

// Fails (empty result) only when there is no line plan to draw.
std::string plot_svg(const CompiledScenario& compiled, const ScenarioIdentity& scenario);

// At most this many points are drawn for the plan view.
constexpr int kMaxPlanPoints = 2000;
