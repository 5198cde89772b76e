#include <string>

#include "tools/main/scenario_tool.h"
#include "tools/render/console.h"

int main(int argc, char** argv) {
  return tool_main(
      argc, [argv](int i) { return std::string(argv[i]); }, standard_error_shows_colour);
}
