// The stores the line source reader calls: the chainage references, tunnels and speed
// indicators.
#include "compiler/checked_math.h"
#include "compiler/error_codes.h"
#include "compiler/feature_stores.h"
#include "compiler/field_codec.h"

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
      table[entry].end = add32(table[entry].end, kChainageFlagMetres, tr_mark("chainage value"));
  }
}

StoreRefusal memo_montagna(CompiledRecords& r, ProblemLog& log, const TunnelRow& tunnel,
                           int32_t* kind_laid) {
  const int32_t inizio = tunnel.start, fine = tunnel.end;
  int32_t& tipo = *kind_laid;
  tipo = tunnel.kind;
  bool markers = false;
  if (tipo > 10) {
    tipo -= 10;
    markers = true;
  }
  if (r.tunnels.size() >= CompiledRecords::kMaxTunnels) {
    throw RunTimeFailure(tr_mark("more than 80 tunnels"), {});
  }
  r.tunnels.push_back({inizio, fine});
  // A tunnel that follows the previous one within 150 m is of kind 3.
  if (r.tunnels.size() > 1 && int64_t(inizio) - r.tunnels[r.tunnels.size() - 2].end <= 150) {
    tipo = 3;
  }
  const int32_t last = nearest<int32_t>(fine / 50.0 - 1, tr_mark("tunnel end cell"));
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

StoreRefusal memo_indicatori_v_max(CompiledRecords& r, ProblemLog& log, int32_t position,
                                   const IndicatorBoard& first, const IndicatorBoard& second) {
  TrackCell& cell = r.cell_at(point_cell(position));
  if (!is_free(cell)) return StoreRefusal::recorded(log, kIndicatorCellTaken, point_cell(position));
  cell.type = kCellSpeedIndicator;
  cell.value_a = encode_speed_code(first.speed_a, second.speed_a, tr_mark("speed code A"));
  cell.value_b = encode_speed_code(first.speed_b, second.speed_b, tr_mark("speed code B"));
  cell.value_c = encode_speed_code(first.speed_c, second.speed_c, tr_mark("speed code C"));
  cell.value_d = encode_stripes(first.stripes, second.stripes);
  return {};
}
