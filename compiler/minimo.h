// The smaller of two values as the signal-cell rules compare them: `y` when `x` is greater,
// otherwise `x` (so for equal values, `x`). The arguments are left unchanged.
#pragma once

template <typename T>
T minimo(const T& x, const T& y) {
  return x > y ? y : x;
}
