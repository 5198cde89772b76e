// Google Benchmark targets: the shipped and the maximal scenario compiled in memory and with
// their files, the line plan alone (per metre), the rule pass alone, and the parse of the
// maximal scenario's sources (the reading, the lint, check's analysis) in bytes a second.
// Compiling in memory reads the sources and applies the rules; the line plan's points are only
// computed as its file is written, so the plan's own cost shows in the runs with files and in
// the plan alone.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "bench/maximal_scenario.h"
#include "common/file_io.h"
#include "common/file_path.h"
#include "compiler/binary_layout.h"
#include "compiler/line_plan.h"
#include "compiler/scenario_compiler.h"
#include "compiler/signal_cell_rules.h"
#include "compiler/source_reading.h"
#include "sources/line_source.h"
#include "sources/text_writer.h"
#include "sources/train_source.h"
#include "tools/analysis/analysis.h"
#include "tools/analysis/source_lint.h"

namespace {

const ScenarioIdentity kScenario{"Viterbo_Attigliano", "7545"};

const ScenarioSources& shipped() {
  static const ScenarioSources sources{document_bytes(line_source_lines()),
                                       document_bytes(train_source_lines())};
  return sources;
}

const ScenarioSources& maximal() {
  static const ScenarioSources sources = maximal_scenario(1);
  return sources;
}

void in_memory(benchmark::State& state, const ScenarioSources& sources) {
  for (auto _ : state) {
    Compilation compiled;
    memorizza_percorso(in_memory_options(kScenario, sources.line_source, sources.train_source),
                       &compiled);
    if (compiled.log.error.code != 0) state.SkipWithError("the scenario did not compile cleanly");
    benchmark::DoNotOptimize(compiled.records.cells.data());
  }
}

// Writes the sources into a fresh folder and compiles them there, as the installer does.
void with_files(benchmark::State& state, const ScenarioSources& sources) {
  std::string folder = (std::filesystem::temp_directory_path() / "bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return state.SkipWithError("no temporary folder");
  for (auto _ : state) {
    replace_file(path_in(folder, line_source_name(kScenario)), sources.line_source);
    replace_file(path_in(folder, train_source_name(kScenario)), sources.train_source);
    CompileOptions options;
    options.directory = folder;
    options.scenario = kScenario;
    Compilation compiled;
    const CompileResult result = memorizza_percorso(options, &compiled);
    if (result.end != CompileEnd::kCompleted || compiled.log.error.code != 0) {
      state.SkipWithError("the scenario did not compile cleanly");
    }
  }
  std::filesystem::remove_all(folder);
}

void BM_ShippedInMemory(benchmark::State& state) {
  in_memory(state, shipped());
}
void BM_ShippedWithFiles(benchmark::State& state) {
  with_files(state, shipped());
}
void BM_MaximalInMemory(benchmark::State& state) {
  in_memory(state, maximal());
}
void BM_MaximalWithFiles(benchmark::State& state) {
  with_files(state, maximal());
}

// Takes the pieces of a file and drops them, so that only producing them is measured.
class DiscardingSink : public PlacedPieceSink {
 public:
  PlacedPiece take() override {
    PlacedPiece piece = std::move(spare_);
    if (!piece.bytes) piece.bytes.reset(new char[PlacedPiece::kCapacity]);
    return piece;
  }
  bool put(PlacedPiece piece) override {
    benchmark::DoNotOptimize(piece.data());
    if (!spare_.bytes) spare_ = std::move(piece);
    return true;
  }

 private:
  PlacedPiece spare_;
};

// The longest route's plan, laid in runs: curves of 1500 m every 2500 m, as in the maximal
// scenario.
LinePlan longest_plan() {
  constexpr int32_t kMetres = 1007000;
  LinePlan plan;
  plan.points = kMetres + 1;
  plan.origin_set = true;
  for (int32_t m = 0; m + 2500 <= kMetres; m += 2500) {
    lay_run(&plan, m + 300, 0);
    lay_run(&plan, m + 1800, (m / 2500) % 2 ? -0.0004 : 0.0004);
  }
  lay_run(&plan, kMetres - 2, 0);
  return plan;
}

// The line plan of the longest route alone, computed and encoded: curves of 1500 m every
// 2500 m, as in the maximal scenario. Items are metres.
void BM_LinePlanPerMetre(benchmark::State& state) {
  const LinePlan plan = longest_plan();
  DiscardingSink sink;
  for (auto _ : state) encode_line_plan(plan, &sink);
  state.SetItemsProcessed(state.iterations() * (plan.computed_end - 2));
}

// The compile's breakdown on the longest route's plan: the chain of steps alone (each point
// from the two before it, nothing stored), against BM_LinePlanPerMetre (the chain and the
// encoding into pieces) and BM_PlanWriteAlone (the writing alone).
void BM_PlanChainAlone(benchmark::State& state) {
  const LinePlan plan = longest_plan();
  for (auto _ : state) {
    PlanStepper s;
    for (const PlanRun& run : plan.runs) {
      for (int32_t m = run.first; m <= run.last; ++m) {
        if (run.k == 0) {
          s.straight();
        } else {
          s.curve(run.k);
        }
      }
    }
    benchmark::DoNotOptimize(s);
  }
  state.SetItemsProcessed(state.iterations() * (plan.computed_end - 2));
}

// Writing the longest route's plan file (20 MB) as the compile does, a temporary file renamed
// over the last, from pieces filled beforehand: what the writing costs without the chain.
void BM_PlanWriteAlone(benchmark::State& state) {
  const LinePlan plan = longest_plan();
  const uint64_t size = 2 * line_plan_half_bytes(plan);
  std::string folder = (std::filesystem::temp_directory_path() / "bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return state.SkipWithError("no temporary folder");
  const std::string path = path_in(folder, "plan.dat");
  for (auto _ : state) {
    const Status status = replace_file_in_placed_pieces(path, size, [size](PlacedPieceSink& sink) {
      for (uint64_t at = 0; at < size; at += PlacedPiece::kCapacity) {
        PlacedPiece piece = sink.take();
        piece.offset = at;
        piece.size = size_t(std::min<uint64_t>(PlacedPiece::kCapacity, size - at));
        if (!sink.put(std::move(piece))) return false;
      }
      return true;
    });
    if (!status.ok()) state.SkipWithError("the plan could not be written");
  }
  state.SetBytesProcessed(state.iterations() * int64_t(size));
  std::filesystem::remove_all(folder);
}

// The rule pass alone over the maximal scenario's cells as the readers leave them.
void BM_RulePass(benchmark::State& state) {
  CompileOptions options =
      in_memory_options(kScenario, maximal().line_source, maximal().train_source);
  options.build_plan = false;
  Compilation compiled;
  memorizza_percorso(options, &compiled);
  // Take the points the pass placed out again.
  std::vector<TrackCell> before = compiled.records.cells;
  for (TrackCell& cell : before) {
    if (cell.type == kCellSpeedRestriction)
      cell = TrackCell{0,
                       0,
                       0,
                       0,
                       0,
                       cell.signal_time,
                       cell.marker,
                       cell.tunnel_kind,
                       cell.speed,
                       cell.gradient,
                       cell.adhesion};
  }
  for (auto _ : state) {
    state.PauseTiming();
    compiled.records.cells = before;
    state.ResumeTiming();
    apply_signal_cell_rules(compiled.records, compiled.log);
  }
  state.SetItemsProcessed(state.iterations() * int64_t(before.size()));
}

// The parse of the longest route's two sources (87 KB), in bytes of source a second: the
// compiler's reading alone (both sources into the records, the rows kept for the tools as check
// keeps them; no rules, no plan), the authors' lint alone, and check's whole analysis (the
// reading, the rules, the lint and the timetable's warnings).
int64_t maximal_source_bytes() {
  return int64_t(maximal().line_source.size() + maximal().train_source.size());
}

void BM_ParseMaximalReading(benchmark::State& state) {
  CompileOptions options =
      in_memory_options(kScenario, maximal().line_source, maximal().train_source);
  options.keep_rows = true;
  // The track cells' room (300 KB) goes from one round to the next, as the reading allows: how
  // the allocator comes by fresh pages for it is no part of the parse (a run of the tool takes
  // them in one call, common/prefault.h).
  std::vector<TrackCell> room;
  for (auto _ : state) {
    Compilation compiled;
    compiled.records.cells.swap(room);
    const Status status = memorizza_dati(options, &compiled);
    if (!status.ok() || compiled.log.error.code != 0) {
      state.SkipWithError("the scenario did not read cleanly");
    }
    benchmark::DoNotOptimize(compiled.records.cells.data());
    room.swap(compiled.records.cells);
  }
  state.SetBytesProcessed(state.iterations() * maximal_source_bytes());
}

void BM_ParseMaximalLint(benchmark::State& state) {
  for (auto _ : state) {
    const std::vector<SourceWarning> line = lint_line_source(maximal().line_source, true);
    const std::vector<SourceWarning> train = lint_train_source(maximal().train_source);
    benchmark::DoNotOptimize(line.data());
    benchmark::DoNotOptimize(train.data());
  }
  state.SetBytesProcessed(state.iterations() * maximal_source_bytes());
}

void BM_ParseMaximalCheckAnalysis(benchmark::State& state) {
  for (auto _ : state) {
    const std::unique_ptr<Analysis> analysis =
        analyse(in_memory_options(kScenario, maximal().line_source, maximal().train_source),
                ShownSource("Massimo_linea.txt", maximal().line_source),
                ShownSource("Massimo_1-.txt", maximal().train_source));
    if (analysis->compiled.log.error.code != 0) {
      state.SkipWithError("the scenario did not compile cleanly");
    }
    benchmark::DoNotOptimize(analysis.get());
  }
  state.SetBytesProcessed(state.iterations() * maximal_source_bytes());
}

}  // namespace

BENCHMARK(BM_ShippedInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShippedWithFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaximalInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaximalWithFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LinePlanPerMetre)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanChainAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanWriteAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RulePass)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseMaximalReading)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseMaximalLint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseMaximalCheckAnalysis)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
