#include "compiler/little_endian.h"

#include <cstring>

void LittleEndianWriter::f64(double value) {
  static_assert(sizeof(double) == 8, "doubles must be IEEE 754 binary64");
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  unsigned_bytes(bits, 8);
}
