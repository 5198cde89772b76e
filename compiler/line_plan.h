// Laying the line plan metre by metre. Each point continues from the two before it: a straight
// step repeats the last step, a curve step turns it by about k radians (positive k from +y
// towards +x). Steps are not renormalised, and the arithmetic is done in double precision in
// exactly this order (and built without fused multiply-add), since the simulator's files hold
// the results bit for bit.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "compiler/records.h"

struct PlanPoint {
  double x = 0;
  double y = 0;
};

// The curvature of a curve row, in radians a metre, by the lowest digit 1 to 6 in its keyword
// (index 0 for digit 1); an "s" in the keyword negates it.
constexpr int kCurveDigits = 6;
extern const double kCurveCurvatures[kCurveDigits];

// The curvature a curve row's keyword field gives: by the lowest digit 1 to 6 it holds, negated
// (a left-hand curve) when the field holds an "s" in either case; 0 when it holds no such digit.
double curve_curvature(const std::string& keyword_field);
// The digit 1 to 6 that chooses a keyword field's curvature; 0 when it holds none.
int curve_digit(const std::string& keyword_field);

// Extends the plan by metres plan->computed_end to `last` with the rule of `k`.
void lay_run(LinePlan* plan, int32_t last, double k);

// The last two points laid, and the step that lays the next one from them. The line leaves the
// origin along +y: metre 0 at (0, 0), metre 1 at (0, 1).
struct PlanStepper {
  double x0 = 0, y0 = 0;  // metre m - 2
  double x1 = 0, y1 = 1;  // metre m - 1, then the point just laid

  void straight() {
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    x0 = x1;
    y0 = y1;
    x1 = x0 + dx;
    y1 = y0 + dy;
  }
  void curve(double k) {
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    x0 = x1;
    y0 = y1;
    x1 = x0 + dx + k * dy;
    y1 = y0 + dy - k * dx;
  }
};

// The points of metres 0 up to computed_end - 1 (none when the origin is not set).
std::vector<PlanPoint> plan_points(const LinePlan& plan);

// The rules that laid a plan read back from its file, the inverse of lay_run: for each metre
// from 2 to computed_end - 1, the k (0 or a curvature of kCurveCurvatures, either sign) whose
// step from the two points before it gives the point bit for bit, found from the points
// themselves, so a metre costs one step when it goes on as the one before. A metre no rule lays
// (a file edited by hand) takes the k of the metre before it and is listed in `unmatched` as
// part of a run of such metres (first and last metre). `x` and `y` hold at least computed_end
// points.
std::vector<PlanRun> plan_runs_of_points(const std::vector<double>& x, const std::vector<double>& y,
                                         int32_t computed_end,
                                         std::vector<std::pair<int32_t, int32_t>>* unmatched);
