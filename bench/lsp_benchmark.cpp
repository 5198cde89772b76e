// Google Benchmark target: the language server on the longest route (the maximal scenario), the
// time from an edit of the line source to the diagnostics published for both sources, the
// pause the server waits for left out. Both sources are open in the server, as an author has
// them in the editor; each edit changes one digit of a row, as typing does.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "bench/maximal_scenario.h"
#include "common/file_io.h"
#include "common/file_path.h"
#include "common/scenario_identity.h"
#include "common/windows_1252.h"
#include "tools/lsp/lsp_server.h"
#include "tools/lsp/lsp_text.h"

namespace {

using nlohmann::json;

void change_to_diagnostics(benchmark::State& state) {
  const ScenarioSources sources = maximal_scenario(1);
  std::string folder = (std::filesystem::temp_directory_path() / "bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return state.SkipWithError("no temporary folder");
  const ScenarioIdentity scenario{"Viterbo_Attigliano", "7545"};
  const std::string paths[2] = {path_in(folder, line_source_name(scenario)),
                                path_in(folder, train_source_name(scenario))};
  replace_file(paths[0], sources.line_source);
  replace_file(paths[1], sources.train_source);
  size_t published = 0, errors = 0;
  LspServer server(
      [&](const std::string& body) {
        ++published;
        errors += body.find("\"severity\":1") != std::string::npos;
      },
      std::chrono::milliseconds(150));
  auto now = LspServer::Clock::now();
  const auto take = [&](const json& message) { server.receive({message.dump()}, now); };
  take({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", json::object()}});
  const std::string texts[2] = {utf8_from_windows_1252(sources.line_source),
                                utf8_from_windows_1252(sources.train_source)};
  for (int f = 0; f < 2; ++f) {
    take({{"jsonrpc", "2.0"},
          {"method", "textDocument/didOpen"},
          {"params",
           {{"textDocument",
             {{"uri", uri_from_path(paths[f])}, {"version", 1}, {"text", texts[f]}}}}}});
  }
  server.check_due(now);
  // The last digit of the route's length typed over and over (the line stays as long); or, with
  // the argument 1, a blank over the comma after the first gradient's keyword, which stops the
  // compiler there and makes the check look past its first error.
  const SourceText line = SourceText::from_utf8(texts[0]);
  const bool breaking = state.range(0) == 1;
  const size_t digit = breaking ? texts[0].find(',', texts[0].find("pendenza"))
                                : texts[0].find_first_of("0123456789", texts[0].find("lunghezza"));
  const std::string typed = breaking ? " " : std::string(1, texts[0][digit]);
  const TextPosition at = line.position_of_byte(digit, PositionUnits::kUtf16);
  int version = 1;
  for (auto _ : state) {
    const json range = {{"start", {{"line", at.line}, {"character", at.character}}},
                        {"end", {{"line", at.line}, {"character", at.character + 1}}}};
    take({{"jsonrpc", "2.0"},
          {"method", "textDocument/didChange"},
          {"params",
           {{"textDocument", {{"uri", uri_from_path(paths[0])}, {"version", ++version}}},
            {"contentChanges", {{{"range", range}, {"text", typed}}}}}}});
    now += std::chrono::seconds(1);
    server.check_due(now);
  }
  state.counters["bytes"] = double(sources.line_source.size() + sources.train_source.size());
  std::filesystem::remove_all(folder);
  if (published == 0) state.SkipWithError("nothing was published");
  if ((errors > 0) != breaking) state.SkipWithError("the edit did not do what it is for");
}

}  // namespace

BENCHMARK(change_to_diagnostics)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
