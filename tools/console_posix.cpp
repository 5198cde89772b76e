#include <string>

#include "tools/console.h"
#include "tools/scenario_tool.h"

int main(int argc, char** argv) {
  return tool_main(
      argc, [argv](int i) { return std::string(argv[i]); }, standard_error_shows_colour);
}
