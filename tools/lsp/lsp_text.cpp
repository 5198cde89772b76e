#include "tools/lsp/lsp_text.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "common/file_path.h"
#include "common/windows_1252.h"
#include "tools/analysis/words.h"

namespace {

constexpr uint32_t kMalformed = 0xFFFFFFFF;

// The code point at `at` of `text` and its length in bytes; a malformed sequence is one byte of
// kMalformed.
uint32_t decode(const std::string& text, size_t at, size_t* length) {
  const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(at);
  *length = 1;
  if (first < 0x80) return first;
  size_t count;
  uint32_t point, least;
  if ((first & 0xE0) == 0xC0) {
    count = 2, point = first & 0x1F, least = 0x80;
  } else if ((first & 0xF0) == 0xE0) {
    count = 3, point = first & 0x0F, least = 0x800;
  } else if ((first & 0xF8) == 0xF0) {
    count = 4, point = first & 0x07, least = 0x10000;
  } else {
    return kMalformed;
  }
  if (text.size() - at < count) return kMalformed;
  for (size_t i = 1; i < count; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return kMalformed;
    point = (point << 6) | (byte(at + i) & 0x3F);
  }
  if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return kMalformed;
  *length = count;
  return point;
}

// The Windows-1252 byte of each code point of 0x80 to 0x9F's characters (the rest of 0x80..0xFF
// are the code points of the same number), made once from the decoder.
struct HighCharacters {
  std::pair<uint32_t, char> entries[32];
  HighCharacters() {
    for (int b = 0x80; b < 0xA0; ++b) {
      const std::string utf8 = utf8_from_windows_1252(std::string(1, char(b)));
      size_t length;
      entries[b - 0x80] = {decode(utf8, 0, &length), char(b)};
    }
  }
};

// The byte of code point `point`, or '?' when Windows-1252 has none for it.
char byte_of(uint32_t point, bool* lost) {
  if (point < 0x80 || (point >= 0xA0 && point <= 0xFF)) return char(point);
  static const HighCharacters high;
  if (point != 0xFFFD) {
    for (const auto& entry : high.entries) {
      if (entry.first == point) return entry.second;
    }
  }
  *lost = true;
  return '?';
}

std::vector<size_t> line_starts(const std::string& text) {
  std::vector<size_t> starts{0};
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    if (text[i] == '\n' || text[i] == '\r') starts.push_back(i + 1);
  }
  return starts;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string windows_1252_in_place(const std::string& utf8, bool* lost) {
  std::string bytes;
  bytes.reserve(utf8.size());
  bool any = false;
  for (size_t at = 0; at < utf8.size();) {
    size_t length;
    const uint32_t point = decode(utf8, at, &length);
    bytes += point == kMalformed ? (any = true, '?') : byte_of(point, &any);
    at += length;
  }
  if (lost != nullptr) *lost = any;
  return bytes;
}

SourceText SourceText::from_utf8(std::string utf8) {
  SourceText text;
  text.bytes_ = windows_1252_in_place(utf8, &text.lost_);
  text.utf8_ = std::move(utf8);
  text.index();
  return text;
}

SourceText SourceText::from_windows_1252(std::string bytes) {
  SourceText text;
  text.utf8_ = utf8_from_windows_1252(bytes);
  text.bytes_ = std::move(bytes);
  text.index();
  return text;
}

void SourceText::index() {
  utf8_starts_ = line_starts(utf8_);
  byte_starts_ = line_starts(bytes_);
}

size_t SourceText::line_start(size_t line) const {
  return line < byte_starts_.size() ? byte_starts_[line] : bytes_.size();
}

size_t SourceText::line_end(size_t line) const {
  size_t end = line + 1 < byte_starts_.size() ? byte_starts_[line + 1] : bytes_.size();
  while (end > line_start(line) && (bytes_[end - 1] == '\n' || bytes_[end - 1] == '\r')) --end;
  return end;
}

size_t SourceText::walk(size_t line, size_t character, PositionUnits units,
                        size_t* characters) const {
  size_t at = utf8_starts_[line];
  size_t end = line + 1 < utf8_starts_.size() ? utf8_starts_[line + 1] : utf8_.size();
  while (end > at && (utf8_[end - 1] == '\n' || utf8_[end - 1] == '\r')) --end;
  size_t counted = 0;
  *characters = 0;
  while (at < end) {
    size_t length;
    const uint32_t point = decode(utf8_, at, &length);
    const size_t width = units == PositionUnits::kUtf8             ? length
                         : units == PositionUnits::kUtf32          ? 1
                         : point != kMalformed && point >= 0x10000 ? 2
                                                                   : 1;
    if (counted + width > character) break;
    counted += width;
    at += length;
    ++*characters;
  }
  return at;
}

TextPosition SourceText::position_of_byte(size_t offset, PositionUnits units) const {
  offset = std::min(offset, bytes_.size());
  const size_t line = size_t(std::upper_bound(byte_starts_.begin(), byte_starts_.end(), offset) -
                             byte_starts_.begin()) -
                      1;
  const size_t column = offset - byte_starts_[line];  // characters into the line
  size_t at = utf8_starts_[line], counted = 0;
  for (size_t i = 0; i < column && at < utf8_.size(); ++i) {
    size_t length;
    const uint32_t point = decode(utf8_, at, &length);
    counted += units == PositionUnits::kUtf8             ? length
               : units == PositionUnits::kUtf32          ? 1
               : point != kMalformed && point >= 0x10000 ? 2
                                                         : 1;
    at += length;
  }
  return {line, counted};
}

size_t SourceText::byte_at(TextPosition position, PositionUnits units) const {
  if (position.line >= utf8_starts_.size()) return bytes_.size();
  size_t characters;
  walk(position.line, position.character, units, &characters);
  return byte_starts_[position.line] + characters;
}

size_t SourceText::utf8_at(TextPosition position, PositionUnits units) const {
  if (position.line >= utf8_starts_.size()) return utf8_.size();
  size_t characters;
  return walk(position.line, position.character, units, &characters);
}

// A piece of the text and the subtree it heads: the pieces of its left subtree, its own, then
// those of its right, in the order of the text. A piece never ends between the CR and the LF
// of a line end, so that each piece counts its own line ends; it ends at a character's end.
struct EditedText::Node {
  std::string piece;
  uint64_t priority = 0;
  Tree left, right;
  size_t own_breaks = 0, own_units = 0;     // the piece's line ends and characters' units
  size_t bytes = 0, breaks = 0, units = 0;  // the subtree's
};

namespace {

using Node = EditedText::Node;
using Tree = EditedText::Tree;

// Pieces are cut at about this length, so that a scan inside one stays short.
constexpr size_t kPieceBytes = 64;

size_t bytes_of(const Tree& tree) {
  return tree ? tree->bytes : 0;
}
size_t breaks_of(const Tree& tree) {
  return tree ? tree->breaks : 0;
}
size_t units_of(const Tree& tree) {
  return tree ? tree->units : 0;
}

// The units of the character at `at` of `text`, and its length in bytes.
size_t character_units(const std::string& text, size_t at, PositionUnits units, size_t* length) {
  const uint32_t point = decode(text, at, length);
  return units == PositionUnits::kUtf8             ? *length
         : units == PositionUnits::kUtf32          ? 1
         : point != kMalformed && point >= 0x10000 ? 2
                                                   : 1;
}

// The line ends of a piece, each counted at its last byte: a LF, a CR before no LF in it (none
// comes after it either: a piece never ends inside a CR LF).
size_t line_ends_in(const std::string& piece) {
  size_t count = 0;
  for (size_t i = 0; i < piece.size(); ++i) {
    if (piece[i] == '\n' || (piece[i] == '\r' && (i + 1 == piece.size() || piece[i + 1] != '\n')))
      ++count;
  }
  return count;
}

// Pseudo-random priorities (splitmix64) keep the tree's depth about the logarithm of its pieces
// count, whatever the order of the edits.
uint64_t random_priority(uint64_t* seed) {
  uint64_t z = (*seed += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

void update(Node* node) {
  node->bytes = bytes_of(node->left) + node->piece.size() + bytes_of(node->right);
  node->breaks = breaks_of(node->left) + node->own_breaks + breaks_of(node->right);
  node->units = units_of(node->left) + node->own_units + units_of(node->right);
}

Tree merged(Tree first, Tree second) {
  if (!first) return second;
  if (!second) return first;
  if (first->priority > second->priority) {
    first->right = merged(std::move(first->right), std::move(second));
    update(first.get());
    return first;
  }
  second->left = merged(std::move(first), std::move(second->left));
  update(second.get());
  return second;
}

}  // namespace

EditedText::EditedText(const std::string& utf8, PositionUnits units) : units_(units) {
  root_ = pieces(utf8);
}

EditedText::~EditedText() = default;

// The text as a tree of pieces, each cut after a character and never inside a CR LF.
EditedText::Tree EditedText::pieces(const std::string& text) {
  Tree tree;
  for (size_t at = 0; at < text.size();) {
    auto node = std::make_unique<Node>();
    size_t end = at;
    while (end < text.size() &&
           (end - at < kPieceBytes || (text[end] == '\n' && text[end - 1] == '\r'))) {
      size_t length;
      node->own_units += character_units(text, end, units_, &length);
      end += length;
    }
    node->piece = text.substr(at, end - at);
    node->own_breaks = line_ends_in(node->piece);
    node->priority = random_priority(&seed_);
    update(node.get());
    tree = merged(std::move(tree), std::move(node));
    at = end;
  }
  return tree;
}

namespace {

// Splits `tree` into its first `offset` bytes and the rest, cutting a piece in two when the
// offset falls inside it (at a character's end: every offset asked for is one).
void split(Tree tree, size_t offset, PositionUnits units, uint64_t* seed, Tree* first, Tree* rest) {
  if (!tree) {
    first->reset();
    rest->reset();
    return;
  }
  const size_t left = bytes_of(tree->left);
  if (offset <= left) {
    Tree after;
    split(std::move(tree->left), offset, units, seed, first, &after);
    tree->left = std::move(after);
    update(tree.get());
    *rest = std::move(tree);
    return;
  }
  offset -= left;
  if (offset >= tree->piece.size()) {
    Tree before;
    split(std::move(tree->right), offset - tree->piece.size(), units, seed, &before, rest);
    tree->right = std::move(before);
    update(tree.get());
    *first = std::move(tree);
    return;
  }
  // Inside the piece: its tail becomes a piece of its own, at the start of the rest.
  auto tail = std::make_unique<Node>();
  tail->piece = tree->piece.substr(offset);
  tail->priority = random_priority(seed);
  tree->piece.resize(offset);
  for (Node* node : {tree.get(), tail.get()}) {
    node->own_breaks = line_ends_in(node->piece);
    node->own_units = 0;
    for (size_t at = 0, length; at < node->piece.size(); at += length) {
      node->own_units += character_units(node->piece, at, units, &length);
    }
  }
  update(tail.get());
  Tree right = std::move(tree->right);
  update(tree.get());
  *first = std::move(tree);
  *rest = merged(std::move(tail), std::move(right));
}

void append_pieces(const Node* node, std::string* text) {
  if (node == nullptr) return;
  append_pieces(node->left.get(), text);
  *text += node->piece;
  append_pieces(node->right.get(), text);
}

}  // namespace

char EditedText::byte(size_t offset) const {
  const Node* node = root_.get();
  while (node != nullptr) {
    const size_t left = bytes_of(node->left);
    if (offset < left) {
      node = node->left.get();
      continue;
    }
    offset -= left;
    if (offset < node->piece.size()) return node->piece[offset];
    offset -= node->piece.size();
    node = node->right.get();
  }
  return '\0';
}

// Where line `line` starts; at most the last line's.
size_t EditedText::line_start(size_t line) const {
  size_t base = 0;
  const Node* node = root_.get();
  while (node != nullptr && line > 0) {
    const size_t left = breaks_of(node->left);
    if (line <= left) {
      node = node->left.get();
      continue;
    }
    line -= left;
    base += bytes_of(node->left);
    if (line <= node->own_breaks) {
      const std::string& piece = node->piece;
      for (size_t i = 0; i < piece.size(); ++i) {
        if (piece[i] == '\r' && i + 1 < piece.size() && piece[i + 1] == '\n') continue;
        if ((piece[i] == '\n' || piece[i] == '\r') && --line == 0) return base + i + 1;
      }
    }
    line -= node->own_breaks;
    base += node->piece.size();
    node = node->right.get();
  }
  return base;
}

// Where line `line` ends, before its line end.
size_t EditedText::line_end(size_t line) const {
  if (line >= breaks_of(root_)) return bytes_of(root_);
  size_t end = line_start(line + 1) - 1;
  if (byte(end) == '\n' && end > 0 && byte(end - 1) == '\r') --end;
  return end;
}

size_t EditedText::units_before(size_t offset) const {
  size_t units = 0;
  const Node* node = root_.get();
  while (node != nullptr) {
    const size_t left = bytes_of(node->left);
    if (offset < left) {
      node = node->left.get();
      continue;
    }
    units += units_of(node->left);
    offset -= left;
    if (offset < node->piece.size()) {
      for (size_t at = 0, length; at < offset; at += length) {
        units += character_units(node->piece, at, units_, &length);
      }
      return units;
    }
    units += node->own_units;
    offset -= node->piece.size();
    node = node->right.get();
  }
  return units;
}

// The last character's end with at most `units` units before it.
size_t EditedText::offset_after_units(size_t units) const {
  size_t base = 0;
  const Node* node = root_.get();
  while (node != nullptr) {
    const size_t left = units_of(node->left);
    if (units < left) {
      node = node->left.get();
      continue;
    }
    units -= left;
    base += bytes_of(node->left);
    if (units < node->own_units) {
      size_t at = 0;
      for (size_t length; at < node->piece.size(); at += length) {
        const size_t width = character_units(node->piece, at, units_, &length);
        if (width > units) break;
        units -= width;
      }
      return base + at;
    }
    units -= node->own_units;
    base += node->piece.size();
    node = node->right.get();
  }
  return base;
}

// As SourceText::utf8_at: a character past its line's end is the line's end, a line past the
// last the end of the text, a position inside a character's units the character's start.
size_t EditedText::offset_of(TextPosition position) const {
  if (position.line > breaks_of(root_)) return bytes_of(root_);
  const size_t start = line_start(position.line), end = line_end(position.line);
  const size_t first = units_before(start);
  if (position.character >= units_before(end) - first) return end;
  return std::min(end, offset_after_units(first + position.character));
}

// A CR and a LF that an edit brought together are put in one piece, where they count as the one
// line end they are.
void EditedText::keep_line_end_whole(size_t offset) {
  if (offset == 0 || offset >= bytes_of(root_) || byte(offset - 1) != '\r' || byte(offset) != '\n')
    return;
  Tree before, pair, after;
  split(std::move(root_), offset - 1, units_, &seed_, &before, &pair);
  split(std::move(pair), 2, units_, &seed_, &pair, &after);
  pair = pieces("\r\n");
  root_ = merged(merged(std::move(before), std::move(pair)), std::move(after));
}

void EditedText::replace(TextPosition from, TextPosition to, const std::string& text) {
  const size_t start = offset_of(from);
  const size_t end = std::max(start, offset_of(to));
  Tree before, removed, after;
  split(std::move(root_), start, units_, &seed_, &before, &removed);
  split(std::move(removed), end - start, units_, &seed_, &removed, &after);
  removed.reset();
  root_ = merged(merged(std::move(before), pieces(text)), std::move(after));
  keep_line_end_whole(start);
  keep_line_end_whole(start + text.size());
}

void EditedText::replace_all(const std::string& text) {
  root_ = pieces(text);
}

std::string EditedText::text() const {
  std::string text;
  text.reserve(bytes_of(root_));
  append_pieces(root_.get(), &text);
  return text;
}

std::string path_from_uri(const std::string& uri) {
  const std::string scheme = "file://";
  if (uri.size() < scheme.size() || uri.compare(0, scheme.size(), scheme) != 0) return "";
  std::string path;
  for (size_t i = scheme.size(); i < uri.size(); ++i) {
    if (uri[i] != '%') {
      path += uri[i];
      continue;
    }
    if (i + 2 >= uri.size() || hex_value(uri[i + 1]) < 0 || hex_value(uri[i + 2]) < 0) return "";
    const char c = char(hex_value(uri[i + 1]) * 16 + hex_value(uri[i + 2]));
    // A separator or NUL spelt out inside a name would make the path another than it shows.
    if (c == '\0' || c == '/' || c == '\\') return "";
    path += c;
    i += 2;
  }
  if (path.empty() || path[0] != '/') return "";  // a host, or nothing
  // Where '\\' separates (Windows), file:///C:/x is C:\\x.
  if (kPathSeparator != '/') {
    if (path.size() >= 3 && path[2] == ':') path.erase(0, 1);
    std::replace(path.begin(), path.end(), '/', kPathSeparator);
  }
  return path;
}

std::string uri_from_path(const std::string& path) {
  return file_uri(path);
}
