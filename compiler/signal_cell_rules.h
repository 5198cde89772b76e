// The signal-cell rules: one pass over the track cells that adds speed restriction points
// (type 12, value 180) before signals near a slowdown warning, in the approach to each slowdown,
// every 400 m inside a slow slowdown and before the first signal after it. The pass only turns
// free cells into points or lowers an existing point to 180; a rule that finds no room records
// its problem and the pass goes on.
#pragma once

#include "compiler/compiled_records.h"
#include "compiler/problem_log.h"

void apply_signal_cell_rules(CompiledRecords& records, ProblemLog& log);
