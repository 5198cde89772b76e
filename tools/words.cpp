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
