#include "test_support/png.h"

#include <algorithm>
#include <cstdint>
#include <fstream>

namespace {

uint32_t crc32(const std::string& bytes) {
  uint32_t crc = 0xffffffffu;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void put_big_endian(std::string* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(char((value >> shift) & 0xff));
}

std::string chunk(const char* type, const std::string& data) {
  std::string out;
  put_big_endian(&out, uint32_t(data.size()));
  const std::string body = std::string(type, 4) + data;
  out += body;
  put_big_endian(&out, crc32(body));
  return out;
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::string zlib_stored(const std::string& raw) {
  std::string out("\x78\x01", 2);
  size_t offset = 0;
  do {
    const size_t length = std::min<size_t>(65535, raw.size() - offset);
    const bool last = offset + length == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(char(length & 0xff));
    out.push_back(char(length >> 8));
    out.push_back(char(~length & 0xff));
    out.push_back(char((~length >> 8) & 0xff));
    out.append(raw, offset, length);
    offset += length;
  } while (offset < raw.size());
  uint32_t a = 1, b = 0;
  for (unsigned char byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  put_big_endian(&out, (b << 16) | a);
  return out;
}

}  // namespace

bool write_png(const std::string& path, int width, int height, const std::string& rgb) {
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back('\0');  // filter: none
    raw.append(rgb, size_t(y) * width * 3, size_t(width) * 3);
  }
  std::string header;
  put_big_endian(&header, uint32_t(width));
  put_big_endian(&header, uint32_t(height));
  header +=
      std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "\x89PNG\r\n\x1a\n"
      << chunk("IHDR", header) << chunk("IDAT", zlib_stored(raw)) << chunk("IEND", "");
  return bool(out);
}
