#include "compiler/line_plan.h"

#include "compiler/keywords.h"

const double kCurveCurvatures[kCurveDigits] = {0.0001, 0.0002, 0.0004, 0.001, 0.002, 0.003};

int curve_digit(const std::string& keyword_field) {
  for (int digit = 1; digit <= kCurveDigits; ++digit) {
    if (keyword_field.find(char('0' + digit)) != std::string::npos) return digit;
  }
  return 0;
}

double curve_curvature(const std::string& keyword_field) {
  const int digit = curve_digit(keyword_field);
  if (digit == 0) return 0;
  const double k = kCurveCurvatures[digit - 1];
  return contains_ignoring_case(keyword_field, "s") ? -k : k;
}

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

std::vector<PlanRun> plan_runs_of_points(const std::vector<double>& x, const std::vector<double>& y,
                                         int32_t computed_end,
                                         std::vector<std::pair<int32_t, int32_t>>* unmatched) {
  std::vector<PlanRun> runs;
  // The step that lays metre m with curvature k, from the file's own two points before it.
  const auto lays = [&x, &y](int32_t m, double k) {
    PlanStepper s{x[m - 2], y[m - 2], x[m - 1], y[m - 1]};
    if (k == 0) {
      s.straight();
    } else {
      s.curve(k);
    }
    return s.x1 == x[m] && s.y1 == y[m];
  };
  double k = 0;
  for (int32_t m = 2; m < computed_end; ++m) {
    if (!lays(m, k)) {
      bool found = lays(m, 0.0);
      if (found) k = 0;
      for (int digit = 0; !found && digit < kCurveDigits; ++digit) {
        for (double candidate : {kCurveCurvatures[digit], -kCurveCurvatures[digit]}) {
          if (lays(m, candidate)) {
            k = candidate;
            found = true;
            break;
          }
        }
      }
      if (!found) {
        if (!unmatched->empty() && unmatched->back().second == m - 1) {
          unmatched->back().second = m;
        } else {
          unmatched->push_back({m, m});
        }
      }
    }
    if (!runs.empty() && runs.back().k == k) {
      runs.back().last = m;
    } else {
      runs.push_back(PlanRun{m, m, k});
    }
  }
  return runs;
}
