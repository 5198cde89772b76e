// Windows-1252, the single-byte code page of the sources, the documents and the texts of the
// compiled scenario table, and UTF-8, the program's own text (names given on a command line,
// file paths, a terminal). Encoder and decoder side by side.
#pragma once

#include <optional>
#include <string>

// Windows-1252 bytes as UTF-8. A byte Windows-1252 leaves undefined becomes U+FFFD.
std::string utf8_from_windows_1252(const std::string& text);

// UTF-8 text as Windows-1252 bytes; nothing when the text is not valid UTF-8 or holds a
// character that Windows-1252 cannot represent.
std::optional<std::string> windows_1252_from_utf8(const std::string& text);

// Whether `text` is well-formed UTF-8.
bool is_utf8(const std::string& text);
