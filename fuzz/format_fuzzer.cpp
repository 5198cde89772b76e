// libFuzzer harness for 'scenario-tool format': arbitrary bytes as a line source and a train
// source (split at the first NUL byte, as for the compiler's harness), laid out. The layout never
// changes what the sources compile to, with the line plan or without it (format_sources compiles
// both and keeps the sources as they were when they differ: that must never be needed), keeps
// every line and line end, and laid out again the sources do not change.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/require.h"
#include "tools/recover/source_layout.h"

namespace {

size_t line_ends(const std::string& text) {
  return size_t(std::count(text.begin(), text.end(), '\n')) +
         size_t(std::count(text.begin(), text.end(), '\r'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string line = input.substr(0, split);
  const std::string train = split == std::string::npos ? std::string() : input.substr(split + 1);
  const ScenarioIdentity scenario{"L", "1"};
  const FormattedSources once = format_sources(scenario, line, train);
  REQUIRE(once.same_compilation);
  REQUIRE(line_ends(once.line.text) == line_ends(line));
  REQUIRE(line_ends(once.train.text) == line_ends(train));
  const FormattedSources twice = format_sources(scenario, once.line.text, once.train.text);
  REQUIRE(!twice.line.changed && !twice.train.changed);
  REQUIRE(twice.line.stopped_line == once.line.stopped_line &&
          twice.train.stopped_line == once.train.stopped_line);
  return 0;
}
