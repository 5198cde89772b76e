// How the values of a source become the fields of a track cell, and how a field reads back:
// each encoding beside its decoding, for the compiler's readers and stores and for the tools
// that show or check what a value becomes. Encoders that can fail take the checked arithmetic
// of checked_math.h and fail with a RunTimeFailure naming the value, as every reader does;
// the wrapping ones keep the low bits, whatever the value.
#pragma once

#include <cstdint>

#include "compiler/checked_math.h"

// A value's low 8 or 16 bits, as the cell's 8-bit and 16-bit fields keep it.
inline uint8_t wrap8(int64_t value) {
  return static_cast<uint8_t>(value & 0xff);
}
inline int16_t wrap16(int64_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value & 0xffff));
}

// Gradient in per mille: stored as gradient + 100 in 8 bits, so -100 to 155 read back as they
// are and others wrap.
constexpr int kLowestGradient = -100;
constexpr int kHighestGradient = 155;
inline uint8_t encode_gradient(int64_t per_mille) {
  return wrap8(per_mille + 100);
}
inline int decode_gradient(uint8_t stored) {
  return int(stored) - 100;
}

// Speed limit in km/h: stored in fifths, rounded half to even. speed_fifths is the rounding
// alone, for those that check the range themselves; encode_speed fails beyond 0 to 255 fifths.
constexpr int kHighestSpeed = 255 * 5;
inline double speed_fifths(double km_h) {
  return round_half_even(km_h / 5.0);
}
inline uint8_t encode_speed(int32_t km_h) {
  return nearest<uint8_t>(km_h / 5.0, tr_mark("speed / 5"));
}
inline int decode_speed(uint8_t stored) {
  return int(stored) * 5;
}

// Adhesion: its low 8 bits.
inline uint8_t encode_adhesion(int64_t adhesion) {
  return wrap8(adhesion);
}
inline int decode_adhesion(uint8_t stored) {
  return int(stored);
}

// A speed indicator's speed code: the first board's speed times 20 plus the second board's
// speed in fifths, rounded half to even; `what` names the code in a failure.
inline int16_t encode_speed_code(int32_t first_km_h, int32_t second_km_h, const char* what) {
  return nearest<int16_t>(mul32(first_km_h, 20, tr_mark("speed code")) + second_km_h / 5.0, what);
}
struct SpeedCodeSpeeds {
  int first_km_h = 0;
  int second_km_h = 0;  // 0 when the code has no second speed
};
inline SpeedCodeSpeeds decode_speed_code(int16_t code) {
  return {code / 20, code % 20 * 5};
}

// A speed indicator's stripes: the first board's times 10 plus the second's, and the 16 bits
// that keep them.
inline int64_t stripes_value(int32_t first, int32_t second) {
  return int64_t(first) * 10 + second;
}
inline int16_t encode_stripes(int32_t first, int32_t second) {
  return wrap16(stripes_value(first, second));
}

// A slowdown starting beyond 1500 m has a warning point 1200 m before its start; one starting
// at 1500 m or earlier has none.
constexpr int32_t kUnwarnedSlowdownEnd = 1500;
constexpr int32_t kWarningDistance = 1200;
inline bool slowdown_warned(int64_t start) {
  return start > kUnwarnedSlowdownEnd;
}
inline int32_t slowdown_warning_position(int32_t start) {
  return add32(start, -kWarningDistance, tr_mark("warning"));
}
