// Keyword matching in source fields: a keyword matches when its text occurs anywhere in the
// field, in the exact letter case or ignoring it (ASCII letters; every keyword is ASCII).
#pragma once

#include <string>

inline bool contains(const std::string& field, const char* keyword) {
  return field.find(keyword) != std::string::npos;
}

bool contains_ignoring_case(const std::string& field, const char* keyword);

// A section header: a field holding both "[" and "]" that does not begin with "-" (leading
// blanks aside).
bool is_section_header(const std::string& field);
