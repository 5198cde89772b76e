#include "compiler/line_plan.h"

void lay_run(LinePlan* plan, int32_t last, double k) {
  if (last < plan->computed_end) return;
  // A curve of the same k as the run before goes on with it.
  if (!plan->runs.empty() && plan->runs.back().k == k) {
    plan->runs.back().last = last;
  } else {
    plan->runs.push_back(PlanRun{plan->computed_end, last, k});
  }
  plan->computed_end = last + 1;
}

std::vector<PlanPoint> plan_points(const LinePlan& plan) {
  std::vector<PlanPoint> points;
  if (!plan.origin_set) return points;
  points.reserve(static_cast<size_t>(plan.computed_end));
  points.push_back({0, 0});
  points.push_back({0, 1});
  PlanStepper s;
  for (const PlanRun& run : plan.runs) {
    for (int32_t m = run.first; m <= run.last; ++m) {
      if (run.k == 0) {
        s.straight();
      } else {
        s.curve(run.k);
      }
      points.push_back({s.x1, s.y1});
    }
  }
  return points;
}
