#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/console.h"
#include "tools/scenario_tool.h"

bool standard_error_shows_colour() {
  const char* term = std::getenv("TERM");
  return isatty(fileno(stderr)) && term != nullptr && std::string(term) != "dumb";
}

int main(int argc, char** argv) {
  return tool_main(
      argc, [argv](int i) { return std::string(argv[i]); }, standard_error_shows_colour);
}
