#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/windows_text.h"
#include "tools/console.h"
#include "tools/scenario_tool.h"

bool standard_error_shows_colour() {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD console_mode = 0;
  if (!_isatty(_fileno(stderr)) || !GetConsoleMode(err, &console_mode)) return false;
  return SetConsoleMode(err, console_mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

// Windows hands the command line over in UTF-16, whatever the code page: names and folders
// outside it arrive whole. The tool's texts are UTF-8, and so is what it prints to a console.
int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  return tool_main(
      argc, [argv](int i) { return from_wide(argv[i]); }, standard_error_shows_colour);
}
