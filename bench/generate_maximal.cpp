// Writes the maximal scenario's two sources into a directory, for measuring:
//   generate-maximal DIR [--line NAME] [--train NUMBER] [--seed N]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/maximal_scenario.h"
#include "common/file_io.h"
#include "common/file_path.h"
#include "common/scenario_identity.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: generate-maximal DIR [--line NAME] [--train NUMBER] [--seed N]\n");
    return 1;
  }
  ScenarioIdentity scenario{"Massimo", "1"};
  uint32_t seed = 1;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--line") scenario.line_name = argv[i + 1];
    if (option == "--train") scenario.train_number = argv[i + 1];
    if (option == "--seed") seed = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
  }
  const std::string refused = scenario_names_refusal(scenario, "--line", "--train");
  if (!refused.empty()) {
    std::fprintf(stderr, "generate-maximal: %s\n", refused.c_str());
    return 1;
  }
  const ScenarioSources sources = maximal_scenario(seed);
  for (const auto& [name, text] :
       {std::pair<std::string, const std::string&>(line_source_name(scenario), sources.line_source),
        {train_source_name(scenario), sources.train_source}}) {
    const Status status = replace_file(path_in(argv[1], name), text);
    if (!status.ok()) {
      std::fprintf(stderr, "generate-maximal: %s\n", status.message().c_str());
      return 1;
    }
  }
  std::printf("wrote %s and %s in %s\n", line_source_name(scenario).c_str(),
              train_source_name(scenario).c_str(), argv[1]);
  return 0;
}
