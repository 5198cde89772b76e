#include "tools/analysis/row_index.h"

#include <algorithm>

#include "compiler/checked_math.h"
#include "compiler/field_reader.h"
#include "compiler/keywords.h"
#include "compiler/row_walker.h"

namespace {

bool ends_with(const char* text, const char* tail) {
  const std::string t(text), e(tail);
  return t.size() >= e.size() && t.compare(t.size() - e.size(), e.size(), e) == 0;
}

// Reads the rows `walker`'s current keyword field starts among `part`'s into `index`. False when
// the source ended inside a row.
bool index_field(RowWalker& walker, SourcePart part, RowIndex* index) {
  while (const RowGrammar* grammar = walker.next_row(part)) {
    IndexedRow row;
    row.grammar = grammar;
    row.keyword_from = walker.row_offset();
    row.keyword_to = walker.keyword_end();
    row.end = row.keyword_to;
    row.first_value = index->values.size();
    bool ended = false;
    if (walker.reads_values()) {
      for (int k = 0; k < grammar->values_count() && !ended; ++k) {
        IndexedValue value;
        value.k = uint8_t(k);
        value.number = k < grammar->numbers;
        if (walker.eof()) {
          ended = true;
          break;
        }
        try {
          if (value.number) {
            value.number_read = walker.i32();
            value.reads_as_number = true;
          } else {
            walker.text();
          }
        } catch (const RunTimeFailure&) {
          // A field that is not a number (or too large) is still this value's; the walk goes on
          // after it.
        }
        value.from = uint32_t(walker.value_offset());
        value.to = uint32_t(std::max(walker.value_end(), walker.value_offset()));
        row.end = std::max(row.end, size_t(value.to));
        index->values.push_back(value);
        ++row.value_count;
      }
    }
    row.complete =
        row.value_count == size_t(grammar->values_count()) || (!walker.reads_values() && !ended);
    if (placed_on_line(*grammar) && row.value_count > 0) {
      row.position = index->values[row.first_value].read();
    }
    index->rows.push_back(row);
    if (ended) return false;
  }
  return true;
}

}  // namespace

bool placed_on_line(const RowGrammar& row) {
  if (row.numbers == 0) return false;
  return ends_with(row.names[0], "position") || ends_with(row.names[0], "start");
}

const IndexedRow* RowIndex::row_before(size_t offset) const {
  auto after = std::upper_bound(rows.begin(), rows.end(), offset,
                                [](size_t o, const IndexedRow& r) { return o < r.keyword_from; });
  return after == rows.begin() ? nullptr : &*(after - 1);
}

const IndexedRow* RowIndex::row_at(size_t offset) const {
  const IndexedRow* row = row_before(offset);
  if (row == nullptr || offset > row->end) return nullptr;
  return row;
}

const IndexedValue* RowIndex::value_at(const IndexedRow& row, size_t offset) const {
  for (size_t k = 0; k < row.value_count; ++k) {
    const IndexedValue& v = values[row.first_value + k];
    if (offset >= v.from && offset <= v.to) return &v;
  }
  return nullptr;
}

RowIndex index_rows(const std::string& text, bool line_source, bool curve_values,
                    size_t max_bytes) {
  RowIndex index;
  if (text.size() > max_bytes) return index;
  // Room for every field at most (each ends at a comma or a line end), so that the lists grow in
  // place.
  size_t fields = 1;
  for (const char c : text) fields += c == ',' || c == '\n';
  index.values.reserve(fields);
  index.rows.reserve(fields / 2 + 1);
  RowWalker walker(text, curve_values);
  try {
    if (!walker.skip_to_general()) return index;
    if (line_source) {
      while (walker.next_general_field()) {
        if (!index_field(walker, SourcePart::kGeneral, &index)) return index;
        if (is_section_header(walker.field())) break;
      }
    }
    const SourcePart part = line_source ? SourcePart::kFeatures : SourcePart::kTrain;
    while (walker.next_field()) {
      if (!index_field(walker, part, &index)) return index;
    }
  } catch (const RunTimeFailure&) {
    // A read past the last field: the rows found so far are the source's.
  }
  return index;
}
