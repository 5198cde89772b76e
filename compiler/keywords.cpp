#include "compiler/keywords.h"

#include <cstring>

namespace {

char lower_ascii(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

}  // namespace

bool contains_ignoring_case(const std::string& field, const char* keyword) {
  const size_t length = std::strlen(keyword);
  if (length > field.size()) return false;
  for (size_t at = 0; at + length <= field.size(); ++at) {
    size_t k = 0;
    while (k < length && lower_ascii(field[at + k]) == lower_ascii(keyword[k])) ++k;
    if (k == length) return true;
  }
  return false;
}

bool is_section_header(const std::string& field) {
  const size_t first = field.find_first_not_of(' ');
  return contains(field, "[") && contains(field, "]") &&
         !(first != std::string::npos && field[first] == '-');
}

bool next_keyword_field(FieldReader* in, std::string* field) {
  *field = in->read_text();
  for (int skipped = 0; !in->eof() && skipped < 2 && contains(*field, "-"); ++skipped) {
    *field = in->read_text();
  }
  return !in->eof();
}
