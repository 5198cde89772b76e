#include "tools/tool_fixture.h"

#include <gtest/gtest.h>

#include "common/scenario_identity.h"
#include "sources/line_source.h"
#include "sources/train_source.h"

ProcessResult run_tool(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {SCENARIO_TOOL_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_process(argv);
}

std::string last_line(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text.substr(text.rfind('\n') + 1);  // npos + 1 is 0: a single line
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

void write_shipped_sources(const TempDir& dir) {
  const ScenarioIdentity shipped{kShippedLineName, kShippedTrainNumber};
  ASSERT_TRUE(dati_linea(dir.path(), shipped).ok());
  ASSERT_TRUE(dati_treno(dir.path(), shipped).ok());
}
