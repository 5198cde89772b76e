// The grammar of the two sources as one table (compiler/source_grammar.def): which field starts
// which row, and how many fields the row takes. The readers dispatch on it; the authors' tools
// count fields and name values by it, so that neither restates it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class RowId {
#define ROW(id, ...) id,
#include "compiler/source_grammar.def"
#undef ROW
};

// Where a row may stand.
enum class SourcePart { kGeneral, kFeatures, kTrain };

struct RowGrammar {
  enum Match { kExact, kAnyCase };

  RowId id;
  SourcePart part;
  const char* keyword;
  const char* also;  // "" when one keyword is enough
  Match match;
  int numbers;               // numbers after the keyword field
  bool text;                 // a text field after the numbers
  const char* values;        // the values in words
  const char* spellings;     // the keyword as written, '|' between spellings
  const char* const* names;  // each value's name, values_count() of them

  // Whether a keyword field starts this row.
  bool matches(std::string_view field) const;
  // The same for a field already lowered as well (lower_ascii_into): `lowered` is searched for
  // the keywords matched in any letter case, which are written in small letters.
  bool matches(std::string_view field, std::string_view lowered) const;
  // Fields after the keyword field.
  int values_count() const { return numbers + (text ? 1 : 0); }
};

// The rows of `part`, in the order a field is tested against them.
const std::vector<const RowGrammar*>& rows_of(SourcePart part);
const RowGrammar& grammar_of(RowId id);
// The first row of `part` that `field` starts, or null.
const RowGrammar* row_started_by(SourcePart part, const std::string& field);
