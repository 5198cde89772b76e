// Keyword matching in source fields: a keyword matches when its text occurs anywhere in the
// field, in the exact letter case or ignoring it (ASCII letters; every keyword is ASCII).
#pragma once

#include <string>

#include "compiler/field_reader.h"

inline bool contains(const std::string& field, const char* keyword) {
  return field.find(keyword) != std::string::npos;
}

bool contains_ignoring_case(const std::string& field, const char* keyword);

// A section header: a field holding both "[" and "]" that does not begin with "-" (leading
// blanks aside).
bool is_section_header(const std::string& field);

// Reads the next field to be tested for keywords into `field`, skipping up to two separator
// fields (fields holding "-") in a row; a third is tested whatever it holds. False when a read
// reached the end of the file: the last field of a file is never tested.
bool next_keyword_field(FieldReader* in, std::string* field);
