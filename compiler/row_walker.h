// The one walk of a source's rows, shared by the compiler's two readers and the authors' lint, so
// that all of them see the same rows in the same fields.
//
// The walker owns the source's fields and where it stands in them. It passes over everything up
// to "[generale]", finds each keyword field (past the separators, fields holding "-"), hands out
// the rows of the grammar (compiler/source_grammar.def) that the field starts, in the grammar's
// order, and then the current row's values one at a time, each read under its name from the
// grammar. A value that cannot be read is a RunTimeFailure, as for FieldReader; what the row's
// reader made of the values before it stays as it was.
//
// The compile options decide what is read: without the line plan a curve row's values are not
// read (the row is handed out, but its numbers are passed over as fields, as any other field).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compiler/field_reader.h"
#include "compiler/source_grammar.h"

class RowWalker {
 public:
  // `curve_values`: whether a curve row's values are read (only when the line plan is built).
  RowWalker(std::string text, bool curve_values);

  // Passes over everything up to the first field holding "[generale]": false when the source
  // ends there or before.
  bool skip_to_general();
  // The next keyword field of the line source's general section, past up to ten separators:
  // false when the source ends (the row before stays the current one).
  bool next_general_field();
  // The next keyword field among the line source's features or the train source's rows, past up
  // to two separators: false when the source ends (its last field is never tested).
  bool next_field();

  // The next row of `part` that the keyword field starts, after the one handed out last; null
  // when no other is left.
  const RowGrammar* next_row(SourcePart part);

  // The current row's next value, under its name.
  int32_t i32() { return in_.read_i32(next_name()); }
  int16_t i16() { return in_.read_i16(next_name()); }
  uint8_t u8() { return in_.read_u8(next_name()); }
  // The row's text: the field read as it is, never taken for a keyword.
  std::string text();
  // Whether the current row's values are read here: not a curve's without the line plan.
  bool reads_values() const {
    return row_ == nullptr || row_->id != RowId::kCurve || curve_values_;
  }

  // The keyword field, where it begins, and the row handed out last (null before the field's
  // first row).
  const std::string& field() const { return field_; }
  size_t row_offset() const { return row_offset_; }
  const RowGrammar* row() const { return row_; }
  // The row's first value, its position: as read, or read ahead when the row stopped before
  // reading it; nothing when there is no row or the value is not a number.
  std::optional<int32_t> row_position();

  // Where the field read last begins and ends: a value, or the keyword field.
  size_t value_offset() const { return in_.field_offset(); }
  size_t value_end() const { return in_.field_end(); }
  // Where the keyword field ends, one past its last character.
  size_t keyword_end() const { return keyword_end_; }
  bool eof() const { return in_.eof(); }

 private:
  const char* next_name();
  void begin_field();
  // Which rows of `part` the keyword field starts, a bit for each in the part's order (a part
  // has fewer than 32 rows).
  uint32_t rows_started(SourcePart part, const std::vector<const RowGrammar*>& rows);

  FieldReader in_;
  const bool curve_values_;
  std::string field_;
  // The rows the keyword field starts, once worked out for it (rows_started), of these rows.
  const std::vector<const RowGrammar*>* rows_ = nullptr;
  uint32_t started_ = 0;
  bool started_known_ = false;
  SourcePart started_part_ = SourcePart::kGeneral;
  // A source repeats a few keyword fields row after row: the rows each of the last few distinct
  // ones starts are kept, so that a field is tested against the grammar once, not on every row.
  // A field is tested in small letters (lowered_), made once for all the rows.
  struct StartedRows {
    SourcePart part;
    std::string field;
    uint32_t rows;
  };
  static constexpr size_t kKeptFields = 8;
  static constexpr size_t kLongestKeptField = 64;
  StartedRows kept_[kKeptFields] = {};
  size_t kept_count_ = 0;
  size_t kept_next_ = 0;
  size_t kept_found_ = 0;
  std::string lowered_;
  size_t row_offset_ = static_cast<size_t>(-1);
  size_t keyword_end_ = static_cast<size_t>(-1);
  const RowGrammar* row_ = nullptr;
  size_t next_row_ = 0;  // index in the part's rows of the next one to test
  int values_read_ = 0;
  FieldReader::Mark first_value_{};  // where the row's first value begins, once it is read
};
