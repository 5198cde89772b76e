#include "compiler/field_reader.h"

#include <cstring>
#include <utility>

#include "compiler/checked_math.h"

namespace {

// What a byte is to the reader: each field is cut by scanning for one of these, a table look-up
// a byte.
enum : unsigned char { kBlank = 1, kComma = 2, kLineEnd = 4 };

struct ByteClasses {
  unsigned char of[256] = {};
  constexpr ByteClasses() {
    of[static_cast<unsigned char>(' ')] = kBlank;
    of[static_cast<unsigned char>(',')] = kComma;
    of[static_cast<unsigned char>('\r')] = kLineEnd;
    of[static_cast<unsigned char>('\n')] = kLineEnd;
  }
};
constexpr ByteClasses kBytes;

inline unsigned char byte_class(char c) {
  return kBytes.of[static_cast<unsigned char>(c)];
}

}  // namespace

FieldReader::FieldReader(std::string text) : text_(std::move(text)) {
  // Everything after the last character that is not a blank or a line end forms no field.
  content_end_ = text_.size();
  while (content_end_ > 0 && (text_[content_end_ - 1] == ' ' || text_[content_end_ - 1] == '\r' ||
                              text_[content_end_ - 1] == '\n')) {
    --content_end_;
  }
  update_eof();
}

void FieldReader::skip_blanks() {
  const char* s = text_.data();
  const size_t n = text_.size();
  while (at_ < n && s[at_] == ' ') ++at_;
}

void FieldReader::consume_delimiter_if_next() {
  const char* s = text_.data();
  const size_t n = text_.size();
  if (at_ >= n) return;
  if (s[at_] == ',') {
    ++at_;
  } else if (s[at_] == '\r') {
    ++at_;
    if (at_ < n && s[at_] == '\n') ++at_;
  } else if (s[at_] == '\n') {
    ++at_;
  }
}

void FieldReader::update_eof() {
  eof_ = at_ >= content_end_;
}

void FieldReader::begin_field() {
  if (eof_) throw RunTimeFailure(tr_mark("read past the last field of the file"), {});
  skip_blanks();
  field_offset_ = at_;
}

std::string_view FieldReader::read_text_view() {
  begin_field();
  const char* s = text_.data();
  const size_t n = text_.size();
  std::string_view field;
  if (at_ < n && s[at_] == '"') {
    const void* quote = std::memchr(s + at_ + 1, '"', n - at_ - 1);
    if (quote == nullptr) {
      // Never closed: the field runs to the line end.
      size_t end = at_ + 1;
      while (end < n && !(byte_class(s[end]) & kLineEnd)) ++end;
      field = std::string_view(s + at_ + 1, end - at_ - 1);
      at_ = end;
      field_end_ = end;
    } else {
      const size_t close = static_cast<size_t>(static_cast<const char*>(quote) - s);
      field = std::string_view(s + at_ + 1, close - at_ - 1);
      at_ = close + 1;
      field_end_ = at_;
      while (at_ < n && !(byte_class(s[at_]) & (kComma | kLineEnd))) ++at_;
    }
  } else {
    const size_t start = at_;
    while (at_ < n && !(byte_class(s[at_]) & (kComma | kLineEnd))) ++at_;
    size_t end = at_;
    while (end > start && s[end - 1] == ' ') --end;
    field = std::string_view(s + start, end - start);
    field_end_ = end;
  }
  consume_delimiter_if_next();
  update_eof();
  return field;
}

namespace {

// The value of a number field's characters (see the header): a RunTimeFailure naming `what`
// when they are not a number.
int64_t number_value(const char* token, size_t size, const char* what) {
  if (size == 0) return 0;
  size_t i = 0;
  const bool negative = token[0] == '-';
  if (token[0] == '-' || token[0] == '+') ++i;
  int64_t whole = 0;
  size_t digits = 0;
  for (; i < size && token[i] >= '0' && token[i] <= '9'; ++i, ++digits) {
    // Past this the value fits no target anyway; keep it from overflowing.
    if (whole < int64_t(1) << 40) whole = whole * 10 + (token[i] - '0');
  }
  // A fraction rounds the whole part from its digits alone: below one half down, above it
  // up, exactly one half to the even neighbour.
  int first_fraction_digit = 0;
  bool more_after_first = false;
  if (i < size && token[i] == '.') {
    for (size_t place = 0; ++i < size && token[i] >= '0' && token[i] <= '9'; ++place, ++digits) {
      if (place == 0) {
        first_fraction_digit = token[i] - '0';
      } else if (token[i] != '0') {
        more_after_first = true;
      }
    }
  }
  if (digits == 0 || i != size) {
    throw RunTimeFailure(tr_mark("{1}: \"{2}\" is not a number"), {what, std::string(token, size)},
                         true);
  }
  const bool half = first_fraction_digit == 5 && !more_after_first;
  const bool up = first_fraction_digit > 5 || (first_fraction_digit == 5 && more_after_first) ||
                  (half && whole % 2 == 1);
  const int64_t value = up ? whole + 1 : whole;
  return negative ? -value : value;
}

}  // namespace

int64_t FieldReader::read_number(const char* what) {
  begin_field();
  const char* s = text_.data();
  const size_t n = text_.size();
  if (at_ < n && s[at_] == '"') {
    // A quoted number: the text between the quotes, without its blanks.
    const void* quote = std::memchr(s + at_ + 1, '"', n - at_ - 1);
    const size_t end =
        quote == nullptr ? n : static_cast<size_t>(static_cast<const char*>(quote) - s);
    // Without its blanks, cut once: a quoted number may hold any number of them.
    size_t first = at_ + 1;
    size_t last = end;
    while (first < last && s[first] == ' ') ++first;
    while (last > first && s[last - 1] == ' ') --last;
    at_ = quote == nullptr ? end : end + 1;
    field_end_ = at_;
    skip_blanks();
    consume_delimiter_if_next();
    update_eof();
    return number_value(s + first, last - first, what);
  }
  // Most numbers are a sign and digits alone: they are cut and valued in one pass over them.
  const size_t start = at_;
  size_t i = start;
  if (i < n && (s[i] == '-' || s[i] == '+')) ++i;
  const size_t digits_from = i;
  int64_t whole = 0;
  for (; i < n; ++i) {
    const unsigned digit = static_cast<unsigned char>(s[i]) - unsigned('0');
    if (digit > 9) break;
    // Past this the value fits no target anyway; keep it from overflowing.
    if (whole < int64_t(1) << 40) whole = whole * 10 + digit;
  }
  const bool whole_number = i == n || byte_class(s[i]) != 0;
  // Anything else (a fraction, a stray character) runs on to the field's end.
  while (i < n && !byte_class(s[i])) ++i;
  at_ = i;
  field_end_ = at_;
  skip_blanks();
  consume_delimiter_if_next();
  update_eof();
  if (whole_number && i > digits_from) return s[start] == '-' ? -whole : whole;
  return number_value(s + start, i - start, what);
}

int32_t FieldReader::read_i32(const char* what) {
  const int64_t value = read_number(what);
  // In range, as nearly every value is, without the call.
  if (value >= INT32_MIN && value <= INT32_MAX) return static_cast<int32_t>(value);
  return fit<int32_t>(value, what);
}
int16_t FieldReader::read_i16(const char* what) {
  return fit<int16_t>(read_number(what), what);
}
uint8_t FieldReader::read_u8(const char* what) {
  return fit<uint8_t>(read_number(what), what);
}
