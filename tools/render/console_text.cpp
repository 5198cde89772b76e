#include "tools/render/console_text.h"

namespace console_text {

std::vector<Piece> split_colour(const std::string& text) {
  std::vector<Piece> pieces;
  const auto plain = [&pieces](std::string run) {
    if (run.empty()) return;
    if (!pieces.empty() && !pieces.back().colour) {
      pieces.back().text += run;
    } else {
      pieces.push_back({false, std::move(run)});
    }
  };
  size_t from = 0;
  for (size_t at = text.find('\033'); at != std::string::npos; at = text.find('\033', at + 1)) {
    if (at + 1 >= text.size() || text[at + 1] != '[') continue;
    const size_t end = text.find_first_not_of("0123456789;", at + 2);
    if (end == std::string::npos || text[end] != 'm') continue;
    plain(text.substr(from, at - from));
    pieces.push_back({true, text.substr(at + 2, end - at - 2)});
    from = end + 1;
    at = end;
  }
  plain(text.substr(from));
  return pieces;
}

uint16_t attributes_after(const std::string& params, uint16_t current, uint16_t original) {
  if (params.empty()) return original;
  uint16_t attributes = current;
  size_t start = 0;
  while (start <= params.size()) {
    size_t end = params.find(';', start);
    if (end == std::string::npos) end = params.size();
    // At most three digits count: a longer number is no code this knows.
    const std::string word = params.substr(start, end - start);
    const int code = word.empty() ? 0 : word.size() > 3 ? -1 : std::stoi(word);
    if (code == 0) {
      attributes = original;
    } else if (code == 1) {
      attributes |= kIntense;
    } else if (code == 22) {
      attributes = uint16_t((attributes & ~kIntense) | (original & kIntense));
    } else if (code >= 30 && code <= 37) {
      // The sequence counts red, green, blue as bits 0, 1, 2; the console, blue, green, red.
      const int colour = code - 30;
      const uint16_t foreground = uint16_t(((colour & 1) ? kRed : 0) | ((colour & 2) ? kGreen : 0) |
                                           ((colour & 4) ? kBlue : 0));
      attributes = uint16_t((attributes & ~(kBlue | kGreen | kRed)) | foreground);
    } else if (code == 39) {
      attributes =
          uint16_t((attributes & ~(kBlue | kGreen | kRed)) | (original & (kBlue | kGreen | kRed)));
    }
    start = end + 1;
  }
  return attributes;
}

size_t piece_end(const std::string& text, size_t start, size_t most) {
  if (text.size() - start <= most) return text.size();
  size_t end = start + most;
  // Back over continuation bytes (10xxxxxx) to the lead byte of the sequence cut at `end`.
  size_t back = end;
  while (back > start && end - back < 3 && (static_cast<unsigned char>(text[back]) & 0xC0) == 0x80)
    --back;
  if (back > start && (static_cast<unsigned char>(text[back]) & 0xC0) != 0x80) end = back;
  return end;
}

}  // namespace console_text
