// Every row of a source as the compiler's own walk reads it (compiler/row_walker.h): where its
// keyword field stands, and each value's bytes under the name the grammar gives it. Hover,
// completion, signature help, the route view's marks and the places of problems are lookups here,
// so that no surface reads a row its own way.
//
// The walk goes on past a value that cannot be read (the compiler stops there): the next field
// is tested for a keyword, as the reading would go on once that value is mended, so that the rows
// after an error are found too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compiler/source_grammar.h"

// Kept small, for a source may hold hundreds of thousands of values: offsets in 32 bits (a
// source is walked only up to 16 MiB).
struct IndexedValue {
  uint32_t from = 0, to = 0;  // its bytes: from its first character to one past its last
  int32_t number_read = 0;    // what it reads as, with `reads_as_number`
  uint8_t k = 0;              // its place in the row: the grammar's names[k] names it
  bool number = true;         // a number field; false for the row's text
  bool reads_as_number = false;

  std::optional<int32_t> read() const {
    return reads_as_number ? std::optional<int32_t>(number_read) : std::nullopt;
  }
};

struct IndexedRow {
  const RowGrammar* grammar = nullptr;
  size_t keyword_from = 0, keyword_to = 0;  // the keyword field
  size_t end = 0;                           // one past the last byte read of the row
  size_t first_value = 0;  // its values: RowIndex::values[first_value, + value_count)
  size_t value_count = 0;  // fewer than the grammar's when the source ended or a value failed
  bool complete = false;   // every value of the grammar read
  // The row's first value when the grammar makes it a place on the line (a position, a start)
  // and it reads as a number.
  std::optional<int32_t> position;
};

class RowIndex {
 public:
  std::vector<IndexedRow> rows;  // in the order read: rising offsets of their keywords
  std::vector<IndexedValue> values;

  // The row whose bytes, keyword to last value, hold `offset`; the last one when several rows
  // share a keyword field; null for none.
  const IndexedRow* row_at(size_t offset) const;
  // The last row whose keyword begins at or before `offset`; null for none.
  const IndexedRow* row_before(size_t offset) const;
  // The value of `row` whose bytes hold `offset` (its end included); null for none.
  const IndexedValue* value_at(const IndexedRow& row, size_t offset) const;
  const IndexedValue* value(const IndexedRow& row, size_t k) const {
    return k < row.value_count ? &values[row.first_value + k] : nullptr;
  }
};

// Whether a row's first value is a place on the line: a position or a start, not a route length,
// a distance, a count or the clock.
bool placed_on_line(const RowGrammar& row);

// The rows of a line source (`line_source`) or a train source. `curve_values`: whether a curve
// row's values are read (only when the line plan is built). A source over `max_bytes` is not
// walked (its index stays empty).
RowIndex index_rows(const std::string& text, bool line_source, bool curve_values,
                    size_t max_bytes = size_t(16) << 20);

// The name the grammar gives `value` of `row` ("gradient position").
inline const char* value_name(const IndexedRow& row, const IndexedValue& value) {
  return row.grammar->names[value.k];
}
