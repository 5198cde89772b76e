// One metre of the line plan at a time. Each step continues from the two points before it:
// a straight step repeats the last step, a curve step turns it by about k radians (positive k
// from +y towards +x). Steps are not renormalised, and the arithmetic is done in double
// precision in exactly this order, since the simulator's files hold the results bit for bit.
#pragma once

#include <cstdint>

#include "compiler/records.h"

inline void straight_step(LinePlan* plan, int32_t m) {
  const double dx = plan->x[m - 1] - plan->x[m - 2];
  const double dy = plan->y[m - 1] - plan->y[m - 2];
  plan->x[m] = plan->x[m - 1] + dx;
  plan->y[m] = plan->y[m - 1] + dy;
}

inline void curve_step(LinePlan* plan, int32_t m, double k) {
  const double dx = plan->x[m - 1] - plan->x[m - 2];
  const double dy = plan->y[m - 1] - plan->y[m - 2];
  plan->x[m] = plan->x[m - 1] + dx + k * dy;
  plan->y[m] = plan->y[m - 1] + dy - k * dx;
}
