#include "compiler/source_grammar.h"

#include <array>

#include "common/people_text.h"
#include "compiler/keywords.h"

namespace {

// Each row's value names, as many as its values.
#define ROW(id, part, keyword, also, match, numbers, text, values, spellings, ...)    \
  const char* const id##Names[] = {__VA_ARGS__};                                      \
  static_assert(sizeof(id##Names) / sizeof(id##Names[0]) == numbers + (text ? 1 : 0), \
                "a name for each value of " #id);
#include "compiler/source_grammar.def"
#undef ROW

const RowGrammar kRows[] = {
#define ROW(id, part, keyword, also, match, numbers, text, values, spellings, ...) \
  {RowId::id, SourcePart::part, keyword,   also,     RowGrammar::match, numbers,   \
   text,      values,           spellings, id##Names},
#include "compiler/source_grammar.def"
#undef ROW
};

// The row walker keeps the rows a field starts as the bits of a uint32_t.
static_assert(sizeof(kRows) / sizeof(kRows[0]) <= 32, "the rows of a part fit 32 bits");

}  // namespace

bool RowGrammar::matches(std::string_view field) const {
  if (match == kExact) return contains(field, keyword) && contains(field, also);
  return contains_ignoring_case(field, keyword) && contains_ignoring_case(field, also);
}

bool RowGrammar::matches(std::string_view field, std::string_view lowered) const {
  if (match == kExact) return contains(field, keyword) && contains(field, also);
  return contains(lowered, keyword) && contains(lowered, also);
}

const std::vector<const RowGrammar*>& rows_of(SourcePart part) {
  static const std::array<std::vector<const RowGrammar*>, 3> kParts = [] {
    std::array<std::vector<const RowGrammar*>, 3> parts;
    for (const RowGrammar& row : kRows) parts[static_cast<size_t>(row.part)].push_back(&row);
    return parts;
  }();
  return kParts[static_cast<size_t>(part)];
}

const RowGrammar& grammar_of(RowId id) {
  return kRows[static_cast<int>(id)];
}

const RowGrammar* row_started_by(SourcePart part, const std::string& field) {
  for (const RowGrammar* row : rows_of(part)) {
    if (row->matches(field)) return row;
  }
  return nullptr;
}
