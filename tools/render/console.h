// The console the tool writes to. Every text the tool prints goes through write_output, whose
// implementation is the platform's (console_output_posix.cpp, console_output_win32.cpp, chosen
// by CMake): on Linux the bytes as they are; on Windows a console gets wide characters, with
// colour as the console can show it, and a file or a pipe gets the UTF-8 bytes. The program's
// entry point is per platform too (console_posix.cpp, console_win32.cpp): there the command line
// arrives as the platform hands it over.
#pragma once

#include <cstddef>
#include <string>

enum class Stream { kOut, kError };

// Writes `text`, UTF-8 that may hold the colour sequences render_text makes, to standard
// output or standard error.
void write_output(Stream stream, const std::string& text);

// Hands on what was written to `stream` so far, before the other stream is written to or the
// program waits.
void flush_output(Stream stream);

// Whether standard error is a terminal that shows colour; on Windows, a console, which shows
// it either through its virtual-terminal mode, when it can be switched on, or through its own
// text attributes.
bool standard_error_shows_colour();

// For a protocol spoken over standard input and output (the language server): both streams
// set to pass bytes as they are (on Windows, no CR LF translation).
void binary_standard_streams();

// Reads what standard input has, up to `size` bytes, waiting for at least one; 0 at its end or
// on a failure.
size_t read_standard_input(char* bytes, size_t size);
