#include "compiler/checked_math.h"

double round_half_even(double x) {
  const double below = std::floor(x);
  const double fraction = x - below;
  if (fraction > 0.5) return below + 1;
  if (fraction < 0.5) return below;
  // A half: `below` is whole and halving it is exact, so it is even when its half is whole.
  // (No fmod: it is the only function the installer would need the shared libm for.)
  const double half = below / 2;
  return std::floor(half) == half ? below : below + 1;
}
