#include <string>

#include "common/windows_text.h"
#include "tools/render/console.h"
#include "tools/main/scenario_tool.h"

// Windows hands the command line over in UTF-16, whatever the code page: names and folders
// outside it arrive whole. The tool's texts are UTF-8; write_output gives a console wide
// characters, so the console's code page is left as the user had it.
int wmain(int argc, wchar_t** argv) {
  return tool_main(
      argc, [argv](int i) { return from_wide(argv[i]); }, standard_error_shows_colour);
}
