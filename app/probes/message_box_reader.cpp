// Test-only, Windows: finds the message box titled argv[1] (waiting up to 60 seconds), prints
// the texts of its controls one a line in UTF-8, then presses its OK button. Exits 1 when no
// such box appears. Lets the tests under Wine read what the box says.
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/windows_text.h"

namespace {

BOOL CALLBACK print_control(HWND control, LPARAM) {
  wchar_t text[1024];
  const int length = GetWindowTextW(control, text, 1024);
  std::printf("%s\n", from_wide(std::wstring(text, length)).c_str());
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  // A loaded machine may take long to start the program that shows the box: looked for until
  // a deadline, well past what a run takes.
  HWND box = nullptr;
  const ULONGLONG deadline = GetTickCount64() + 60000;
  for (;;) {
    box = FindWindowW(L"#32770", argv[1]);  // the dialog class of message boxes
    if (box != nullptr || GetTickCount64() >= deadline) break;
    Sleep(50);
  }
  if (box == nullptr) return 1;
  EnumChildWindows(box, print_control, 0);
  std::fflush(stdout);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return 0;
}
