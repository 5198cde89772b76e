// Keyword matching in source fields: a keyword matches when its text occurs anywhere in the
// field, in the exact letter case or ignoring it (ASCII letters; every keyword is ASCII).
#pragma once

#include <string>
#include <string_view>

#include "compiler/field_reader.h"

inline bool contains(std::string_view field, const char* keyword) {
  return field.find(keyword) != std::string_view::npos;
}

bool contains_ignoring_case(std::string_view field, const char* keyword);

// `field` with its ASCII capitals made small, into `lowered` (its room reused): a field is
// lowered once and then searched for each keyword, all of which are written in small letters.
void lower_ascii_into(std::string_view field, std::string* lowered);

// A section header: a field holding both "[" and "]" that does not begin with "-" (leading
// blanks aside).
bool is_section_header(const std::string& field);

// Reads the next field to be tested for keywords into `field`, skipping up to two separator
// fields (fields holding "-") in a row; a third is tested whatever it holds. False when a read
// reached the end of the file: the last field of a file is never tested.
bool next_keyword_field(FieldReader* in, std::string* field);
// The same, the field as a view into the reader's text.
bool next_keyword_field(FieldReader* in, std::string_view* field);
