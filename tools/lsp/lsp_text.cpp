#include "tools/lsp/lsp_text.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "common/windows_1252.h"
#include "tools/analysis/words.h"

namespace {

constexpr uint32_t kMalformed = 0xFFFFFFFF;

// The code point at `at` of `text` and its length in bytes; a malformed sequence is one byte of
// kMalformed.
uint32_t decode(const std::string& text, size_t at, size_t* length) {
  const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(at);
  *length = 1;
  if (first < 0x80) return first;
  size_t count;
  uint32_t point, least;
  if ((first & 0xE0) == 0xC0) {
    count = 2, point = first & 0x1F, least = 0x80;
  } else if ((first & 0xF0) == 0xE0) {
    count = 3, point = first & 0x0F, least = 0x800;
  } else if ((first & 0xF8) == 0xF0) {
    count = 4, point = first & 0x07, least = 0x10000;
  } else {
    return kMalformed;
  }
  if (text.size() - at < count) return kMalformed;
  for (size_t i = 1; i < count; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return kMalformed;
    point = (point << 6) | (byte(at + i) & 0x3F);
  }
  if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return kMalformed;
  *length = count;
  return point;
}

// The Windows-1252 byte of each code point of 0x80 to 0x9F's characters (the rest of 0x80..0xFF
// are the code points of the same number), made once from the decoder.
struct HighCharacters {
  std::pair<uint32_t, char> entries[32];
  HighCharacters() {
    for (int b = 0x80; b < 0xA0; ++b) {
      const std::string utf8 = utf8_from_windows_1252(std::string(1, char(b)));
      size_t length;
      entries[b - 0x80] = {decode(utf8, 0, &length), char(b)};
    }
  }
};

// The byte of code point `point`, or '?' when Windows-1252 has none for it.
char byte_of(uint32_t point, bool* lost) {
  if (point < 0x80 || (point >= 0xA0 && point <= 0xFF)) return char(point);
  static const HighCharacters high;
  if (point != 0xFFFD) {
    for (const auto& entry : high.entries) {
      if (entry.first == point) return entry.second;
    }
  }
  *lost = true;
  return '?';
}

std::vector<size_t> line_starts(const std::string& text) {
  std::vector<size_t> starts{0};
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    if (text[i] == '\n' || text[i] == '\r') starts.push_back(i + 1);
  }
  return starts;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string windows_1252_in_place(const std::string& utf8, bool* lost) {
  std::string bytes;
  bytes.reserve(utf8.size());
  bool any = false;
  for (size_t at = 0; at < utf8.size();) {
    size_t length;
    const uint32_t point = decode(utf8, at, &length);
    bytes += point == kMalformed ? (any = true, '?') : byte_of(point, &any);
    at += length;
  }
  if (lost != nullptr) *lost = any;
  return bytes;
}

SourceText SourceText::from_utf8(std::string utf8) {
  SourceText text;
  text.bytes_ = windows_1252_in_place(utf8, &text.lost_);
  text.utf8_ = std::move(utf8);
  text.index();
  return text;
}

SourceText SourceText::from_windows_1252(std::string bytes) {
  SourceText text;
  text.utf8_ = utf8_from_windows_1252(bytes);
  text.bytes_ = std::move(bytes);
  text.index();
  return text;
}

void SourceText::index() {
  utf8_starts_ = line_starts(utf8_);
  byte_starts_ = line_starts(bytes_);
}

size_t SourceText::line_start(size_t line) const {
  return line < byte_starts_.size() ? byte_starts_[line] : bytes_.size();
}

size_t SourceText::line_end(size_t line) const {
  size_t end = line + 1 < byte_starts_.size() ? byte_starts_[line + 1] : bytes_.size();
  while (end > line_start(line) && (bytes_[end - 1] == '\n' || bytes_[end - 1] == '\r')) --end;
  return end;
}

size_t SourceText::walk(size_t line, size_t character, PositionUnits units,
                        size_t* characters) const {
  size_t at = utf8_starts_[line];
  size_t end = line + 1 < utf8_starts_.size() ? utf8_starts_[line + 1] : utf8_.size();
  while (end > at && (utf8_[end - 1] == '\n' || utf8_[end - 1] == '\r')) --end;
  size_t counted = 0;
  *characters = 0;
  while (at < end) {
    size_t length;
    const uint32_t point = decode(utf8_, at, &length);
    const size_t width = units == PositionUnits::kUtf8             ? length
                         : units == PositionUnits::kUtf32          ? 1
                         : point != kMalformed && point >= 0x10000 ? 2
                                                                   : 1;
    if (counted + width > character) break;
    counted += width;
    at += length;
    ++*characters;
  }
  return at;
}

TextPosition SourceText::position_of_byte(size_t offset, PositionUnits units) const {
  offset = std::min(offset, bytes_.size());
  const size_t line = size_t(std::upper_bound(byte_starts_.begin(), byte_starts_.end(), offset) -
                             byte_starts_.begin()) -
                      1;
  const size_t column = offset - byte_starts_[line];  // characters into the line
  size_t at = utf8_starts_[line], counted = 0;
  for (size_t i = 0; i < column && at < utf8_.size(); ++i) {
    size_t length;
    const uint32_t point = decode(utf8_, at, &length);
    counted += units == PositionUnits::kUtf8             ? length
               : units == PositionUnits::kUtf32          ? 1
               : point != kMalformed && point >= 0x10000 ? 2
                                                         : 1;
    at += length;
  }
  return {line, counted};
}

size_t SourceText::byte_at(TextPosition position, PositionUnits units) const {
  if (position.line >= utf8_starts_.size()) return bytes_.size();
  size_t characters;
  walk(position.line, position.character, units, &characters);
  return byte_starts_[position.line] + characters;
}

size_t SourceText::utf8_at(TextPosition position, PositionUnits units) const {
  if (position.line >= utf8_starts_.size()) return utf8_.size();
  size_t characters;
  return walk(position.line, position.character, units, &characters);
}

std::string path_from_uri(const std::string& uri) {
  const std::string scheme = "file://";
  if (uri.size() < scheme.size() || uri.compare(0, scheme.size(), scheme) != 0) return "";
  std::string path;
  for (size_t i = scheme.size(); i < uri.size(); ++i) {
    if (uri[i] != '%') {
      path += uri[i];
      continue;
    }
    if (i + 2 >= uri.size() || hex_value(uri[i + 1]) < 0 || hex_value(uri[i + 2]) < 0) return "";
    const char c = char(hex_value(uri[i + 1]) * 16 + hex_value(uri[i + 2]));
    // A separator or NUL spelt out inside a name would make the path another than it shows.
    if (c == '\0' || c == '/' || c == '\\') return "";
    path += c;
    i += 2;
  }
  if (path.empty() || path[0] != '/') return "";  // a host, or nothing
#ifdef _WIN32
  // file:///C:/x is C:\x.
  if (path.size() >= 3 && path[2] == ':') path.erase(0, 1);
  std::replace(path.begin(), path.end(), '/', '\\');
#endif
  return path;
}

std::string uri_from_path(const std::string& path) {
  std::string p = path;
#ifdef _WIN32
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.size() >= 2 && p[1] == ':') p = "/" + p;
#endif
  return "file://" + percent_encoded(p, "-._~/");
}
