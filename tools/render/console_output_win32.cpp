#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "common/windows_text.h"
#include "tools/render/console.h"
#include "tools/render/console_text.h"

namespace {

// What the tool knows of one standard stream, learnt at its first use.
struct Output {
  FILE* file;
  DWORD which;  // STD_OUTPUT_HANDLE or STD_ERROR_HANDLE
  bool known = false;
  HANDLE handle = nullptr;
  bool console = false;     // a console, written to in wide characters
  DWORD original_mode = 0;  // the console's mode before the tool changed it
  bool terminal = false;    // the console shows colour sequences itself
  bool attributes = false;  // the console's text attributes can be read and set
  WORD original_attributes = 0;
  WORD current_attributes = 0;
};

Output out_stream{stdout, STD_OUTPUT_HANDLE};
Output error_stream{stderr, STD_ERROR_HANDLE};

// The consoles as they were before the tool: its colours and mode are the user's again when
// the tool ends.
void restore_consoles() {
  for (Output* o : {&out_stream, &error_stream}) {
    if (!o->console) continue;
    std::fflush(o->file);
    if (o->attributes && o->current_attributes != o->original_attributes)
      SetConsoleTextAttribute(o->handle, o->original_attributes);
    if (o->terminal) SetConsoleMode(o->handle, o->original_mode);
  }
}

// Whether the console really acts on colour sequences. Some consoles (Wine's) take the
// virtual-terminal mode and read it back on, yet show the sequences as text: a reset sequence,
// which shows nothing where it is understood, is written once, and if the cursor moved it
// showed as text and is wiped again.
bool acts_on_sequences(HANDLE handle) {
  CONSOLE_SCREEN_BUFFER_INFO before, after;
  if (!GetConsoleScreenBufferInfo(handle, &before)) return false;
  // Near the end of a line the test could wrap or scroll: there the text colours serve.
  if (before.dwCursorPosition.X + 16 >= before.dwSize.X) return false;
  static const wchar_t kReset[] = L"\033[0m";
  DWORD written = 0;
  if (!WriteConsoleW(handle, kReset, DWORD(std::wcslen(kReset)), &written, nullptr)) return false;
  if (!GetConsoleScreenBufferInfo(handle, &after)) return false;
  if (after.dwCursorPosition.X == before.dwCursorPosition.X &&
      after.dwCursorPosition.Y == before.dwCursorPosition.Y) {
    return true;
  }
  DWORD wiped = 0;
  FillConsoleOutputCharacterW(handle, L' ', 16, before.dwCursorPosition, &wiped);
  SetConsoleCursorPosition(handle, before.dwCursorPosition);
  return false;
}

// A console shows colour sequences only once its virtual-terminal mode is on: this asks for it
// and believes it only when the mode reads back with it and a sequence written shows nothing.
// Otherwise the console's text attributes colour.
Output& output(Stream stream) {
  Output& o = stream == Stream::kOut ? out_stream : error_stream;
  if (o.known) return o;
  o.known = true;
  o.handle = GetStdHandle(o.which);
  if (o.handle == nullptr || o.handle == INVALID_HANDLE_VALUE) return o;
  if (!GetConsoleMode(o.handle, &o.original_mode)) return o;  // a file or a pipe
  o.console = true;
  static const bool restoring = std::atexit(restore_consoles) == 0;
  (void)restoring;
  DWORD mode = 0;
  o.terminal = SetConsoleMode(o.handle, o.original_mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) &&
               GetConsoleMode(o.handle, &mode) && (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) &&
               acts_on_sequences(o.handle);
  if (!o.terminal) SetConsoleMode(o.handle, o.original_mode);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(o.handle, &info)) {
    o.attributes = true;
    o.original_attributes = o.current_attributes = info.wAttributes;
  }
  return o;
}

// UTF-8 to the console in wide characters, a piece at a time, no character cut in two.
void write_wide(const Output& o, const std::string& text) {
  constexpr size_t kPiece = 16384;
  for (size_t start = 0; start < text.size();) {
    const size_t end = console_text::piece_end(text, start, kPiece);
    const std::wstring wide = to_wide(text.substr(start, end - start));
    for (size_t done = 0; done < wide.size();) {
      DWORD written = 0;
      if (!WriteConsoleW(o.handle, wide.data() + done, DWORD(wide.size() - done), &written,
                         nullptr) ||
          written == 0) {
        return;
      }
      done += written;
    }
    start = end;
  }
}

}  // namespace

void write_output(Stream stream, const std::string& text) {
  Output& o = output(stream);
  if (!o.console) {
    std::fwrite(text.data(), 1, text.size(), o.file);
    return;
  }
  std::fflush(o.file);
  if (o.terminal) {
    write_wide(o, text);
    return;
  }
  // The colour sequences become text attributes, or go, but never show as text.
  for (const console_text::Piece& piece : console_text::split_colour(text)) {
    if (!piece.colour) {
      write_wide(o, piece.text);
    } else if (o.attributes) {
      o.current_attributes =
          console_text::attributes_after(piece.text, o.current_attributes, o.original_attributes);
      SetConsoleTextAttribute(o.handle, o.current_attributes);
    }
  }
}

void flush_output(Stream stream) {
  std::fflush(output(stream).file);
}

bool standard_error_shows_colour() {
  const Output& o = output(Stream::kError);
  return o.console && (o.terminal || o.attributes);
}

void binary_standard_streams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

size_t read_standard_input(char* bytes, size_t size) {
  // ReadFile on the handle: a pipe gives what it holds, without waiting for `size` bytes.
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD got = 0;
  const DWORD asked = size > 0x10000000 ? DWORD(0x10000000) : DWORD(size);
  if (input == nullptr || input == INVALID_HANDLE_VALUE ||
      !ReadFile(input, bytes, asked, &got, nullptr)) {
    return 0;
  }
  return got;
}
