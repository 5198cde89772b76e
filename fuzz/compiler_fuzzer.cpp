// libFuzzer harness: arbitrary bytes as a line source and a train source (split at the first
// NUL byte), compiled in memory with the line plan. Whatever the bytes, the compilation must end
// with a defined result: no crash, no read or write outside the records, no sanitizer report.
#include <cstddef>
#include <cstdint>
#include <string>

#include "compiler/scenario_compiler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  ScenarioCompiler compiler("", {"Viterbo_Attigliano", "7545"});
  compiler.write_files = false;
  compiler.delete_sources = false;
  compiler.line_source_text = input.substr(0, split);
  compiler.train_source_text = split == std::string::npos ? std::string() : input.substr(split + 1);
  int32_t j = 1;
  compiler.memorizza_percorso(j);
  return 0;
}
