// Reads a scenario source one field at a time.
//
// A field ends at a comma or at a line end (CR LF, or a lone LF or CR: authors' files come from
// any editor); blanks in front of it are skipped. Each read names the type of its target:
//
// - text runs to the next comma or line end, which it consumes; its trailing blanks are dropped.
//   A field that opens with a double quote runs to the closing quote, commas and line ends
//   included, and keeps everything between the quotes; whatever follows the closing quote up to
//   the next comma or line end is dropped. A quote that is never closed runs to the line end.
// - a number also ends at a blank: the reader then skips blanks and consumes a comma or line
//   end only if one comes next, so numbers separated by blanks alone are separate fields
//   ("13    10    45" gives 13, 10, 45). An empty field reads as 0. A number is an optional
//   sign and decimal digits, with an optional decimal fraction that rounds half to even.
//
// Failures are run-time failures (RunTimeFailure): a field that is not a number where one is
// expected, a value out of range for its target, and a read when no field is left.
//
// End of file: eof() turns true with the read that consumes the last field (what follows it is
// only blanks and line ends), so a loop that tests it after each read never handles the last
// field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class FieldReader {
 public:
  explicit FieldReader(std::string text);

  std::string read_text() { return std::string(read_text_view()); }
  // The same field as read_text, as a view into the reader's own text (valid while the reader
  // lives): a field, quoted or not, is always one stretch of the text.
  std::string_view read_text_view();
  int32_t read_i32(const char* what);
  int16_t read_i16(const char* what);
  uint8_t read_u8(const char* what);

  bool eof() const { return eof_; }

  // Byte offset in the text where the most recently read field begins (after its blanks).
  size_t field_offset() const { return field_offset_; }
  // One past the last byte of that field as it was cut: its last character or closing quote,
  // blanks after it left out.
  size_t field_end() const { return field_end_; }

  // Where the reader stands, to come back to after reading ahead.
  struct Mark {
    size_t at;
    size_t field_offset;
    size_t field_end;
    bool eof;
  };
  Mark mark() const { return {at_, field_offset_, field_end_, eof_}; }
  void reset(const Mark& mark) {
    at_ = mark.at;
    field_offset_ = mark.field_offset;
    field_end_ = mark.field_end;
    eof_ = mark.eof;
  }

 private:
  int64_t read_number(const char* what);
  void begin_field();
  void skip_blanks();
  void consume_delimiter_if_next();
  void update_eof();

  std::string text_;
  size_t at_ = 0;
  size_t content_end_ = 0;  // one past the last character that can belong to a field
  size_t field_offset_ = 0;
  size_t field_end_ = 0;
  bool eof_ = false;
};
