#include <cstdlib>
#include <string>

#include "tools/language/translation.h"
#include "tools/main/scenario_tool.h"
#include "tools/render/console.h"

// The language is the environment's, as gettext reads it: LANGUAGE, LC_ALL, LC_MESSAGES, LANG.
int main(int argc, char** argv) {
  return tool_main(
      argc, [argv](int i) { return std::string(argv[i]); }, standard_error_shows_colour,
      language_from_environment([](const char* name) { return std::getenv(name); }));
}
