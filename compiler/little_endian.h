// Appends fixed-width values to a byte string in little-endian order, two's complement for
// signed integers and IEEE 754 for doubles: the one encoder behind every compiled file.
#pragma once

#include <cstdint>
#include <string>

class LittleEndianWriter {
 public:
  explicit LittleEndianWriter(std::string* out) : out_(out) {}

  void u8(uint8_t value) { out_->push_back(static_cast<char>(value)); }
  void i16(int16_t value) { unsigned_bytes(static_cast<uint16_t>(value), 2); }
  void u16(uint16_t value) { unsigned_bytes(value, 2); }
  void i32(int32_t value) { unsigned_bytes(static_cast<uint32_t>(value), 4); }
  void f64(double value);
  void bytes(const std::string& value) { out_->append(value); }

 private:
  void unsigned_bytes(uint64_t value, int count) {
    char bytes[8];
    for (int i = 0; i < count; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xff);
    out_->append(bytes, count);
  }

  std::string* out_;
};
