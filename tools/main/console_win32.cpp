#include <windows.h>

#include <string>

#include "common/windows_text.h"
#include "tools/language/translation.h"
#include "tools/main/scenario_tool.h"
#include "tools/render/console.h"

namespace {

// A crash ends the whole process with the crash's code as its status (0xC00000FD for a stack
// overflow, 0xC0000005 for an access violation), as Windows reports it. Left to itself, only the
// thread that crashed ends: under Wine a process whose other thread still waits (the language
// server's reader, on standard input) then ends with status 0 once that thread does, and the
// editor takes it for a clean exit.
LONG WINAPI end_process(EXCEPTION_POINTERS* crash) {
  TerminateProcess(GetCurrentProcess(), UINT(crash->ExceptionRecord->ExceptionCode));
  return EXCEPTION_CONTINUE_SEARCH;
}

// A stack overflow leaves no stack for the unhandled-exception filter, which then never runs;
// a vectored handler runs first, on what the guard page left. Every other exception (C++'s
// among them) goes on to its handlers.
LONG WINAPI end_process_on_stack_overflow(EXCEPTION_POINTERS* crash) {
  if (crash->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  return end_process(crash);
}

// The language of the user's Windows: its display language, Italian whatever the region
// (it-IT, it-CH); any other is English.
Language user_interface_language() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_ITALIAN ? Language::kItalian
                                                                   : Language::kEnglish;
}

}  // namespace

// Windows hands the command line over in UTF-16, whatever the code page: names and folders
// outside it arrive whole. The tool's texts are UTF-8; write_output gives a console wide
// characters, so the console's code page is left as the user had it.
int wmain(int argc, wchar_t** argv) {
  SetUnhandledExceptionFilter(end_process);
  AddVectoredExceptionHandler(1, end_process_on_stack_overflow);
  return tool_main(
      argc, [argv](int i) { return from_wide(argv[i]); }, standard_error_shows_colour,
      user_interface_language());
}
