#include "compiler/row_walker.h"

#include <utility>

#include "compiler/checked_math.h"
#include "compiler/keywords.h"

RowWalker::RowWalker(std::string text, bool curve_values)
    : in_(std::move(text)), curve_values_(curve_values) {}

bool RowWalker::skip_to_general() {
  for (;;) {
    const std::string field = in_.read_text();
    if (in_.eof()) return false;
    if (contains_ignoring_case(field, "[generale]")) return true;
  }
}

void RowWalker::begin_field() {
  row_offset_ = in_.field_offset();
  keyword_end_ = in_.field_end();
  row_ = nullptr;
  next_row_ = 0;
  values_read_ = 0;
}

bool RowWalker::next_general_field() {
  if (in_.eof()) return false;
  std::string field = in_.read_text();
  if (in_.eof()) return false;
  for (int k = 0; k < 10 && contains(field, "-"); ++k) field = in_.read_text();
  field_ = std::move(field);
  begin_field();
  return true;
}

bool RowWalker::next_field() {
  if (in_.eof() || !next_keyword_field(&in_, &field_)) return false;
  begin_field();
  return true;
}

const RowGrammar* RowWalker::next_row(SourcePart part) {
  const std::vector<const RowGrammar*>& rows = rows_of(part);
  while (next_row_ < rows.size()) {
    const RowGrammar* row = rows[next_row_++];
    if (row->matches(field_)) {
      row_ = row;
      values_read_ = 0;
      return row;
    }
  }
  return nullptr;
}

const char* RowWalker::next_name() {
  if (values_read_ == 0) first_value_ = in_.mark();
  // A reader never reads more values than its row has; "value" would name one that it did.
  const bool named = row_ != nullptr && values_read_ < row_->values_count();
  return named ? row_->names[values_read_++] : tr_mark("value");
}

std::string RowWalker::text() {
  next_name();
  return in_.read_text();
}

std::optional<int32_t> RowWalker::row_position() {
  if (row_ == nullptr || !reads_values() || row_->numbers == 0) return std::nullopt;
  const FieldReader::Mark before = in_.mark();
  // A row that has read values has its first one behind it: it is read again from its field.
  if (values_read_ > 0) in_.reset(first_value_);
  std::optional<int32_t> position;
  try {
    position = in_.read_i32(row_->names[0]);
  } catch (const RunTimeFailure&) {
  }
  in_.reset(before);
  return position;
}
