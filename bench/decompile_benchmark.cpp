// Google Benchmark targets of decompile and diff: the shipped scenario and the longest route
// (the maximal scenario), from their compiled files as bytes. Decompile reads the files,
// recovers the rows, writes the sources and compiles them again in memory to compare the bytes;
// diff reads two scenarios' files and compares the rows recovered from them (two seeds of the
// maximal scenario: nearly every row differs, the most work a comparison has). Each reports
// the bytes of compiled files it read per second, so that the two sizes can be set side by side.
#include <benchmark/benchmark.h>

#include "bench/maximal_scenario.h"
#include "compiler/binary_layout.h"
#include "compiler/scenario_compiler.h"
#include "sources/line_source.h"
#include "sources/text_writer.h"
#include "sources/train_source.h"
#include "tools/recover/decompile.h"
#include "tools/recover/scenario_diff.h"

namespace {

const ScenarioIdentity kScenario{"Viterbo_Attigliano", "7545"};

CompiledBytes compiled(const ScenarioSources& sources) {
  Compilation out;
  memorizza_percorso(in_memory_options(kScenario, sources.line_source, sources.train_source), &out);
  CompiledBytes files;
  files.table = encode_scenario_table(out.records.table);
  files.cells = encode_track_cells(out.records.cells);
  files.plan = encode_line_plan(out.records.plan);
  files.has_plan = true;
  return files;
}

const CompiledBytes& shipped() {
  static const CompiledBytes files =
      compiled({document_bytes(line_source_lines()), document_bytes(train_source_lines())});
  return files;
}

const CompiledBytes& maximal(uint32_t seed) {
  static const CompiledBytes one = compiled(maximal_scenario(1));
  static const CompiledBytes two = compiled(maximal_scenario(2));
  return seed == 1 ? one : two;
}

int64_t bytes_of(const CompiledBytes& files) {
  return int64_t(files.table.size() + files.cells.size() + files.plan.size());
}

// The rows recovered from the files, as diff reads them.
RecoveredScenario recovered(const CompiledBytes& files) {
  ScenarioTable table;
  std::vector<TrackCell> cells;
  LinePlanPoints plan;
  decode_scenario_table(files.table, "sim", &table);
  decode_track_cells(files.cells, "dat", &cells);
  decode_line_plan(files.plan, "plan", &plan);
  return recover_scenario(table, cells, &plan.x, &plan.y, plan.computed_end);
}

void decompile(benchmark::State& state, const CompiledBytes& files) {
  for (auto _ : state) {
    const Decompiled d = decompile_scenario(files, kScenario);
    if (!d.exact) state.SkipWithError("the scenario did not come back exactly");
    benchmark::DoNotOptimize(d.line_source.data());
  }
  state.SetBytesProcessed(state.iterations() * bytes_of(files));
}

void BM_ShippedDecompile(benchmark::State& state) {
  decompile(state, shipped());
}
void BM_MaximalDecompile(benchmark::State& state) {
  decompile(state, maximal(1));
}

void BM_MaximalDiff(benchmark::State& state) {
  size_t changes = 0;
  for (auto _ : state) {
    DiffSide a, b;
    a.scenario = recovered(maximal(1));
    b.scenario = recovered(maximal(2));
    const std::vector<Change> found = compare_scenarios(a, b);
    changes = found.size();
    benchmark::DoNotOptimize(diff_text(found, a.chainage).data());
  }
  state.counters["changes"] = double(changes);
  state.SetBytesProcessed(state.iterations() * (bytes_of(maximal(1)) + bytes_of(maximal(2))));
}

void BM_MaximalDiffOfItself(benchmark::State& state) {
  for (auto _ : state) {
    DiffSide a, b;
    a.scenario = recovered(maximal(1));
    b.scenario = recovered(maximal(1));
    if (!compare_scenarios(a, b).empty()) state.SkipWithError("a scenario differs from itself");
  }
  state.SetBytesProcessed(state.iterations() * 2 * bytes_of(maximal(1)));
}

}  // namespace

BENCHMARK(BM_ShippedDecompile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaximalDecompile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaximalDiff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaximalDiffOfItself)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
