// The stores the line source reader calls: the chainage references, tunnels and speed
// indicators.
#include "compiler/checked_math.h"
#include "compiler/error_codes.h"
#include "compiler/feature_stores.h"

namespace {

// A chainage reference: position along the route, chainage value, flag (1 adds 100 m).
struct Chainage {
  int32_t position = 0;
  int32_t value = 0;
  int32_t flag = 0;
};

Chainage chainage_of(const TableEntry& e) {
  return {e.start, e.end, e.position};
}

void store_chainage(const Chainage& c, TableEntry* e) {
  e->start = c.position;
  e->end = c.value;
  e->position = c.flag;
}

}  // namespace

void progressive_ordina(CompiledRecords& r) {
  ScenarioTable& table = r.table;
  const Chainage r3 = chainage_of(table[kChainageEntry3]);
  const Chainage r2 = chainage_of(table[kChainageEntry2]);
  const Chainage r1 = chainage_of(table[kChainageEntry1]);
  Chainage ordered[3];  // entries 81, 82, 83; all zero unless a rule below fills them
  const int64_t position_sum = int64_t(r3.position) + r2.position + r1.position;
  if (position_sum != 0) {
    // Descending position; a tie for the greatest leaves all three empty.
    if (r3.position > r2.position && r3.position > r1.position) {
      ordered[0] = r3;
      ordered[1] = r2.position > r1.position ? r2 : r1;
      ordered[2] = r2.position > r1.position ? r1 : r2;
    } else if (r2.position > r3.position && r2.position > r1.position) {
      ordered[0] = r2;
      ordered[1] = r3.position > r1.position ? r3 : r1;
      ordered[2] = r3.position > r1.position ? r1 : r3;
    } else if (r1.position > r3.position && r1.position > r2.position) {
      ordered[0] = r1;
      ordered[1] = r3.position > r2.position ? r3 : r2;
      ordered[2] = r3.position > r2.position ? r2 : r3;
    }
  } else {
    // All at position 0: the chainage values decide, the last rule that matches winning.
    if (r3.value > 0) {
      ordered[0] = r3;
      ordered[1] = r2;
      ordered[2] = r1;
    }
    if (r2.value > 0) {
      ordered[0] = r2;
      ordered[1] = r3;
      ordered[2] = r1;
    }
    if (r1.value > 0) {
      ordered[0] = r1;
      ordered[1] = r2;
      ordered[2] = r3;
    }
  }
  // All three are stored first; then each flagged one gets its 100 m, entry by entry, so a sum
  // that overflows leaves the entries after it ordered but without their 100 m.
  const int entries[3] = {kChainageEntry3, kChainageEntry2, kChainageEntry1};
  for (int i = 0; i < 3; ++i) store_chainage(ordered[i], &table[entries[i]]);
  for (int entry : entries) {
    if (table[entry].position == 1)
      table[entry].end = add32(table[entry].end, kChainageFlagMetres, "chainage value");
  }
}

StoreRefusal memo_montagna(CompiledRecords& r, ProblemLog& log, int32_t& inizio, int32_t& fine,
                           int32_t& tipo) {
  bool markers = false;
  if (tipo > 10) {
    tipo -= 10;
    markers = true;
  }
  if (r.tunnels.size() >= CompiledRecords::kMaxTunnels) {
    throw RunTimeFailure("more than 80 tunnels");
  }
  r.tunnels.push_back({inizio, fine});
  // A tunnel that follows the previous one within 150 m is of kind 3.
  if (r.tunnels.size() > 1 && int64_t(inizio) - r.tunnels[r.tunnels.size() - 2].end <= 150) {
    tipo = 3;
  }
  const int32_t last = nearest<int32_t>(fine / 50.0 - 1, "tunnel end cell");
  const int32_t first = area_cell(inizio);
  if (first > last) return {};
  // Never mark a cell the route does not have; the tunnel's own position is its start,
  // wherever its end falls.
  if (first < 0 || last > r.last_cell()) {
    log.error.set(kBeyondCells, inizio);
    return {kBeyondCells};
  }
  for (int32_t i = first, k = 1; i <= last; ++i, ++k) {
    TrackCell& cell = r.cells[i];
    cell.tunnel_kind = static_cast<uint8_t>(tipo);
    if (markers && k % 4 == 0 && cell.type == kCellEmpty) cell.type = kCellTunnelMarker;
  }
  return {};
}

StoreRefusal memo_indicatori_v_max(CompiledRecords& r, ProblemLog& log, int32_t posizione,
                                   int32_t& vas, int32_t& vbs, int32_t& vcs, int32_t& strisces,
                                   int32_t& vad, int32_t& vbd, int32_t& vcd, int32_t& strisced) {
  TrackCell& cell = r.cell_at(point_cell(posizione));
  if (!is_free(cell))
    return StoreRefusal::recorded(log, kIndicatorCellTaken, point_cell(posizione));
  cell.type = kCellSpeedIndicator;
  // Each speed code: the first board's speed times 20 plus the second board's fifth.
  cell.value_a = nearest<int16_t>(mul32(vas, 20, "speed code") + vad / 5.0, "speed code A");
  cell.value_b = nearest<int16_t>(mul32(vbs, 20, "speed code") + vbd / 5.0, "speed code B");
  cell.value_c = nearest<int16_t>(mul32(vcs, 20, "speed code") + vcd / 5.0, "speed code C");
  // The stripes wrap to 16 bits, whatever their size.
  cell.value_d =
      static_cast<int16_t>(static_cast<uint16_t>((int64_t(strisces) * 10 + strisced) & 0xffff));
  return {};
}
