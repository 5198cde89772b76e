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

// A tunnel from `inizio` to `fine` metres of kind `tipo` (above 10: kind tipo - 10 with
// markers every fourth cell). Refuses with 15 a tunnel whose cells lie beyond the route.
StoreRefusal memo_montagna(CompiledRecords& r, ProblemLog& log, int32_t& inizio, int32_t& fine,
                           int32_t& tipo);

// A speed indicator at `posizione`: three speeds and stripes for each of its two boards.
StoreRefusal memo_indicatori_v_max(CompiledRecords& r, ProblemLog& log, int32_t posizione,
                                   int32_t& vas, int32_t& vbs, int32_t& vcs, int32_t& strisces,
                                   int32_t& vad, int32_t& vbd, int32_t& vcd, int32_t& strisced);

// A signal at `posizione` with its four approach markers before it.
StoreRefusal memo_segnale(CompiledRecords& r, ProblemLog& log, int32_t posizione, int32_t& sx,
                          int32_t& s1, int32_t& s2, int32_t& s3, int32_t& rapp, int32_t& dx,
                          int32_t& d1, int32_t& d2, int32_t& d3, int32_t& tempo);

// A slowdown starting at `x`, `l` metres long at speed `v`: its start, end, warning point and,
// with `f_ta`, the four warning boards.
StoreRefusal memo_rallentamento(CompiledRecords& r, ProblemLog& log, int32_t x, int32_t& v,
                                int32_t& l, int32_t& f_tt, int32_t f_ta, int32_t& d_v);
