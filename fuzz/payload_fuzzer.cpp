// libFuzzer harness for the installer's look for an appended scenario: the input is a whole
// executable file, ELF or PE headers and all, as the installer reads its own. Whatever the
// bytes: no crash, no sanitizer report, no read past the end of the file (a size taken from a
// header is never read or allocated), and a scenario found is exactly what follows the program:
// encoded again, it gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/scenario_payload.h"
#include "fuzz/require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  const ExecutableReader whole = executable_in_memory(file);
  const ExecutableReader read = [&](uint64_t offset, size_t count, std::string* bytes) {
    REQUIRE(offset <= file.size() && count <= file.size() - offset);
    return whole(offset, count, bytes);
  };
  ScenarioPayload payload;
  std::string why;
  const PayloadFound found = find_payload(read, file.size(), &payload, &why);
  REQUIRE((found == PayloadFound::kDamaged) == !why.empty());
  if (found == PayloadFound::kFound) {
    uint64_t end = 0;
    REQUIRE(program_end(read, file.size(), &end).ok());
    REQUIRE(file.compare(end, std::string::npos, encode_payload(payload)) == 0);
  }
  return 0;
}
