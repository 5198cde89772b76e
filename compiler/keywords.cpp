#include "compiler/keywords.h"

#include <cstring>

namespace {

char lower_ascii(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

}  // namespace

bool contains_ignoring_case(std::string_view field, const char* keyword) {
  const size_t length = std::strlen(keyword);
  if (length > field.size()) return false;
  if (length == 0) return true;
  const char first = lower_ascii(keyword[0]);
  for (size_t at = 0; at + length <= field.size(); ++at) {
    if (lower_ascii(field[at]) != first) continue;
    size_t k = 1;
    while (k < length && lower_ascii(field[at + k]) == lower_ascii(keyword[k])) ++k;
    if (k == length) return true;
  }
  return false;
}

void lower_ascii_into(std::string_view field, std::string* lowered) {
  lowered->resize(field.size());
  char* out = &(*lowered)[0];
  for (size_t i = 0; i < field.size(); ++i) out[i] = lower_ascii(field[i]);
}

bool is_section_header(const std::string& field) {
  const size_t first = field.find_first_not_of(' ');
  return contains(field, "[") && contains(field, "]") &&
         !(first != std::string::npos && field[first] == '-');
}

bool next_keyword_field(FieldReader* in, std::string_view* field) {
  *field = in->read_text_view();
  for (int skipped = 0; !in->eof() && skipped < 2 && contains(*field, "-"); ++skipped) {
    *field = in->read_text_view();
  }
  return !in->eof();
}

bool next_keyword_field(FieldReader* in, std::string* field) {
  std::string_view view;
  const bool more = next_keyword_field(in, &view);
  field->assign(view.data(), view.size());
  return more;
}
