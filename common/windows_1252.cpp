#include "common/windows_1252.h"

#include <cstdint>

namespace {

// Code points of the bytes 0x80 to 0x9F; 0 where Windows-1252 leaves the byte undefined. Every
// other byte is the code point of the same number.
const uint16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void append_utf8(uint32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(char(code));
  } else if (code < 0x800) {
    out->push_back(char(0xC0 | (code >> 6)));
    out->push_back(char(0x80 | (code & 0x3F)));
  } else {
    out->push_back(char(0xE0 | (code >> 12)));
    out->push_back(char(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(char(0x80 | (code & 0x3F)));
  }
}

// The code point that starts at text[*at], advancing past it; nothing for bytes that are not
// well-formed UTF-8 (overlong forms and surrogates included).
std::optional<uint32_t> next_code_point(const std::string& text, size_t* at) {
  const unsigned char lead = static_cast<unsigned char>(text[*at]);
  int extra;
  uint32_t code;
  uint32_t least;
  if (lead < 0x80) {
    ++*at;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, code = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, code = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, code = lead & 0x07, least = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - *at <= static_cast<size_t>(extra)) return std::nullopt;
  for (int i = 1; i <= extra; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[*at + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    code = (code << 6) | (next & 0x3F);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
  *at += extra + 1;
  return code;
}

}  // namespace

std::string utf8_from_windows_1252(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    uint32_t code = c;
    if (c >= 0x80 && c < 0xA0) code = kHigh[c - 0x80] != 0 ? kHigh[c - 0x80] : 0xFFFD;
    append_utf8(code, &out);
  }
  return out;
}

std::optional<std::string> windows_1252_from_utf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const std::optional<uint32_t> code = next_code_point(text, &at);
    if (!code) return std::nullopt;
    if (*code < 0x80 || (*code >= 0xA0 && *code <= 0xFF)) {
      out.push_back(static_cast<char>(*code));
      continue;
    }
    int byte = -1;
    for (int i = 0; i < 32; ++i) {
      if (kHigh[i] != 0 && kHigh[i] == *code) byte = 0x80 + i;
    }
    if (byte < 0) return std::nullopt;
    out.push_back(static_cast<char>(byte));
  }
  return out;
}

bool is_utf8(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    if (!next_code_point(text, &at)) return false;
  }
  return true;
}

std::string printable_utf8_from_windows_1252(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  size_t run = 0;  // the first byte not yet written
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c >= 0x20 || c == '\t') && c != 0x7F) continue;
    out += utf8_from_windows_1252(text.substr(run, i - run));
    run = i + 1;
    out += "\xE2\x90";
    out += static_cast<char>(c == 0x7F ? 0xA1 : 0x80 + c);
  }
  return out + utf8_from_windows_1252(text.substr(run));
}
