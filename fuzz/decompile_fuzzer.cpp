// libFuzzer harness for the readers decompile and diff add to those of dump: the recovery of a
// scenario's rows from its compiled files, the sources written from them and compiled again,
// and the comparison of two recovered scenarios. The input is packed as compiled_files_fuzzer's
// (fuzz/compiled_seed.sh): a 2-byte and a 4-byte length (little-endian) of the scenario table
// and the track cells, the table, the cells, and the rest as the line plan (none when empty).
// Whatever the bytes: no crash, no sanitizer report; the sources and the report grow at most in
// proportion to the files; a scenario compared with itself shows no change.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "fuzz/compiled_input.h"
#include "fuzz/require.h"
#include "tools/recover/decompile.h"
#include "tools/recover/scenario_diff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CompiledInput input;
  if (!split_compiled_input(data, size, &input)) return 0;
  CompiledBytes files;
  files.table = std::move(input.table);
  files.cells = std::move(input.cells);
  files.plan = std::move(input.plan);
  files.has_plan = !files.plan.empty();

  const Decompiled d = decompile_scenario(files, {"Viterbo_Attigliano", "7545"});
  if (!d.read) return 0;
  // A cell is 15 bytes and a table entry at least 40: each gives at most a row of a few
  // hundred bytes; the recovered curves come from at least a metre of plan each.
  const size_t bound = 64 * 1024 + 100 * size;
  REQUIRE(d.line_source.size() + d.train_source.size() <= bound);
  REQUIRE(d.differences.size() <= 300);
  REQUIRE(d.exact == d.differences.empty());

  DiffSide side, empty;
  side.scenario = d.scenario;
  REQUIRE(compare_scenarios(side, side).empty());
  const std::vector<Change> changes = compare_scenarios(side, empty);
  REQUIRE(diff_text(changes, side.chainage).size() <= 2 * bound);
  REQUIRE(diff_json(changes).size() <= 4 * bound);
  return 0;
}
