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
  // The references that are given: entries 81 to 83 hold them by descending position.
  const TableEntry* given[3];
  int count = 0;
  for (int entry : {kChainageEntry3, kChainageEntry2, kChainageEntry1}) {
    const TableEntry& e = table[entry];
    if (e.start != 0 || e.end != 0 || e.position != 0) given[count++] = &e;
  }
  if (count == 0) return "";
  // The chainage runs down the line unless the references say it runs up: the farthest one
  // then carries the greater value.
  const TableEntry& farthest = *given[0];
  const TableEntry& nearest = *given[count - 1];
  const int direction = farthest.start > nearest.start && farthest.end > nearest.end ? 1 : -1;
  // Counted from the nearest reference at or before the position, else from the first one.
  const TableEntry* reference = given[count - 1];
  for (int i = 0; i < count; ++i) {
    if (given[i]->start <= metres) {
      reference = given[i];
      break;
    }
  }
  const int64_t chainage = int64_t(reference->end) + direction * (metres - reference->start);
  // Before the chainage's origin there is no kilometre to name.
  if (chainage < 0) return "";
  return formatted("km %lld+%03lld", static_cast<long long>(chainage / 1000),
                   static_cast<long long>(chainage % 1000));
}
