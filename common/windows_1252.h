// Windows-1252, the single-byte code page of the sources, the documents and the texts of the
// compiled scenario table, and UTF-8, the program's own text (names given on a command line,
// file paths, a terminal). Encoder and decoder side by side.
#pragma once

#include <optional>
#include <string>

// Windows-1252 bytes as UTF-8. A byte Windows-1252 leaves undefined becomes U+FFFD.
std::string utf8_from_windows_1252(const std::string& text);

// The same, as a terminal may show it: each control character but the tab as the one character
// that pictures it (U+2400 to U+2421: a NUL as U+2400, an escape as U+241B), so that no byte of a
// source or a compiled file can end a report, move the cursor or colour the terminal. One
// character for each byte, so that columns stay where they were.
std::string printable_utf8_from_windows_1252(const std::string& text);

// UTF-8 text as Windows-1252 bytes; nothing when the text is not valid UTF-8 or holds a
// character that Windows-1252 cannot represent.
std::optional<std::string> windows_1252_from_utf8(const std::string& text);

// Whether `text` is well-formed UTF-8.
bool is_utf8(const std::string& text);
