#include "compiler/row_walker.h"

#include <algorithm>
#include <utility>

#include "compiler/checked_math.h"
#include "compiler/keywords.h"

RowWalker::RowWalker(std::string text, bool curve_values)
    : in_(std::move(text)), curve_values_(curve_values) {}

bool RowWalker::skip_to_general() {
  for (;;) {
    const std::string_view field = in_.read_text_view();
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
  started_known_ = false;
}

bool RowWalker::next_general_field() {
  if (in_.eof()) return false;
  std::string_view field = in_.read_text_view();
  if (in_.eof()) return false;
  for (int k = 0; k < 10 && contains(field, "-"); ++k) field = in_.read_text_view();
  field_.assign(field.data(), field.size());
  begin_field();
  return true;
}

bool RowWalker::next_field() {
  if (in_.eof()) return false;
  std::string_view field;
  const bool more = next_keyword_field(&in_, &field);
  // The field stays the last one read even at the end of the source, as a reader may ask.
  field_.assign(field.data(), field.size());
  started_known_ = false;
  if (!more) return false;
  begin_field();
  return true;
}

uint32_t RowWalker::rows_started(SourcePart part, const std::vector<const RowGrammar*>& rows) {
  const bool keep = field_.size() <= kLongestKeptField;
  if (keep) {
    // Rows of a kind mostly come together: the field found last is looked at first.
    for (size_t n = 0; n < kept_count_; ++n) {
      const size_t k = (kept_found_ + n) % kKeptFields;
      if (kept_[k].part == part && kept_[k].field == field_) {
        kept_found_ = k;
        return kept_[k].rows;
      }
    }
  }
  lower_ascii_into(field_, &lowered_);
  uint32_t started = 0;
  for (size_t k = 0; k < rows.size(); ++k) {
    if (rows[k]->matches(field_, lowered_)) started |= uint32_t(1) << k;
  }
  if (keep) {
    StartedRows& kept = kept_[kept_next_];
    kept.part = part;
    kept.field = field_;
    kept.rows = started;
    kept_found_ = kept_next_;
    kept_next_ = (kept_next_ + 1) % kKeptFields;
    kept_count_ = std::max(kept_count_, kept_next_ == 0 ? kKeptFields : kept_next_);
  }
  return started;
}

const RowGrammar* RowWalker::next_row(SourcePart part) {
  if (!started_known_ || started_part_ != part) {
    rows_ = &rows_of(part);
    if (next_row_ >= rows_->size()) return nullptr;
    started_ = rows_started(part, *rows_);
    started_part_ = part;
    started_known_ = true;
  }
  const size_t count = rows_->size();
  // The rows left that the field starts (a part has fewer than 32 rows).
  if (next_row_ >= count || (started_ >> next_row_) == 0) {
    next_row_ = std::max(next_row_, count);
    return nullptr;
  }
  while (((started_ >> next_row_) & 1) == 0) ++next_row_;
  row_ = (*rows_)[next_row_++];
  values_read_ = 0;
  return row_;
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
