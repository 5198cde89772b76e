#include "compiler/field_reader.h"

#include <utility>

#include "compiler/checked_math.h"

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
  while (at_ < text_.size() && text_[at_] == ' ') ++at_;
}

bool FieldReader::at_line_end() const {
  return at_ < text_.size() && (text_[at_] == '\r' || text_[at_] == '\n');
}

void FieldReader::consume_delimiter_if_next() {
  if (at_ >= text_.size()) return;
  if (text_[at_] == ',') {
    ++at_;
  } else if (text_[at_] == '\r') {
    ++at_;
    if (at_ < text_.size() && text_[at_] == '\n') ++at_;
  } else if (text_[at_] == '\n') {
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

std::string FieldReader::read_text() {
  begin_field();
  std::string field;
  if (at_ < text_.size() && text_[at_] == '"') {
    const size_t close = text_.find('"', at_ + 1);
    if (close == std::string::npos) {
      // Never closed: the field runs to the line end.
      size_t end = at_ + 1;
      while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n') ++end;
      field = text_.substr(at_ + 1, end - at_ - 1);
      at_ = end;
      field_end_ = end;
    } else {
      field = text_.substr(at_ + 1, close - at_ - 1);
      at_ = close + 1;
      field_end_ = at_;
      while (at_ < text_.size() && text_[at_] != ',' && !at_line_end()) ++at_;
    }
  } else {
    const size_t start = at_;
    while (at_ < text_.size() && text_[at_] != ',' && !at_line_end()) ++at_;
    size_t end = at_;
    while (end > start && text_[end - 1] == ' ') --end;
    field = text_.substr(start, end - start);
    field_end_ = end;
  }
  consume_delimiter_if_next();
  update_eof();
  return field;
}

int64_t FieldReader::read_number(const char* what) {
  begin_field();
  std::string token;
  if (at_ < text_.size() && text_[at_] == '"') {
    // A quoted number: the text between the quotes, without its blanks.
    const size_t close = text_.find('"', at_ + 1);
    const size_t end = close == std::string::npos ? text_.size() : close;
    // Without its blanks, cut once: a quoted number may hold any number of them.
    size_t first = at_ + 1;
    size_t last = end;
    while (first < last && text_[first] == ' ') ++first;
    while (last > first && text_[last - 1] == ' ') --last;
    token = text_.substr(first, last - first);
    at_ = close == std::string::npos ? end : close + 1;
  } else {
    const size_t start = at_;
    while (at_ < text_.size() && text_[at_] != ' ' && text_[at_] != ',' && !at_line_end()) ++at_;
    token = text_.substr(start, at_ - start);
  }
  field_end_ = at_;
  skip_blanks();
  consume_delimiter_if_next();
  update_eof();

  if (token.empty()) return 0;
  size_t i = 0;
  const bool negative = token[0] == '-';
  if (token[0] == '-' || token[0] == '+') ++i;
  int64_t whole = 0;
  size_t digits = 0;
  for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i, ++digits) {
    // Past this the value fits no target anyway; keep it from overflowing.
    if (whole < int64_t(1) << 40) whole = whole * 10 + (token[i] - '0');
  }
  // A fraction rounds the whole part from its digits alone: below one half down, above it
  // up, exactly one half to the even neighbour.
  int first_fraction_digit = 0;
  bool more_after_first = false;
  if (i < token.size() && token[i] == '.') {
    for (size_t place = 0; ++i < token.size() && token[i] >= '0' && token[i] <= '9';
         ++place, ++digits) {
      if (place == 0) {
        first_fraction_digit = token[i] - '0';
      } else if (token[i] != '0') {
        more_after_first = true;
      }
    }
  }
  if (digits == 0 || i != token.size()) {
    throw RunTimeFailure(tr_mark("{1}: \"{2}\" is not a number"), {what, token}, true);
  }
  const bool half = first_fraction_digit == 5 && !more_after_first;
  const bool up = first_fraction_digit > 5 || (first_fraction_digit == 5 && more_after_first) ||
                  (half && whole % 2 == 1);
  const int64_t value = up ? whole + 1 : whole;
  return negative ? -value : value;
}

int32_t FieldReader::read_i32(const char* what) {
  return fit<int32_t>(read_number(what), what);
}
int16_t FieldReader::read_i16(const char* what) {
  return fit<int16_t>(read_number(what), what);
}
uint8_t FieldReader::read_u8(const char* what) {
  return fit<uint8_t>(read_number(what), what);
}
