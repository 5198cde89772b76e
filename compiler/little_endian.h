// Fixed-width values in little-endian order, two's complement for signed integers and IEEE 754
// binary64 for doubles: the one encoder behind every compiled file. The store_ functions put a
// value into a buffer with room for it and return the position after it; LittleEndianWriter
// appends values to a byte string with them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

static_assert(sizeof(double) == 8, "doubles must be IEEE 754 binary64");

inline char* store_unsigned(char* p, uint64_t value, int count) {
  for (int i = 0; i < count; ++i) p[i] = static_cast<char>((value >> (8 * i)) & 0xff);
  return p + count;
}
inline char* store_u8(char* p, uint8_t value) {
  return store_unsigned(p, value, 1);
}
inline char* store_u16(char* p, uint16_t value) {
  return store_unsigned(p, value, 2);
}
inline char* store_i16(char* p, int16_t value) {
  return store_unsigned(p, static_cast<uint16_t>(value), 2);
}
inline char* store_i32(char* p, int32_t value) {
  return store_unsigned(p, static_cast<uint32_t>(value), 4);
}
inline char* store_f64(char* p, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return store_unsigned(p, bits, 8);
}

class LittleEndianWriter {
 public:
  explicit LittleEndianWriter(std::string* out) : out_(out) {}

  void u8(uint8_t value) { out_->push_back(static_cast<char>(value)); }
  void i16(int16_t value) { append(store_i16(buffer_, value)); }
  void u16(uint16_t value) { append(store_u16(buffer_, value)); }
  void i32(int32_t value) { append(store_i32(buffer_, value)); }
  void f64(double value) { append(store_f64(buffer_, value)); }
  void bytes(const std::string& value) { out_->append(value); }

 private:
  void append(const char* end) { out_->append(buffer_, static_cast<size_t>(end - buffer_)); }

  std::string* out_;
  char buffer_[8];
};
