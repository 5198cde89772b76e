#include "tools/words.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

std::string formatted(const char* pattern, ...) {
  char buffer[512];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(buffer, sizeof buffer, pattern, args);
  va_end(args);
  return buffer;
}

std::string elided(const std::string& text, size_t head, size_t tail) {
  if (text.size() <= head + tail) return text;
  return text.substr(0, head) + "..." + text.substr(text.size() - tail);
}

std::string printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      out += formatted("\\x%02x", c);
    } else {
      out.push_back(char(c));
    }
  }
  return out;
}

std::string cell_type_name(uint8_t type) {
  switch (type) {
    case kCellEmpty:
      return "nothing";
    case kCellSignal:
      return "signal";
    case kCellSlowdownEnd:
      return "slowdown end";
    case kCellSlowdownStart:
      return "slowdown start";
    case kCellSlowdownWarning:
      return "slowdown warning point";
    case kCellSlowdownBoards:
      return "slowdown warning boards";
    case kCellSpeedIndicator:
      return "speed indicator";
    case kCellStationEnd:
      return "station end";
    case kCellTunnelMarker:
      return "tunnel marker";
    case kCellSpeedRestriction:
      return "speed restriction point";
    case kCellNoRestriction:
      return "'abbattimento' point without restriction";
    case kCellSignboard:
      return "signboard";
    default:
      return "object " + std::to_string(type);
  }
}

std::string chainage_text(const ScenarioTable& table, int64_t metres) {
  const TableEntry* reference = nullptr;
  // Entries 81 to 83 hold the references by descending position.
  for (int entry : {kChainageEntry3, kChainageEntry2, kChainageEntry1}) {
    const TableEntry& e = table[entry];
    if (e.start == 0 && e.end == 0 && e.position == 0) continue;
    if (reference == nullptr || e.start <= metres) reference = &e;
    if (e.start <= metres) break;
  }
  if (reference == nullptr) return "";
  const int64_t chainage = int64_t(reference->end) - (metres - reference->start);
  char text[48];
  std::snprintf(text, sizeof text, "km %s%lld+%03lld", chainage < 0 ? "-" : "",
                static_cast<long long>(std::llabs(chainage) / 1000),
                static_cast<long long>(std::llabs(chainage) % 1000));
  return text;
}

std::string utf8_from_windows_1252(const std::string& text) {
  // Code points of 0x80 to 0x9F; 0 where Windows-1252 leaves the byte undefined.
  static const uint16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string out;
  for (unsigned char c : text) {
    uint32_t code = c;
    if (c >= 0x80 && c < 0xA0) code = kHigh[c - 0x80] != 0 ? kHigh[c - 0x80] : 0xFFFD;
    if (code < 0x80) {
      out.push_back(char(code));
    } else if (code < 0x800) {
      out.push_back(char(0xC0 | (code >> 6)));
      out.push_back(char(0x80 | (code & 0x3F)));
    } else {
      out.push_back(char(0xE0 | (code >> 12)));
      out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(char(0x80 | (code & 0x3F)));
    }
  }
  return out;
}
