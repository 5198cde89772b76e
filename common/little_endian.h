// Fixed-width values in little-endian order, two's complement for signed integers and IEEE 754
// binary64 for doubles: the one encoder behind every compiled file and the installer's payload,
// and its decoder. The store_ functions put a value into a buffer with room for it and return
// the position after it, load_unsigned takes one back; LittleEndianWriter appends values to a
// byte string with them; LittleEndianReader takes them back from one in order.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

static_assert(sizeof(double) == 8, "doubles must be IEEE 754 binary64");

inline char* store_unsigned(char* p, uint64_t value, int count) {
  for (int i = 0; i < count; ++i) p[i] = static_cast<char>((value >> (8 * i)) & 0xff);
  return p + count;
}
// The `count`-byte unsigned value at `p`.
inline uint64_t load_unsigned(const char* p, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(p[i]);
  return value;
}
// The same at byte `at` of `bytes`, which holds at least at + count bytes.
inline uint64_t load_unsigned(const std::string& bytes, size_t at, int count) {
  return load_unsigned(bytes.data() + at, count);
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
inline char* store_u32(char* p, uint32_t value) {
  return store_unsigned(p, value, 4);
}
inline char* store_u64(char* p, uint64_t value) {
  return store_unsigned(p, value, 8);
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
  void u32(uint32_t value) { append(store_u32(buffer_, value)); }
  void u64(uint64_t value) { append(store_u64(buffer_, value)); }
  void f64(double value) { append(store_f64(buffer_, value)); }
  void bytes(const std::string& value) { out_->append(value); }
  // A text: its length as a 16-bit count, then its bytes (the caller keeps it to 65535 bytes).
  void text(const std::string& value) {
    u16(static_cast<uint16_t>(value.size()));
    bytes(value);
  }

 private:
  void append(const char* end) { out_->append(buffer_, static_cast<size_t>(end - buffer_)); }

  std::string* out_;
  char buffer_[8];
};

// Values from a byte string, in the order they were written. A read past the end gives 0 (an
// empty text) and marks the reader as run out, so a caller checks once after a record.
class LittleEndianReader {
 public:
  explicit LittleEndianReader(const std::string& bytes) : bytes_(bytes) {}

  uint8_t u8() { return static_cast<uint8_t>(take(1)); }
  uint16_t u16() { return static_cast<uint16_t>(take(2)); }
  int16_t i16() { return static_cast<int16_t>(static_cast<uint16_t>(take(2))); }
  int32_t i32() { return static_cast<int32_t>(static_cast<uint32_t>(take(4))); }
  double f64() {
    const uint64_t bits = take(8);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  std::string text() {
    const size_t count = u16();
    if (ran_out_ || bytes_.size() - at_ < count) {
      ran_out_ = true;
      return std::string();
    }
    std::string value = bytes_.substr(at_, count);
    at_ += count;
    return value;
  }

  bool left(size_t count) const { return bytes_.size() - at_ >= count; }
  bool done() const { return at_ == bytes_.size(); }
  bool ran_out() const { return ran_out_; }
  size_t at() const { return at_; }

 private:
  uint64_t take(int count) {
    if (ran_out_ || !left(size_t(count))) {
      ran_out_ = true;
      return 0;
    }
    const uint64_t value = load_unsigned(bytes_, at_, count);
    at_ += size_t(count);
    return value;
  }

  const std::string& bytes_;
  size_t at_ = 0;
  bool ran_out_ = false;
};
