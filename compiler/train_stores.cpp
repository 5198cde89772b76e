// The stores the train source reader calls: signals and slowdowns. Each checks that the cells
// it needs are free before writing; 16-bit fields take the low 16 bits of their values.
#include "compiler/checked_math.h"
#include "compiler/error_codes.h"
#include "compiler/feature_stores.h"

namespace {

int16_t low16(int64_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value & 0xffff));
}
uint8_t low8(int64_t value) {
  return static_cast<uint8_t>(value & 0xff);
}

}  // namespace

StoreRefusal memo_segnale(CompiledRecords& r, ProblemLog& log, int32_t posizione, int32_t& sx,
                          int32_t& s1, int32_t& s2, int32_t& s3, int32_t& rapp, int32_t& dx,
                          int32_t& d1, int32_t& d2, int32_t& d3, int32_t& tempo) {
  const int32_t c = point_cell(posizione);
  TrackCell& cell = r.cell_at(c);
  if (!is_free(cell)) return StoreRefusal::recorded(log, kSignalCellTaken, c);
  cell.type = kCellSignal;
  cell.value_d = low16(int64_t(rapp) * 10 + int64_t(sx) * 3 + dx);
  cell.value_a = low16(int64_t(s1) * 10 + d1);
  cell.value_b = low16(int64_t(s2) * 10 + d2);
  cell.value_c = low16(int64_t(s3) * 10 + d3);
  // A waiting time of 1 to 100 is raised to 101.
  if (tempo >= 1 && tempo <= 100) tempo = 101;
  cell.signal_time = sx == 2 ? low8(tempo) : 0;
  // Approach markers two cells apart before the signal, the nearest first. The reader keeps
  // signals far enough from the start of the line for all four to exist.
  for (int k = 1; k <= 4; ++k) {
    r.cell_at(c - 2 * k).marker = low8((int64_t(sx) * 3 + dx) * 10 + k);
  }
  return {};
}

StoreRefusal memo_rallentamento(CompiledRecords& r, ProblemLog& log, int32_t x, int32_t& v,
                                int32_t& l, int32_t& f_tt, int32_t f_ta, int32_t& d_v) {
  std::vector<TrackCell>& cells = r.cells;
  // The warning point lies 1200 m before the start; a slowdown starting at 1500 m or earlier
  // has no warning at all.
  const bool warned = x > 1500;
  const int32_t warning = warned ? point_cell(add32(x, -1200, "warning")) : 0;
  if (!warned) {
    f_ta = 0;
  } else if (!is_free(r.cell_at(warning))) {
    return StoreRefusal::recorded(log, kWarningCellTaken, warning);
  }
  const int32_t start = point_cell(x);
  if (!is_free(r.cell_at(start)))
    return StoreRefusal::recorded(log, kSlowdownStartCellTaken, start);
  const int32_t end = slowdown_end_cell(x, l);
  if (!is_free(r.cell_at(end))) return StoreRefusal::recorded(log, kSlowdownEndCellTaken, end);

  // In this order, so that a slowdown whose start and end share a cell ends up a start.
  cells[end].type = kCellSlowdownEnd;
  if (d_v != 0) cells[end].value_b = low16(d_v);
  cells[start].type = kCellSlowdownStart;
  if (d_v != 0) cells[start].value_b = low16(d_v);
  if (warned) {
    cells[warning].type = kCellSlowdownWarning;
    if (d_v != 0) cells[warning].value_b = low16(d_v);
    cells[warning].value_a = low16(v);
  }
  cells[start].value_a = low16(v);
  cells[end].value_a = low16(v);
  cells[start].value_c = low16(f_tt);
  cells[end].value_c = low16(f_tt);

  if (f_ta == 0) return {};
  // The four warning boards just before the warning point, counted 1 (nearest) to 4.
  const int32_t h = area_cell(add32(x, -1200, "warning"));
  for (int k = 0; k < 4; ++k) {
    if (!is_free(r.cell_at(h - k)))
      return StoreRefusal::recorded(log, kWarningBoardCellTaken, h - k);
  }
  for (int k = 0; k < 4; ++k) {
    cells[h - k].type = kCellSlowdownBoards;
    cells[h - k].value_a = static_cast<int16_t>(k + 1);
    if (d_v != 0) cells[h - k].value_b = static_cast<int16_t>(k + 1);
  }
  return {};
}
