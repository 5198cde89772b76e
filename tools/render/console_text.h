// What a text needs on its way to a Windows console, kept apart from the console so that it can
// be tested on any platform: where the colour sequences that render_text makes lie in it, what
// text attributes stand for them on a console that does not understand them, and where a long
// text can be cut into pieces without cutting a character in two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace console_text {

// The console's text attribute bits, as Windows defines them (FOREGROUND_BLUE, ...).
constexpr uint16_t kBlue = 0x1, kGreen = 0x2, kRed = 0x4, kIntense = 0x8;
constexpr uint16_t kForeground = kBlue | kGreen | kRed | kIntense;

// A run of plain text, or one colour sequence "ESC [ params m", whose `params` ("1;31") it
// keeps.
struct Piece {
  bool colour = false;
  std::string text;  // the plain text, or the sequence's parameters
};

// `text` cut into plain runs and colour sequences, in order. Only complete sequences of digits
// and semicolons ending in 'm' count; anything else stays plain text.
std::vector<Piece> split_colour(const std::string& text);

// The attributes after the colour sequence `params`, from the attributes `current`, the
// console's own being `original`: 0 or nothing restores `original`; 1 brightens; 22 takes the
// brightening back; 30 to 37 set the foreground colour, 39 the console's own; the background
// stays; any other number is ignored.
uint16_t attributes_after(const std::string& params, uint16_t current, uint16_t original);

// Where a piece of `text` that starts at `start` and holds at most `most` bytes (at least 4)
// ends, so that no UTF-8 sequence is cut: the end moves back to the start of a sequence that
// would not fit whole. Bytes that are not UTF-8 are cut anywhere.
size_t piece_end(const std::string& text, size_t start, size_t most);

}  // namespace console_text
