// Words for people: what the objects of the track cells are called, positions as chainage,
// and the sources' Windows-1252 text as UTF-8 for a terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "compiler/records.h"

// "signal", "slowdown start", ... for a TrackCell::type; "object 7" for a code not in use.
std::string cell_type_name(uint8_t type);

// "km 37+050" for `metres` along the line, counted from the line's chainage references (table
// entries 81 to 83: the nearest one at or before the position, the chainage running down the
// line as on the shipped one); empty when the line has no reference.
std::string chainage_text(const ScenarioTable& table, int64_t metres);

// printf into a text (at most 511 characters).
std::string formatted(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// `text` itself when it has at most head + tail characters, else its first `head` and its last
// `tail` characters with "..." between them: what a message quotes of a source stays short.
std::string elided(const std::string& text, size_t head, size_t tail);

// `text` with its control characters written out ("\r", "\n", "\t", "\x1b"): what a message
// quotes of a source (a quoted field may run over line ends) stays on the message's line.
std::string printable(const std::string& text);

// Windows-1252 bytes as UTF-8.
std::string utf8_from_windows_1252(const std::string& text);
