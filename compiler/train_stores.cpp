// The stores the train source reader calls: signals and slowdowns. Each checks that the cells
// it needs are free before writing; 16-bit fields take the low 16 bits of their values.
#include "compiler/error_codes.h"
#include "compiler/feature_stores.h"
#include "compiler/field_codec.h"

StoreRefusal memo_segnale(CompiledRecords& r, ProblemLog& log, int32_t position,
                          const SignalValues& signal) {
  const SignalSide& left = signal.left;
  const SignalSide& right = signal.right;
  const int32_t c = point_cell(position);
  TrackCell& cell = r.cell_at(c);
  if (!is_free(cell)) return StoreRefusal::recorded(log, kSignalCellTaken, c);
  cell.type = kCellSignal;
  const int64_t kinds = int64_t(left.kind) * 3 + right.kind;
  cell.value_d = wrap16(int64_t(signal.ratio) * 10 + kinds);
  cell.value_a = wrap16(int64_t(left.aspect_1) * 10 + right.aspect_1);
  cell.value_b = wrap16(int64_t(left.aspect_2) * 10 + right.aspect_2);
  cell.value_c = wrap16(int64_t(left.aspect_3) * 10 + right.aspect_3);
  // A waiting time of 1 to 100 is raised to 101.
  const int32_t waiting_time =
      signal.waiting_time >= 1 && signal.waiting_time <= 100 ? 101 : signal.waiting_time;
  cell.signal_time = left.kind == 2 ? wrap8(waiting_time) : 0;
  // Approach markers two cells apart before the signal, the nearest first. The reader keeps
  // signals far enough from the start of the line for all four to exist.
  for (int k = 1; k <= 4; ++k) {
    r.cell_at(c - 2 * k).marker = wrap8(kinds * 10 + k);
  }
  return {};
}

StoreRefusal memo_rallentamento(CompiledRecords& r, ProblemLog& log, const SlowdownRow& slowdown) {
  std::vector<TrackCell>& cells = r.cells;
  const int32_t x = slowdown.start;
  // The warning point lies before the start; a slowdown starting too early has no warning at
  // all, nor warning boards.
  const bool warned = slowdown_warned(x);
  const int32_t warning = warned ? point_cell(slowdown_warning_position(x)) : 0;
  const bool boards = warned && slowdown.warning_boards != 0;
  if (warned && !is_free(r.cell_at(warning))) {
    return StoreRefusal::recorded(log, kWarningCellTaken, warning);
  }
  const int32_t start = point_cell(x);
  if (!is_free(r.cell_at(start)))
    return StoreRefusal::recorded(log, kSlowdownStartCellTaken, start);
  const int32_t end = slowdown_end_cell(x, slowdown.length);
  if (!is_free(r.cell_at(end))) return StoreRefusal::recorded(log, kSlowdownEndCellTaken, end);

  // In this order, so that a slowdown whose start and end share a cell ends up a start.
  const int32_t second_speed = slowdown.second_speed;
  cells[end].type = kCellSlowdownEnd;
  if (second_speed != 0) cells[end].value_b = wrap16(second_speed);
  cells[start].type = kCellSlowdownStart;
  if (second_speed != 0) cells[start].value_b = wrap16(second_speed);
  if (warned) {
    cells[warning].type = kCellSlowdownWarning;
    if (second_speed != 0) cells[warning].value_b = wrap16(second_speed);
    cells[warning].value_a = wrap16(slowdown.speed);
  }
  cells[start].value_a = wrap16(slowdown.speed);
  cells[end].value_a = wrap16(slowdown.speed);
  cells[start].value_c = wrap16(slowdown.flag);
  cells[end].value_c = wrap16(slowdown.flag);

  if (!boards) return {};
  // The four warning boards just before the warning point, counted 1 (nearest) to 4.
  const int32_t h = area_cell(slowdown_warning_position(x));
  for (int k = 0; k < 4; ++k) {
    if (!is_free(r.cell_at(h - k)))
      return StoreRefusal::recorded(log, kWarningBoardCellTaken, h - k);
  }
  for (int k = 0; k < 4; ++k) {
    cells[h - k].type = kCellSlowdownBoards;
    cells[h - k].value_a = static_cast<int16_t>(k + 1);
    if (second_speed != 0) cells[h - k].value_b = static_cast<int16_t>(k + 1);
  }
  return {};
}
