// Test-only, Windows: runs the program argv[1] with the arguments after it in a console of its
// own (made here), waits for it (up to 60 seconds), then prints, in UTF-8 to its own standard
// output, the console's lines as they show on the screen, each with the text attributes its
// characters show in (decimal, after a tab), and last "exit N, colours kept" (or "changed", when
// the program left the console's text colours other than it found them). Lets the tests under Wine
// see what a user at a console would see. Exits 1 when the console or the program fails.
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "common/windows_text.h"

namespace {

// One argument quoted for CreateProcessW's command line; the tests' arguments hold no quotes.
std::wstring quoted(const wchar_t* argument) {
  return L"\"" + std::wstring(argument) + L"\"";
}

void say(HANDLE out, const std::string& text) {
  DWORD written = 0;
  WriteFile(out, text.data(), DWORD(text.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  // The standard output the test reads, kept before a console of our own takes its place.
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  FreeConsole();
  if (!AllocConsole()) return 1;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE screen =
      CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inherit, OPEN_EXISTING, 0, nullptr);
  if (screen == INVALID_HANDLE_VALUE) return 1;
  CONSOLE_SCREEN_BUFFER_INFO before;
  if (!GetConsoleScreenBufferInfo(screen, &before)) return 1;
  std::wstring command = quoted(argv[1]);
  for (int i = 2; i < argc; ++i) command += L" " + quoted(argv[i]);
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  start.hStdOutput = screen;
  start.hStdError = screen;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                      &process)) {
    return 1;
  }
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) return 1;
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(screen, &info)) return 1;
  const SHORT width = info.dwSize.X;
  for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
    std::vector<wchar_t> text(width);
    std::vector<WORD> attributes(width);
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, text.data(), width, COORD{0, row}, &read);
    std::wstring line(text.data(), read);
    line.erase(line.find_last_not_of(L' ') + 1);
    ReadConsoleOutputAttribute(screen, attributes.data(), width, COORD{0, row}, &read);
    std::set<WORD> shown(attributes.begin(),
                         attributes.begin() + std::min<size_t>(read, line.size()));
    std::string seen;
    for (WORD a : shown) seen += (seen.empty() ? "" : " ") + std::to_string(a);
    say(out, from_wide(line) + "\t" + seen + "\n");
  }
  say(out, "exit " + std::to_string(status) + ", colours " +
               (info.wAttributes == before.wAttributes ? "kept" : "changed") + "\n");
  return 0;
}
