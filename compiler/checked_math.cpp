#include "compiler/checked_math.h"

double round_half_even(double x) {
  const double below = std::floor(x);
  const double fraction = x - below;
  if (fraction > 0.5) return below + 1;
  if (fraction < 0.5) return below;
  return std::fmod(below, 2.0) == 0 ? below : below + 1;
}
