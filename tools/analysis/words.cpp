#include "tools/analysis/words.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "common/file_path.h"
#include "tools/language/translation.h"

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

namespace {

// The name of a TrackCell::type in English, marked for the catalogue; null for a code not in use.
const char* cell_type_word(uint8_t type) {
  switch (type) {
    case kCellEmpty:
      return tr_mark("nothing");
    case kCellSignal:
      return tr_mark("signal");
    case kCellSlowdownEnd:
      return tr_mark("slowdown end");
    case kCellSlowdownStart:
      return tr_mark("slowdown start");
    case kCellSlowdownWarning:
      return tr_mark("slowdown warning point");
    case kCellSlowdownBoards:
      return tr_mark("slowdown warning boards");
    case kCellSpeedIndicator:
      return tr_mark("speed indicator");
    case kCellStationEnd:
      return tr_mark("station end");
    case kCellTunnelMarker:
      return tr_mark("tunnel marker");
    case kCellSpeedRestriction:
      return tr_mark("speed restriction point");
    case kCellNoRestriction:
      return tr_mark("'abbattimento' point without restriction");
    case kCellSignboard:
      return tr_mark("signboard");
    default:
      return nullptr;
  }
}

}  // namespace

std::string cell_type_name(uint8_t type) {
  const char* word = cell_type_word(type);
  return word != nullptr ? word : "object " + std::to_string(type);
}

std::string cell_type_text(uint8_t type) {
  const char* word = cell_type_word(type);
  // TRANSLATORS: an object of the track cells whose code names no known kind.
  return word != nullptr ? tr(word) : tr("object {1}", {std::to_string(type)});
}

Chainage chainage_of_line(const ScenarioTable& table) {
  Chainage chainage;
  // Entries 81 to 83 hold the references by descending position; empty ones are not given.
  for (int entry : {kChainageEntry3, kChainageEntry2, kChainageEntry1}) {
    const TableEntry& e = table[entry];
    if (e.start != 0 || e.end != 0 || e.position != 0) {
      chainage.references.push_back({e.start, e.end});
    }
  }
  // The chainage runs down the line unless the references say it runs up: the farthest one
  // then carries the greater value.
  if (chainage.references.size() > 1) {
    const Chainage::Reference& farthest = chainage.references.front();
    const Chainage::Reference& nearest = chainage.references.back();
    if (farthest.at > nearest.at && farthest.value > nearest.value) chainage.direction = 1;
  }
  return chainage;
}

std::optional<int64_t> Chainage::at_metres(int64_t metres) const {
  if (references.empty()) return std::nullopt;
  // Counted from the nearest reference at or before the position, else from the nearest one.
  const Reference* reference = &references.back();
  for (const Reference& r : references) {
    if (r.at <= metres) {
      reference = &r;
      break;
    }
  }
  const int64_t value = int64_t(reference->value) + direction * (metres - reference->at);
  if (value < 0) return std::nullopt;
  return value;
}

std::optional<int64_t> Chainage::metres_at(int64_t value) const {
  if (references.empty()) return std::nullopt;
  // The position whose chainage, counted as at_metres() counts it, is `value`.
  for (const Reference& r : references) {
    const int64_t metres = r.at + direction * (value - int64_t(r.value));
    if (metres >= r.at) return metres;
  }
  const Reference& nearest = references.back();
  return nearest.at + direction * (value - int64_t(nearest.value));
}

std::string chainage_text(const ScenarioTable& table, int64_t metres) {
  const std::optional<int64_t> chainage = chainage_of_line(table).at_metres(metres);
  // Before the chainage's origin there is no kilometre to name.
  if (!chainage) return "";
  return formatted("km %lld+%03lld", static_cast<long long>(*chainage / 1000),
                   static_cast<long long>(*chainage % 1000));
}

std::string clock_text(int64_t seconds, ClockStyle style) {
  constexpr int64_t kDay = 24 * 60 * 60;
  if (style == ClockStyle::kTimeOfDay) seconds = (seconds % kDay + kDay) % kDay;
  // The magnitude in unsigned arithmetic: the most negative time has no positive counterpart.
  const uint64_t magnitude = seconds < 0 ? 0 - uint64_t(seconds) : uint64_t(seconds);
  const char* sign = seconds < 0 ? "-" : "";
  const auto hours = static_cast<unsigned long long>(magnitude / 3600);
  const auto minutes = static_cast<unsigned long long>(magnitude / 60 % 60);
  const auto rest = static_cast<unsigned long long>(magnitude % 60);
  if (style == ClockStyle::kShortHours)
    return formatted("%s%llu:%02llu:%02llu", sign, hours, minutes, rest);
  return formatted("%s%02llu:%02llu:%02llu", sign, hours, minutes, rest);
}

size_t field_end(const std::string& text, size_t offset, size_t limit) {
  size_t end = offset;
  while (end < text.size() && end - offset < limit && text[end] != ',' && text[end] != '\r' &&
         text[end] != '\n') {
    ++end;
  }
  return end;
}

std::string file_uri(const std::string& path) {
  std::string p = path;
  std::string drive;
  if (kPathSeparator != '/') {
    std::replace(p.begin(), p.end(), kPathSeparator, '/');
    if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
      drive = "/" + p.substr(0, 2);
      p.erase(0, 2);
    }
  }
  const bool absolute = !drive.empty() || (!p.empty() && p[0] == '/');
  return (absolute ? "file://" + drive : std::string()) + percent_encoded(p, "-._~/");
}

std::string percent_encoded(const std::string& text, const char* kept) {
  static const char kHex[] = "0123456789ABCDEF";
  const std::string keep = kept;
  std::string out;
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
        keep.find(c) != std::string::npos) {
      out += c;
    } else {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    }
  }
  return out;
}
