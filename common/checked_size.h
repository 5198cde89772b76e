// Sums and products of unsigned 64-bit offsets and sizes that come from outside (headers of a
// file someone else made, lengths in a file): each says whether its result fits instead of
// wrapping, so that a range can be checked against the file before anything is read or
// allocated for it.
#pragma once

#include <cstdint>
#include <limits>

// a + b in *sum; false when it does not fit in 64 bits.
inline bool checked_add(uint64_t a, uint64_t b, uint64_t* sum) {
  if (b > std::numeric_limits<uint64_t>::max() - a) return false;
  *sum = a + b;
  return true;
}

// a * b in *product; false when it does not fit in 64 bits.
inline bool checked_mul(uint64_t a, uint64_t b, uint64_t* product) {
  if (a != 0 && b > std::numeric_limits<uint64_t>::max() / a) return false;
  *product = a * b;
  return true;
}

// Where `size` bytes from `offset` end, in *end, when they lie within the first `limit` bytes
// (a file's size); false when they run past it or the sum does not fit.
inline bool end_within(uint64_t offset, uint64_t size, uint64_t limit, uint64_t* end) {
  uint64_t sum = 0;
  if (!checked_add(offset, size, &sum) || sum > limit) return false;
  *end = sum;
  return true;
}
