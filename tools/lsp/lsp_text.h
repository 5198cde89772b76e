// The language server's texts: what an editor sends (UTF-8 in JSON, positions counted in its
// negotiated units) against what the checker reads (Windows-1252 bytes, one per character), and
// the file URIs that name documents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// How an editor counts the characters of a line in a position: UTF-8 bytes, UTF-16 units (the
// protocol's default) or code points.
enum class PositionUnits { kUtf8, kUtf16, kUtf32 };

struct TextPosition {
  size_t line = 0;       // from 0
  size_t character = 0;  // from 0, in the negotiated units
};

// UTF-8 text as Windows-1252 bytes, one byte for each character so that every character keeps
// its place: a character Windows-1252 cannot hold, and each byte of a malformed sequence, becomes
// '?'. `lost`, when given, says whether any did.
std::string windows_1252_in_place(const std::string& utf8, bool* lost = nullptr);

// A source as both sides hold it: its UTF-8 text (the editor's) and its Windows-1252 bytes (the
// checker's), character for character, with the starts of their lines (CR LF, LF and lone CR
// each end one, as for the checker and the protocol alike).
class SourceText {
 public:
  static SourceText from_utf8(std::string utf8);
  static SourceText from_windows_1252(std::string bytes);

  const std::string& utf8() const { return utf8_; }
  const std::string& bytes() const { return bytes_; }
  bool lost_characters() const { return lost_; }
  size_t line_count() const { return utf8_starts_.size(); }

  // The position of the byte at `offset` (past the end: the end), in `units`.
  TextPosition position_of_byte(size_t offset, PositionUnits units) const;
  // The byte at a position (a character past its line's end: the line's end; a line past the
  // last: the end of the text).
  size_t byte_at(TextPosition position, PositionUnits units) const;
  // The offset in utf8() of a position, the same way.
  size_t utf8_at(TextPosition position, PositionUnits units) const;
  // The byte offset where line `line` (from 0) starts, and where it ends (before its line end).
  size_t line_start(size_t line) const;
  size_t line_end(size_t line) const;

 private:
  void index();
  // The UTF-8 offset in line `line` at `character` units, and the characters before it.
  size_t walk(size_t line, size_t character, PositionUnits units, size_t* characters) const;

  std::string utf8_;
  std::string bytes_;
  bool lost_ = false;
  std::vector<size_t> utf8_starts_, byte_starts_;
};

// A document's UTF-8 text while the edits of one change are applied to it, in order, each range
// taken in the text that the edits before it left (as the protocol has it). The text is held
// in pieces of some tens of bytes, in a balanced tree (a treap) that knows of each subtree its
// bytes, line ends and characters in the negotiated units: finding a position and
// replacing a range cost about the logarithm of the text's length, so a change of thousands of
// edits costs in proportion to its text and edits, not to their product. Positions are read as
// SourceText::utf8_at reads them. The text is taken to be valid UTF-8, as JSON's strings are.
class EditedText {
 public:
  EditedText(const std::string& utf8, PositionUnits units);
  ~EditedText();
  EditedText(const EditedText&) = delete;
  EditedText& operator=(const EditedText&) = delete;

  // Replaces the text from `from` to `to` (an end before the start is the start) with `text`.
  void replace(TextPosition from, TextPosition to, const std::string& text);
  // Replaces the whole text.
  void replace_all(const std::string& text);
  // The text as the edits left it.
  std::string text() const;

  struct Node;
  using Tree = std::unique_ptr<Node>;

 private:
  Tree pieces(const std::string& text);
  size_t offset_of(TextPosition position) const;
  size_t line_start(size_t line) const;
  size_t line_end(size_t line) const;
  size_t units_before(size_t offset) const;
  size_t offset_after_units(size_t units) const;
  char byte(size_t offset) const;
  void keep_line_end_whole(size_t offset);

  PositionUnits units_;
  uint64_t seed_ = 0x9E3779B97F4A7C15u;
  Tree root_;
};

// The path a file URI names ("file:///home/a/x.txt", "file:///c%3A/x.txt"); empty for any other
// URI or one that names no plain path (a host, an encoded NUL or separator inside a name).
std::string path_from_uri(const std::string& uri);
// The file URI of an absolute path.
std::string uri_from_path(const std::string& path);
