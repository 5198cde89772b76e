// Words for people: what the objects of the track cells are called, positions as chainage,
// times as hours, minutes and seconds, and the sources' Windows-1252 text as UTF-8 for a
// terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/windows_1252.h"
#include "compiler/records.h"

// "signal", "slowdown start", ... for a TrackCell::type; "object 7" for a code not in use. In
// English, as what a machine reads (dump's JSON) gives it.
std::string cell_type_name(uint8_t type);
// The same in the current language, for a message.
std::string cell_type_text(uint8_t type);

// "km 37+050" for `metres` along the line, counted from the line's chainage references (table
// entries 81 to 83: the nearest one at or before the position). The chainage runs down the line
// as on the shipped one, unless the references show it running up (the farthest holds the
// greatest value). Empty when the line has no reference, or where the chainage would be
// negative.
std::string chainage_text(const ScenarioTable& table, int64_t metres);

// How clock_text() writes a time.
enum class ClockStyle {
  kPaddedHours,  // "07:05:00", "25:00:00", "-00:01:05": as the scenario table holds it (dump)
  kShortHours,   // "7:05:00", "25:00:00", "-0:01:05": as a source writes it (the warnings)
  kTimeOfDay,    // "07:05:00", "01:00:00", "23:58:55": the time within its day, as the route
                 // view's page shows its timetable
};

// `seconds` (since midnight) as "HH:MM:SS" in `style`. Minutes and seconds always have two
// digits; a negative time takes a "-" before its hours, except as a time of day.
std::string clock_text(int64_t seconds, ClockStyle style);

// The line's chainage: its references, farthest first, and the way it runs.
struct Chainage {
  struct Reference {
    int32_t at;     // metres along the route
    int32_t value;  // chainage there, metres
  };
  std::vector<Reference> references;
  int direction = -1;  // -1: the chainage falls along the line; 1: it rises

  // The chainage at `metres`; nothing without references or where it would be negative.
  std::optional<int64_t> at_metres(int64_t metres) const;
  // The metres along the route where the chainage is `value`; nothing without references.
  std::optional<int64_t> metres_at(int64_t value) const;
};
Chainage chainage_of_line(const ScenarioTable& table);

// printf into a text (at most 511 characters). The compiler checks the patterns against the
// printf family the build uses, which CMake names (TOOLS_PRINTF_FAMILY).
std::string formatted(const char* pattern, ...) __attribute__((format(TOOLS_PRINTF_FAMILY, 1, 2)));

// `text` itself when it has at most head + tail characters, else its first `head` and its last
// `tail` characters with "..." between them: what a message quotes of a source stays short.
std::string elided(const std::string& text, size_t head, size_t tail);

// `text` with its control characters written out ("\r", "\n", "\t", "\x1b"): what a message
// quotes of a source (a quoted field may run over line ends) stays on the message's line.
std::string printable(const std::string& text);

// Where the field that starts at `offset` of `text` ends: at its comma or line end, or after
// `limit` bytes of it.
size_t field_end(const std::string& text, size_t offset, size_t limit);

// `text` with every byte but ASCII letters, digits and those in `kept` written as %XX: a path
// put into a URL or URI that no name in it can end or change.
std::string percent_encoded(const std::string& text, const char* kept);

// A path as a URI, the one form SARIF, the language server and the view's editor links take: an
// absolute path as file:// and the path with '/' between its parts (a Windows drive after a '/':
// file:///C:/x), a relative one as a relative reference; every byte but letters, digits and
// -._~/ is %-escaped (a drive's ':' kept), so that no name can end or change the URI.
std::string file_uri(const std::string& path);
