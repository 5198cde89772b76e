// libFuzzer harness for the readers of compiled files behind scenario-tool's dump and plot.
// The input holds the three files: a 2-byte and a 4-byte length (little-endian) of the scenario
// table and the track cells, the table, the cells, and the rest as the line plan (none when
// empty). Each file is read back; when all three are accepted, the dump as text and as JSON
// and the plot are made. Whatever the bytes: no crash, no sanitizer report, and what is shown
// grows at most in proportion to the files.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/compiled_input.h"
#include "fuzz/require.h"
#include "tools/show/compiled_files.h"
#include "tools/show/dump.h"
#include "tools/show/plot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CompiledInput input;
  if (!split_compiled_input(data, size, &input)) return 0;
  const std::string& table = input.table;
  const std::string& cells = input.cells;
  const std::string& plan = input.plan;

  CompiledScenario compiled;
  const bool table_read = decode_scenario_table(table, "S", &compiled.table).ok();
  const bool cells_read = decode_track_cells(cells, "D", &compiled.cells).ok();
  compiled.has_plan = !plan.empty();
  const bool plan_read = !compiled.has_plan || decode_line_plan(plan, "L", &compiled.plan).ok();
  if (!table_read || !cells_read || !plan_read) return 0;

  const ScenarioIdentity scenario{"Viterbo_Attigliano", "7545"};
  // A track cell is 15 bytes and a point of the plan at least 2: a few hundred bytes of text
  // for each is plenty.
  const size_t bound = 64 * 1024 + 100 * size;
  REQUIRE(dump_text(compiled, scenario).size() <= bound);
  REQUIRE(dump_json(compiled, scenario).size() <= bound);
  REQUIRE(plot_svg(compiled, scenario).size() <= bound);
  return 0;
}
