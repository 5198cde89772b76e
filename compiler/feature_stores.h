// The feature stores the source readers call: chainage references, tunnels and speed
// indicators for the line source; signals and slowdowns for the train source. Each writes into
// the records only cells that are free, and when it refuses a feature it sets the error state
// and says what it refused, so that its caller can tell its own refusal from a code an earlier
// problem left in the error state.
#pragma once

#include <cstdint>

#include "compiler/compiled_records.h"
#include "compiler/problem_log.h"

// What a store refused: the code it set and the cell it found taken; no code when it stored.
struct StoreRefusal {
  int32_t code = 0;
  int32_t cell = -1;
  explicit operator bool() const { return code != 0; }

  // A store's refusal of a feature at an occupied `cell`: its code goes into the error state.
  static StoreRefusal recorded(ProblemLog& log, int32_t code, int32_t cell) {
    log.error.set(code);
    return {code, cell};
  }
};

// Orders the three chainage references of table entries 81 to 83 and adds 100 m to the value
// of each one flagged 1.
void progressive_ordina(CompiledRecords& r);

// A tunnel row: start and end in metres, and its kind as written (above 10: kind - 10 with
// markers every fourth cell).
struct TunnelRow {
  int32_t start = 0;
  int32_t end = 0;
  int32_t kind = 0;
};

// A tunnel. Refuses with 15 a tunnel whose cells lie beyond the route. `kind_laid` receives the
// kind the tunnel takes, also when it marks no cell: less 10 above 10, and 3 for a tunnel that
// starts within 150 m of the previous one's end.
StoreRefusal memo_montagna(CompiledRecords& r, ProblemLog& log, const TunnelRow& tunnel,
                           int32_t* kind_laid);

// One board of a speed indicator: its three speeds in km/h and its stripes.
struct IndicatorBoard {
  int32_t speed_a = 0;
  int32_t speed_b = 0;
  int32_t speed_c = 0;
  int32_t stripes = 0;
};

// A speed indicator at `position`, the first board's speeds and stripes combined with the
// second's.
StoreRefusal memo_indicatori_v_max(CompiledRecords& r, ProblemLog& log, int32_t position,
                                   const IndicatorBoard& first, const IndicatorBoard& second);

// One side of a signal: its kind and three aspect values.
struct SignalSide {
  int32_t kind = 0;
  int32_t aspect_1 = 0;
  int32_t aspect_2 = 0;
  int32_t aspect_3 = 0;
};

// The ten values of a signal row, in the row's order.
struct SignalValues {
  SignalSide left;
  int32_t ratio = 0;
  SignalSide right;
  int32_t waiting_time = 0;
};

// A signal at `position` with its four approach markers before it.
StoreRefusal memo_segnale(CompiledRecords& r, ProblemLog& log, int32_t position,
                          const SignalValues& signal);

// A slowdown row: where it starts, its speed and length, and its three flags: the first goes
// with the start and the end, the second lays the warning boards, the third (a second speed)
// goes with every cell the slowdown marks.
struct SlowdownRow {
  int32_t start = 0;
  int32_t speed = 0;
  int32_t length = 0;
  int32_t flag = 0;
  int32_t warning_boards = 0;
  int32_t second_speed = 0;
};

// A slowdown: its start, end, warning point and, with its warning-board flag, the four warning
// boards.
StoreRefusal memo_rallentamento(CompiledRecords& r, ProblemLog& log, const SlowdownRow& slowdown);
