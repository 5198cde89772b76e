#include "tools/analysis/source_lint.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

#include "compiler/checked_math.h"
#include "compiler/field_codec.h"
#include "compiler/field_reader.h"
#include "compiler/keywords.h"
#include "compiler/row_walker.h"
#include "compiler/source_grammar.h"
#include "tools/analysis/diagnostics.h"
#include "tools/analysis/words.h"
#include "tools/language/translation.h"

namespace {

std::string lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Fields without a letter (numbers, blanks, punctuation) are left alone: a stray number is
// most often one of a misspelt record's own.
bool without_letters(const std::string& field) {
  for (char c : field) {
    if (std::isalpha(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// A field quoted in a warning: a long one is cut short.
std::string quoted(const std::string& field) {
  return "'" + printable(elided(field, 40, 10)) + "'";
}

// A field quoted in a fix's description, which is UTF-8.
std::string quoted_utf8(const std::string& field) {
  return utf8_from_windows_1252(quoted(field));
}

// A repair's description: `written`, quoted, becomes `meant`, quoted.
std::string replace_text(const std::string& written, const std::string& meant) {
  // TRANSLATORS: a repair: {1} and {2} are texts of the source, quoted.
  return tr("replace {1} with {2}", {written, meant});
}

std::shared_ptr<const Fix> make_fix(std::string description, std::vector<FixEdit> edits,
                                    bool sure = true) {
  auto fix = std::make_shared<Fix>();
  fix->description = std::move(description);
  fix->edits = std::move(edits);
  fix->sure = sure;
  return fix;
}

// The repair of the tabs among the `size` bytes at `offset` of `text`: each becomes a blank.
// Null when there is none there.
std::shared_ptr<const Fix> tabs_fix(const std::string& text, size_t offset, size_t size) {
  std::vector<FixEdit> edits;
  for (size_t i = offset; i < text.size() && i - offset < size; ++i) {
    if (text[i] == '\t') edits.push_back({i, 1, " "});
  }
  if (edits.empty()) return nullptr;
  const std::string description =
      tr_n("replace the tab with a blank", "replace the {1} tabs with blanks", edits.size(),
           {std::to_string(edits.size())});
  return make_fix(description, std::move(edits));
}

// The warning of a tab in `field`.
std::string tab_message(const std::string& field) {
  return warning_text(
      tr_mark("a tab in the field {1}: only blanks are skipped before a field, so the tab is kept "
              "as part of it (a keyword still matches; a number would not be one, a text shows "
              "it); use blanks"),
      {quoted(field)});
}

// The tabs the reading never reached, once it stopped at `stop`: each field that holds one, from
// the line of the stop on, is warned of at its first tab, with the repair of all of the field's,
// unless a warning of the tab is there already. So every tab is named at its own place and one
// round of repairs mends them all, a row with several included.
void warn_tabs_after(const std::string& text, size_t stop, std::vector<SourceWarning>* out) {
  std::vector<size_t> warned;
  for (const SourceWarning& w : *out) {
    if (w.kind != "tab in a field") continue;
    warned.push_back(w.offset);
    if (w.fix) {
      for (const FixEdit& edit : w.fix->edits) warned.push_back(edit.offset);
    }
  }
  std::sort(warned.begin(), warned.end());
  size_t at = std::min(stop, text.size());
  while (at > 0 && text[at - 1] != '\n' && text[at - 1] != '\r') --at;
  while ((at = text.find('\t', at)) != std::string::npos) {
    if (std::binary_search(warned.begin(), warned.end(), at)) {
      ++at;
      continue;
    }
    size_t from = at;
    while (from > 0 && text[from - 1] != ',' && text[from - 1] != '\n' && text[from - 1] != '\r')
      --from;
    const size_t to = std::min(text.find_first_of(",\r\n", at), text.size());
    const std::string field = text.substr(from, to - from);
    out->push_back({at, "tab in a field", tab_message(field), tabs_fix(text, from, to - from), 1});
    at = to;
  }
}

// How far from `keyword` a field may be to count as a misspelling of it.
size_t misspelling_reach(const std::string& keyword) {
  return std::max<size_t>(2, keyword.size() / 4);
}

// The closest keyword to `field`, when it is close enough to be a misspelling of it; empty when
// none is.
std::string closest_keyword(const std::string& field, const std::vector<std::string>& keywords) {
  // The distance is at least the difference of the lengths: a field much longer than every
  // keyword misspells none, and its distances, which cost its length each, are not needed.
  size_t reach = 0;
  for (const std::string& keyword : keywords) {
    reach = std::max(reach, keyword.size() + misspelling_reach(keyword));
  }
  if (field.size() > reach) return "";
  size_t best = std::string::npos;
  std::string best_keyword;
  for (const std::string& keyword : keywords) {
    const size_t d = edit_distance(field, keyword);
    if (d < best) {
      best = d;
      best_keyword = keyword;
    }
  }
  return best <= misspelling_reach(best_keyword) ? best_keyword : "";
}

// Rows of one kind: each must start after the one before. `message` says so of a row at {1} m
// after one at {2} m.
class RowOrder {
 public:
  RowOrder(std::string name, const char* message) : name_(std::move(name)), message_(message) {}
  void check(int32_t position, size_t offset, std::vector<SourceWarning>* out) {
    if (seen_ && position <= previous_) {
      out->push_back(
          {offset, name_ + " out of order",
           warning_text(message_, {std::to_string(position), std::to_string(previous_)})});
    }
    seen_ = true;
    previous_ = position;
  }

 private:
  std::string name_;
  const char* message_;
  bool seen_ = false;
  int32_t previous_ = 0;
};

// A stretch from start to end: warns when one starts before the previous one ends. `message`
// says so of one from {1} m when the one before ends at {2} m.
class Overlap {
 public:
  Overlap(std::string name, const char* message) : name_(std::move(name)), message_(message) {}
  void check(int64_t start, int64_t end, size_t offset, std::vector<SourceWarning>* out) {
    if (seen_ && start < previous_end_) {
      out->push_back(
          {offset, name_ + " overlapping the previous one",
           warning_text(message_, {std::to_string(start), std::to_string(previous_end_)})});
    }
    seen_ = true;
    previous_end_ = std::max(previous_end_, end);
  }

 private:
  std::string name_;
  const char* message_;
  bool seen_ = false;
  int64_t previous_end_ = 0;
};

// Warns of fields that match no keyword. A source that misspells a keyword mostly misspells it
// the same way on many rows: each field's closest keyword is worked out once.
class UnknownFields {
 public:
  explicit UnknownFields(const std::vector<std::string>& keywords) : keywords_(keywords) {}
  // The keyword `field` misspells; empty when it is none's.
  const std::string& closest(const std::string& field) {
    auto found = closest_.find(field);
    if (found == closest_.end()) {
      found = closest_.emplace(field, closest_keyword(field, keywords_)).first;
    }
    return found->second;
  }
  // `text` is the source: the repair, offered when `field` misspells a keyword, writes the
  // keyword in its place. It is a guess, never made by --fix.
  void warn(const std::string& text, const std::string& field, size_t offset,
            std::vector<SourceWarning>* out) {
    const std::string& keyword = closest(field);
    out->push_back(
        {offset, "field matching no keyword",
         keyword.empty()
             ? warning_text(tr_mark("field {1} matches no keyword and is passed over"),
                            {quoted(field)})
             : warning_text(
                   // TRANSLATORS: {2} is the keyword the field likely misspells, quoted.
                   tr_mark("field {1} matches no keyword and is passed over; did you mean {2}?"),
                   {quoted(field), "'" + keyword + "'"})});
    if (!keyword.empty() && offset <= text.size() &&
        text.compare(offset, field.size(), field) == 0) {
      out->back().fix = make_fix(replace_text(quoted_utf8(field), "'" + keyword + "'"),
                                 {{offset, field.size(), keyword}}, false);
    }
  }

 private:
  const std::vector<std::string>& keywords_;
  std::unordered_map<std::string, std::string> closest_;
};

// A field that an author likely meant as a comment: the format has none, so it is read as any
// other field.
bool looks_like_comment(const std::string& field) {
  if (field.empty()) return false;
  if (field[0] == '#' || field[0] == ';' || field[0] == '\'' ||
      (field.size() >= 2 && field[0] == '/' && field[1] == '/')) {
    return true;
  }
  return field.size() > 3 && (field[0] == 'r' || field[0] == 'R') &&
         (field[1] == 'e' || field[1] == 'E') && (field[2] == 'm' || field[2] == 'M') &&
         field[3] == ' ';
}

// Warns of a field written as a comment: passed over when it holds no keyword, read as its row
// when it does.
void check_comment(const std::string& field, size_t offset, std::vector<SourceWarning>* out) {
  if (!looks_like_comment(field)) return;
  out->push_back(
      {offset, "comment",
       warning_text(tr_mark("the source format has no comments: {1} is a field like any other: "
                            "passed over when it holds no keyword, read as a row, numbers and "
                            "all, when it does"),
                    {quoted(field)})});
}

// A value with the offset of its field.
struct Number {
  int32_t value;
  size_t offset;
};

bool ends_with_word(const char* name, const char* word) {
  const size_t n = std::strlen(name), w = std::strlen(word);
  return n >= w && std::strcmp(name + n - w, word) == 0 && (n == w || name[n - w - 1] == ' ');
}

// Whether a value of the row named `name` is a place or a length in metres.
bool in_metres(const char* name) {
  return ends_with_word(name, "position") || ends_with_word(name, "start") ||
         ends_with_word(name, "end") || ends_with_word(name, "length");
}

// Which values of `row` are places or lengths in metres (in_metres of their names), a bit for
// each: worked out once for every row of the grammar, not for every value read.
uint32_t metres_values(const RowGrammar& row) {
  static const std::vector<uint32_t> kMasks = [] {
    std::vector<uint32_t> masks;
    for (SourcePart part : {SourcePart::kGeneral, SourcePart::kFeatures, SourcePart::kTrain}) {
      for (const RowGrammar* r : rows_of(part)) {
        const size_t id = static_cast<size_t>(r->id);
        if (masks.size() <= id) masks.resize(id + 1);
        for (int i = 0; i < r->values_count() && i < 32; ++i) {
          if (in_metres(r->names[i])) masks[id] |= uint32_t(1) << i;
        }
      }
    }
    return masks;
  }();
  return kMasks[static_cast<size_t>(row.id)];
}

// Whether a number reads as one to three digits, a point and three digits: "8.000", "1.500".
bool thousands_point(std::string_view token) {
  const size_t point = token.find('.');
  if (point == std::string::npos || point == 0 || point > 3 || token.size() != point + 4) {
    return false;
  }
  for (size_t i = 0; i < token.size(); ++i) {
    if (i != point && (token[i] < '0' || token[i] > '9')) return false;
  }
  return true;
}

bool is_digits(std::string_view field) {
  if (field.empty()) return false;
  for (char c : field) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A speed stored in fifths of km/h, rounded half to even: one not a multiple of 5 is changed.
// (Beyond what its field holds the reading fails, which the compiler reports.)
void check_fifths(const Number& speed, std::vector<SourceWarning>* out) {
  const double fifths = speed_fifths(speed.value);
  if (speed.value % 5 == 0 || fifths < 0 || fifths > 255) return;
  out->push_back(
      {speed.offset, "speed not a multiple of 5",
       warning_text(tr_mark("speed {1} km/h is not a multiple of 5: speeds are stored in "
                            "fifths, and it is compiled as {2} km/h"),
                    {std::to_string(speed.value), std::to_string(decode_speed(uint8_t(fifths)))})});
}

// Minutes or seconds of 60 or more in a time given as hours, minutes and seconds: the offset of
// the first such field, or nothing.
const Number* minutes_past_59(const Number& minutes, const Number& seconds) {
  if (minutes.value >= 60) return &minutes;
  if (seconds.value >= 60) return &seconds;
  return nullptr;
}

// What a text the simulator shows is: a station's name or a signboard's text.
enum class ShownText { kStationName, kSignboardText };

// Text the simulator shows: a text in UTF-8 (with a character beyond ASCII) would show as other
// characters, since the simulator reads Windows-1252.
// `source` is the whole source, `offset` where the text's field begins in it.
void check_shown_text(const std::string& source, const std::string& text, size_t offset,
                      ShownText what, std::vector<SourceWarning>* out) {
  bool beyond_ascii = false;
  for (char c : text) beyond_ascii |= static_cast<unsigned char>(c) >= 0x80;
  if (!beyond_ascii || !is_utf8(text)) return;
  const std::optional<std::string> meant = windows_1252_from_utf8(text);
  const bool station = what == ShownText::kStationName;
  const char* message =
      // TRANSLATORS: {1} is the text as the source holds it, quoted; {2} the same text as it would
      // read in Windows-1252.
      meant ? (station ? tr_mark("the station's name {1} is UTF-8: the simulator reads "
                                 "Windows-1252 and shows it as written here; saved in "
                                 "Windows-1252 it would read {2}")
                       : tr_mark("the signboard's text {1} is UTF-8: the simulator reads "
                                 "Windows-1252 and shows it as written here; saved in "
                                 "Windows-1252 it would read {2}"))
            : (station ? tr_mark("the station's name {1} is UTF-8: the simulator reads "
                                 "Windows-1252 and shows it as written here")
                       : tr_mark("the signboard's text {1} is UTF-8: the simulator reads "
                                 "Windows-1252 and shows it as written here"));
  out->push_back(
      {offset, "UTF-8 text", warning_text(message, {quoted(text), meant ? quoted(*meant) : ""})});
  // The repair writes the text in Windows-1252, where the field holds it as it was read (a
  // quoted one has its quote first).
  if (meant && offset <= source.size() && source.compare(offset, text.size(), text) == 0) {
    out->back().fix = make_fix(tr("write {1} in Windows-1252", {quoted_utf8(*meant)}),
                               {{offset, text.size(), *meant}});
  }
}

// The numbers of the row being read, each found by its name in the grammar.
class RowValues {
 public:
  void start(const RowGrammar* row) {
    row_ = row;
    values_.clear();
  }
  void add(const Number& value) { values_.push_back(value); }
  // Whether the row's numbers were read (not a curve's without the line plan).
  bool read() const { return row_ != nullptr && values_.size() == size_t(row_->numbers); }
  const Number& operator[](const char* name) const {
    for (size_t i = 0; i < values_.size(); ++i) {
      if (std::strcmp(row_->names[i], name) == 0) return values_[i];
    }
    throw std::logic_error(std::string("no value named ") + name);
  }

 private:
  const RowGrammar* row_ = nullptr;
  std::vector<Number> values_;
};

// The rows of a source, walked as the compiler's readers walk them (compiler/row_walker.h), with
// what each read shows of the field's own bytes: a tab, a fraction rounded away, a decimal comma.
class Fields {
 public:
  Fields(const std::string& text, bool curve_values, std::vector<SourceWarning>* out)
      : text_(text), in_(text, curve_values), out_(*out) {}

  RowWalker& rows() { return in_; }
  // Where the field read last begins.
  size_t offset() const { return in_.value_offset(); }

  // The next keyword field of the general section.
  bool general_field(std::string* field) {
    last_number_.offset = std::string::npos;
    if (!in_.next_general_field()) return false;
    *field = in_.field();
    check_tab(*field);
    return true;
  }

  // The current row's values, each as a number.
  void numbers(RowValues* values) {
    const RowGrammar* row = in_.row();
    values->start(row);
    row_numbers_.clear();
    if (!in_.reads_values()) return;
    const uint32_t metres_mask = metres_values(*row);
    for (int i = 0; i < row->numbers; ++i) {
      const bool metres = (metres_mask >> i) & 1;
      const Number value = number(metres);
      values->add(value);
      row_numbers_.push_back({value.value, value.offset, last_token_end_, metres});
      if (metres) check_thousands_point(row, i);
    }
    if (row->numbers > 0 && (metres_mask & 1)) {
      previous_first_[row] = row_numbers_[0].value;
    }
    for (const ReadNumber& r : row_numbers_) {
      if (r.metres) most_metres_ = std::max(most_metres_, int64_t(r.value));
    }
  }

  // A field after the row read last, on its line, that holds a number where none is taken (a
  // number too many, passed over, or a station's name): when the row holds a value in metres
  // written as "1,500", the comma is most likely a thousands separator that split it in two
  // and moved the values after it one field on. The repair takes the comma out; it is sure when
  // one such comma is there.
  void check_thousands_comma(size_t stray_offset, const std::string& stray) {
    if (row_numbers_.empty() || !is_digits(stray)) return;
    const size_t last_end = row_numbers_.back().end;
    if (stray_offset <= last_end || stray_offset > text_.size() ||
        text_.find_first_not_of(" ,", last_end) != stray_offset) {
      return;
    }
    std::vector<size_t> found;
    for (size_t i = 0; i + 1 < row_numbers_.size(); ++i) {
      const ReadNumber& a = row_numbers_[i];
      const ReadNumber& b = row_numbers_[i + 1];
      if (a.metres && a.end - a.offset <= 3 &&
          is_digits(text_.substr(a.offset, a.end - a.offset)) && text_[a.end] == ',' &&
          b.offset == a.end + 1 && b.end - b.offset == 3 && is_digits(text_.substr(b.offset, 3))) {
        found.push_back(i);
      }
    }
    for (const size_t i : found) {
      const ReadNumber& a = row_numbers_[i];
      const ReadNumber& b = row_numbers_[i + 1];
      const std::string written = text_.substr(a.offset, b.end - a.offset);
      const std::string meant =
          text_.substr(a.offset, a.end - a.offset) + text_.substr(b.offset, 3);
      out_.push_back(
          {a.offset, "thousands separator",
           warning_text(
               // TRANSLATORS: {1} is a number as written with a comma, "1,500"; {2} and {3} the two
               // values it is read as; {4} the field left over, quoted; {5} the number meant,
               // "1500".
               tr_mark("'{1}' is read as two values, {2} and {3}: a comma separates fields, so "
                       "the values after it are read one field on and the field {4} is left "
                       "over; for {5} m write '{5}' (no thousands separator)"),
               {written, std::to_string(a.value), std::to_string(b.value), quoted(stray), meant}),
           make_fix(replace_text("'" + written + "'", "'" + meant + "'"), {{a.end, 1, ""}},
                    found.size() == 1),
           written.size()});
    }
  }

  Number number(bool metres = false) {
    int32_t value;
    try {
      value = in_.i32();
    } catch (const RunTimeFailure&) {
      // Say why a field with a tab is not a number before the reading stops on it.
      const std::string token(raw_token());
      const size_t tab = token.find('\t');
      if (tab != std::string::npos) {
        out_.push_back(
            {in_.value_offset() + tab, "tab in a field",
             warning_text(tr_mark("a tab in the number field {1}: only blanks are skipped "
                                  "around a number, so the field is not a number; use blanks"),
                          {quoted(token)}),
             tabs_fix(text_, in_.value_offset(), token.size()), 1});
      }
      throw;
    }
    const std::string_view token = raw_token();
    // Most numbers are plain: a sign at most and digits, so no point to look for.
    const size_t sign = !token.empty() && (token[0] == '-' || token[0] == '+') ? 1 : 0;
    bool plain = token.size() > sign;
    for (size_t i = sign; plain && i < token.size(); ++i)
      plain = token[i] >= '0' && token[i] <= '9';
    const size_t point = plain ? std::string_view::npos : token.find('.');
    // A value in metres such as "1.500" is warned of as a likely thousands separator instead.
    if (point != std::string::npos && !(metres && thousands_point(token)) &&
        token.find_first_of("123456789", point) != std::string::npos) {
      out_.push_back(
          {in_.value_offset(), "fraction rounded away",
           warning_text(tr_mark("the number {1} has a fraction, which is rounded away: it is "
                                "read as {2} (whole numbers only; halves go to the even one)"),
                        {quoted(std::string(token)), std::to_string(value)})});
    }
    last_number_ = plain ? Number{value, in_.value_offset()} : Number{0, std::string::npos};
    last_token_end_ = in_.value_offset() + token.size();
    return {value, in_.value_offset()};
  }

  // The next keyword field, read ahead of the loop that tests it: where it begins, and false when
  // the source ends with it (the compiler never tests the last field of a file).
  bool field_ahead(std::string* field, size_t* offset) {
    last_number_.offset = std::string::npos;
    const bool more = in_.next_field();
    *field = in_.field();
    *offset = in_.value_offset();
    check_tab(*field);
    return more;
  }

  // The current row's text.
  std::string text() {
    last_number_.offset = std::string::npos;
    const std::string field = in_.text();
    check_tab(field);
    return field;
  }

  // The next keyword field of the features or the train source. A field of digits right after a
  // number and a comma, where a keyword should come, is the fraction of a number written with a
  // decimal comma.
  bool keyword_field(std::string* field) {
    const Number before = last_number_;
    const size_t before_end = last_token_end_;
    last_number_.offset = std::string::npos;
    if (!in_.next_field()) return false;
    *field = in_.field();
    check_tab(*field);
    check_thousands_comma(in_.value_offset(), *field);
    // Only in a row written with blanks after its commas: in "2,4,1,0" a field too many is more
    // likely a number too many than a fraction.
    const bool spaced = before.offset != std::string::npos &&
                        (before.offset == 0 || text_[before.offset - 1] != ',');
    if (spaced && is_digits(*field) && in_.value_offset() == before_end + 1 &&
        before_end < text_.size() && text_[before_end] == ',') {
      const std::string written = text_.substr(before.offset, before_end - before.offset);
      const std::string meant = written + "." + *field;
      FieldReader rounding(meant + ",");
      out_.push_back(
          {before.offset, "decimal comma",
           // TRANSLATORS: {1} is a number as written with a decimal comma, "2,5"; {2} the value
           // read before the comma; {3} the digits after it; {4} the number with a point, "2.5";
           // {5} what that is read as.
           warning_text(tr_mark("'{1}' is read as {2} followed by a stray field '{3}', which "
                                "is passed over: a comma separates fields; for a fraction "
                                "write '{4}' (read as {5})"),
                        {written + "," + *field, std::to_string(before.value), *field, meant,
                         std::to_string(rounding.read_i32("number"))}),
           make_fix(replace_text("'" + written + "," + *field + "'", "'" + meant + "'"),
                    {{before_end, 1, "."}}),
           in_.value_offset() + field->size() - before.offset});
    }
    return true;
  }

 private:
  // The bytes of the field just read as a number, as the reader cut them (a quoted number:
  // from its quote to the blank, comma or line end after it), where they stand in the source.
  std::string_view raw_token() const {
    const size_t from = std::min(in_.value_offset(), text_.size());
    size_t end = from;
    while (end < text_.size() && text_[end] != ' ' && text_[end] != ',' && text_[end] != '\r' &&
           text_[end] != '\n') {
      ++end;
    }
    return std::string_view(text_).substr(from, end - from);
  }

  // A value in metres written as "8.000": read as 8, a point starting a fraction, where 8000 is
  // likely meant when the fraction is all zeros or the source's places run to thousands of
  // metres. The repair takes the point out; it is sure when the value read puts the row behind
  // the one before it of its kind (or its end before its start) and the value meant does not.
  void check_thousands_point(const RowGrammar* row, size_t i) {
    const ReadNumber& r = row_numbers_[i];
    if (!thousands_point(std::string_view(text_).substr(r.offset, r.end - r.offset))) return;
    const std::string token = text_.substr(r.offset, r.end - r.offset);
    const size_t point = token.find('.');
    const std::string meant = token.substr(0, point) + token.substr(point + 1);
    const int64_t meant_value = std::stoll(meant);
    if (token.compare(point + 1, 3, "000") != 0 && most_metres_ < 1000) return;
    bool sure = false;
    if (i == 0) {
      const auto previous = previous_first_.find(row);
      sure = previous != previous_first_.end() && r.value <= previous->second &&
             previous->second < meant_value;
    } else if (ends_with_word(row->names[i], "end")) {
      const int32_t start = row_numbers_[0].value;
      sure = r.value < start && start < meant_value;
    }
    out_.push_back(
        {r.offset, "thousands separator",
         // TRANSLATORS: {1} is a number as written with a point, "8.000"; {2} what it is read as;
         // {3} the number meant, "8000".
         warning_text(tr_mark("'{1}' is read as {2} m: a point begins a fraction, and the "
                              "value is rounded to whole metres; for {3} m write '{3}' (no "
                              "thousands separator)"),
                      {token, std::to_string(r.value), meant}),
         make_fix(replace_text("'" + token + "'", "'" + meant + "'"), {{r.offset + point, 1, ""}},
                  sure),
         token.size()});
  }

  void check_tab(const std::string& field) {
    const size_t tab = field.find('\t');
    if (tab == std::string::npos) return;
    const bool quote = in_.value_offset() < text_.size() && text_[in_.value_offset()] == '"';
    const size_t start = in_.value_offset() + (quote ? 1 : 0);
    out_.push_back({start + tab, "tab in a field", tab_message(field),
                    start <= text_.size() && text_.compare(start, field.size(), field) == 0
                        ? tabs_fix(text_, start, field.size())
                        : nullptr,
                    1});
  }

  // A number of the row read last: its value, where its token begins and ends, and whether it
  // is in metres.
  struct ReadNumber {
    int32_t value;
    size_t offset;
    size_t end;
    bool metres;
  };

  const std::string& text_;
  RowWalker in_;
  std::vector<SourceWarning>& out_;
  Number last_number_{0, std::string::npos};
  size_t last_token_end_ = 0;
  std::vector<ReadNumber> row_numbers_;
  // The first value of the row of each kind read last, when it is in metres.
  std::unordered_map<const RowGrammar*, int32_t> previous_first_;
  // The largest value in metres read so far.
  int64_t most_metres_ = 0;
};
}  // namespace

std::string warning_text(const char* english, std::initializer_list<std::string> values) {
  // Every language's text is UTF-8, in the characters Windows-1252 holds; one beyond them (a
  // faulty translation) leaves the English.
  const char* text = tr(english);
  if (text == english) return fill_placeholders(english, values);
  // A translation lives as long as the program: each is converted once per thread, not once per
  // warning (a long source may have thousands).
  thread_local std::unordered_map<const char*, std::string> converted;
  auto found = converted.find(text);
  if (found == converted.end()) {
    const std::optional<std::string> bytes = windows_1252_from_utf8(text);
    found = converted.emplace(text, bytes ? *bytes : std::string(english)).first;
  }
  return fill_placeholders(found->second, values);
}

bool looks_like_number(const std::string& field) {
  size_t i = field.empty() || (field[0] != '-' && field[0] != '+') ? 0 : 1;
  const size_t digits_from = i;
  while (i < field.size() && field[i] >= '0' && field[i] <= '9') ++i;
  bool any = i > digits_from;
  if (i < field.size() && field[i] == '.') {
    const size_t fraction_from = ++i;
    while (i < field.size() && field[i] >= '0' && field[i] <= '9') ++i;
    any = any || i > fraction_from;
  }
  return any && i == field.size();
}

size_t edit_distance(const std::string& a_in, const std::string& b_in) {
  const std::string a = lower(a_in), b = lower(b_in);
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

namespace {

// The side a curve keyword gives: the reader turns a curve left when its keyword field holds an
// "s" anywhere, which a word written in it ("destra") may bring in unmeant.
void check_curve_side(const std::string& f, size_t offset, std::vector<SourceWarning>* out) {
  const std::string l = lower(f);
  const size_t s_at = l.find('s');
  if (s_at == std::string::npos) return;
  const size_t curva = l.find("curva");
  const bool s_is_side = curva != std::string::npos && curva + 5 < l.size() && l[curva + 5] == 's';
  const bool says_right = contains(l, "destra") || contains(l, "dx") || contains(l, "right");
  const bool says_left = contains(l, "sinistra") || contains(l, "sx") || contains(l, "left");
  if (says_right || (!s_is_side && !says_left)) {
    // The word holding the first "s", to show where it comes from.
    size_t from = s_at, to = s_at + 1;
    while (from > 0 && std::isalpha(static_cast<unsigned char>(f[from - 1]))) --from;
    while (to < f.size() && std::isalpha(static_cast<unsigned char>(f[to]))) ++to;
    const std::string word = f.substr(from, to - from);
    out->push_back(
        {offset, "curve side from a word",
         // TRANSLATORS: {1} is the keyword field as written, quoted; {2} the word in it holding the
         // 's', quoted.
         warning_text(tr_mark("the curve keyword {1} holds an 's' (in {2}), so the curve turns "
                              "left; write 'curvad' and the digit for a right curve, 'curvas' "
                              "and the digit for a left one"),
                      {quoted(f), quoted(word)})});
  }
}

// Why a text field is no text of its own: empty, or a section header taken in its place; the
// warning that says so of a station's name or a signboard's text, {1} being the field, quoted.
// Null when the text is one.
const char* missing_text(const std::string& text, ShownText what) {
  const bool station = what == ShownText::kStationName;
  if (text.empty()) {
    return station ? tr_mark(
                         "the station's name {1} is empty; the station shows no name of its "
                         "own")
                   : tr_mark(
                         "the signboard's text {1} is empty: the signboard shows no text of "
                         "its own");
  }
  if (is_section_header(text)) {
    return station ? tr_mark(
                         "the station's name {1} is a section header; the station shows no "
                         "name of its own")
                   : tr_mark(
                         "the signboard's text {1} is a section header: the signboard shows "
                         "no text of its own");
  }
  return nullptr;
}

// The keywords of the rows of `parts` as authors write them, for suggestions.
std::vector<std::string> spellings_of(std::initializer_list<SourcePart> parts) {
  std::vector<std::string> spellings;
  for (SourcePart part : parts) {
    for (const RowGrammar* row : rows_of(part)) {
      std::string all = row->spellings;
      for (size_t from = 0; from <= all.size();) {
        const size_t bar = std::min(all.find('|', from), all.size());
        spellings.push_back(all.substr(from, bar - from));
        from = bar + 1;
      }
    }
  }
  return spellings;
}

// Minutes or seconds of 60 or more in the time of `n` named `hours`, `minutes` and `seconds`;
// `message` says so of the time as written, {1}, and what becomes of it, the time they make,
// {2}.
void check_time(RowValues& n, const char* message, const char* hours_name, const char* minutes_name,
                const char* seconds_name, std::vector<SourceWarning>* out) {
  const Number& hours = n[hours_name];
  const Number& minutes = n[minutes_name];
  const Number& seconds = n[seconds_name];
  const int64_t total = (int64_t(hours.value) * 60 + minutes.value) * 60 + seconds.value;
  if (const Number* past = minutes_past_59(minutes, seconds)) {
    out->push_back({past->offset, "minutes or seconds of 60 or more",
                    warning_text(message, {formatted("%d:%02d:%02d", int(hours.value),
                                                     int(minutes.value), int(seconds.value)),
                                           clock_text(total, ClockStyle::kShortHours)})});
  }
}

// An adhesion outside the 8 bits it is stored in.
void check_adhesion(const Number& adhesion, std::vector<SourceWarning>* out) {
  if (adhesion.value < 0 || adhesion.value > 255) {
    out->push_back(
        {adhesion.offset, "adhesion out of range",
         warning_text(
             tr_mark("adhesion {1} lies outside 0 to 255 and wraps: it is compiled as {2}"),
             {std::to_string(adhesion.value),
              std::to_string(decode_adhesion(encode_adhesion(adhesion.value)))})});
  }
}

// A restriction's value beyond the 16 bits it is stored in.
void check_restriction_value(const Number& value, std::vector<SourceWarning>* out) {
  if (value.value > 32767) {
    out->push_back(
        {value.offset, "restriction value out of range",
         warning_text(
             tr_mark(
                 "the 'abbattimento' value {1} lies beyond 32767 and wraps: it is compiled as {2}"),
             {std::to_string(value.value), std::to_string(wrap16(value.value))})});
  }
}

// The keyword field the train lint read ahead after a station's name, tested next as the
// compiler would; whether it is the rest of a name with a comma in it, warned of already.
struct FieldAhead {
  bool have = false;
  std::string field;
  size_t offset = 0;
  bool name_part = false;
};

// Whether a field starts a row of the train source.
bool starts_a_train_row(const std::string& field) {
  return row_started_by(SourcePart::kTrain, field) != nullptr;
}

// A station's name, its last value, read from `in` after the row's numbers (the row's keyword
// field `f` at `offset`): a name missing or a number, one cut at a comma (its rest read ahead
// into `ahead`), one that is the next record's keyword, swallowing it.
void lint_station_name(const std::string& text, const std::string& f, size_t offset, Fields& in,
                       FieldAhead* ahead, std::vector<SourceWarning>* out) {
  const auto starts_a_row = starts_a_train_row;
  const std::string name = in.text();
  const size_t name_offset = in.offset();
  const bool keyword_name = starts_a_row(name);
  const char* why = missing_text(name, ShownText::kStationName);
  if (why == nullptr && looks_like_number(name)) {
    why = tr_mark(
        "the station's name {1} is a number: the row likely has a number too many before its "
        "name; the station shows no name of its own");
    in.check_thousands_comma(name_offset, name);
  }
  if (why != nullptr) {
    out->push_back({name_offset, "station without a name", warning_text(why, {quoted(name)})});
  } else if (!keyword_name) {
    check_shown_text(text, name, name_offset, ShownText::kStationName, out);
  }
  // A name with a comma in it: its rest is a field of its own, on the same line.
  const size_t name_end = text.find_first_of(",\r\n", name_offset);
  if (!keyword_name && why == nullptr && name_end != std::string::npos && text[name_end] == ',' &&
      !in.rows().eof()) {
    // The compiler never tests the last field of a file.
    ahead->have = in.field_ahead(&ahead->field, &ahead->offset);
    if (ahead->have && !starts_a_row(ahead->field) && !is_section_header(ahead->field) &&
        !without_letters(ahead->field) && !looks_like_comment(ahead->field) &&
        !contains(ahead->field, "-")) {
      // The repair takes the comma out, or a blank takes its place where none
      // follows it: only when the rest comes right after it, past blanks.
      const bool next = text.find_first_not_of(' ', name_end + 1) == ahead->offset;
      const bool blank = text.compare(name_end + 1, 1, " ") == 0;
      const std::string joined = name + " " + ahead->field;
      out->push_back(
          {ahead->offset, "station name with a comma",
           warning_text(
               tr_mark("the station's name {1} seems to go on in {2}: a name ends at a comma, so "
                       "the rest is a field of its own, passed over; write the name without a "
                       "comma"),
               {quoted(name), quoted(ahead->field)}),
           next ? make_fix(tr("take the comma out of the name: {1}", {quoted_utf8(joined)}),
                           {{name_end, 1, blank ? "" : " "}})
                : nullptr});
      ahead->name_part = true;
    }
  }
  // A name holding a keyword is a swallowed record when numbers follow it.
  if (keyword_name && !in.rows().eof()) {
    ahead->have = in.field_ahead(&ahead->field, &ahead->offset);
    if (without_letters(ahead->field)) {
      // At the row's keyword, where the name is missing.
      out->push_back(
          {offset, "station name that is a record keyword",
           // TRANSLATORS: {1} is the station row's keyword, quoted; {2} the next row's keyword,
           // quoted.
           warning_text(tr_mark("the {1} row lacks its name, its last value: the next "
                                "record's keyword {2} is taken as the name, and that record "
                                "is lost"),
                        {quoted(f), quoted(name)})});
    }
  }
}

}  // namespace

std::vector<SourceWarning> lint_line_source(const std::string& text, bool plan_built) {
  static const std::vector<std::string> kKeywords =
      spellings_of({SourcePart::kGeneral, SourcePart::kFeatures});
  std::vector<SourceWarning> out;
  UnknownFields unknown(kKeywords);
  Fields in(text, plan_built, &out);
  RowWalker& walker = in.rows();
  RowValues n;
  try {
    if (!walker.skip_to_general()) return out;
    // The general section, up to its closing header.
    std::string f;
    while (in.general_field(&f)) {
      const size_t offset = walker.row_offset();
      bool matched = false;
      while (walker.next_row(SourcePart::kGeneral) != nullptr) {
        matched = true;
        in.numbers(&n);
      }
      check_comment(f, offset, &out);
      if (is_section_header(f)) break;
      if (!matched && !without_letters(f) && !contains(f, "-") && !looks_like_comment(f)) {
        unknown.warn(text, f, offset, &out);
      }
    }
    // The feature part.
    // Only the rows laid along the line with a cursor that moves forward must rise; those that
    // put one object in a cell (speed boards, signboards) compile to the same route in any order.
    RowOrder gradients("gradient",
                       tr_mark("gradient at {1} m is out of order: the one before is at {2} m")),
        curves("curve", tr_mark("curve at {1} m is out of order: the one before is at {2} m")),
        tunnels("tunnel", tr_mark("tunnel at {1} m is out of order: the one before is at {2} m"));
    Overlap curve_overlap(
        "curve", tr_mark("curve from {1} m overlaps the previous one, which ends at {2} m")),
        tunnel_overlap("tunnel",
                       tr_mark("tunnel from {1} m overlaps the previous one, which ends at {2} m"));
    // A signboard whose text holds a keyword: the text was the next row's keyword when numbers
    // follow it.
    struct {
      bool open = false;
      std::string text;
      size_t offset = 0;
    } keyword_text;
    while (in.keyword_field(&f)) {
      const size_t offset = walker.row_offset();
      if (keyword_text.open && without_letters(f)) {
        out.push_back(
            {keyword_text.offset, "signboard without its text",
             warning_text(tr_mark("the signboard's text {1} is the next row's keyword: the "
                                  "signboard lacks its text and swallowed that row, which is "
                                  "lost"),
                          {quoted(keyword_text.text)})});
      }
      keyword_text.open = false;
      check_comment(f, offset, &out);
      bool matched = false;
      while (const RowGrammar* row = walker.next_row(SourcePart::kFeatures)) {
        matched = true;
        in.numbers(&n);
        switch (row->id) {
          case RowId::kGradient: {
            const Number& g = n["gradient"];
            gradients.check(n["gradient position"].value, offset, &out);
            if (g.value < kLowestGradient || g.value > kHighestGradient) {
              const int stored = decode_gradient(encode_gradient(g.value));
              out.push_back(
                  {g.offset, "gradient out of range",
                   warning_text(tr_mark("gradient {1} per mille lies outside -100 to 155 and "
                                        "wraps: it is compiled as {2} per mille"),
                                {std::to_string(g.value), std::to_string(stored)})});
            }
            break;
          }
          case RowId::kCurve:
            // Without the line plan the compiler passes a curve's numbers over.
            if (n.read()) {
              const int32_t start = n["curve start"].value;
              curves.check(start, offset, &out);
              curve_overlap.check(start, int64_t(start) + n["curve length"].value, offset, &out);
            }
            check_curve_side(f, offset, &out);
            break;
          case RowId::kTunnel: {
            const int32_t start = n["tunnel start"].value;
            const int32_t end = n["tunnel end"].value;
            const Number& kind = n["tunnel kind"];
            tunnels.check(start, offset, &out);
            // The kind (less 10 above 10, which adds markers) is stored in 8 bits.
            const int64_t stored_kind = kind.value > 10 ? int64_t(kind.value) - 10 : kind.value;
            if (stored_kind < 0 || stored_kind > 255) {
              out.push_back(
                  {kind.offset, "tunnel kind out of range",
                   warning_text(tr_mark("tunnel kind {1} wraps: kinds are stored in 8 bits, and "
                                        "it is compiled as {2}"),
                                {std::to_string(kind.value), std::to_string(wrap8(stored_kind))})});
            }
            tunnel_overlap.check(start, end, offset, &out);
            if (end < start) {
              out.push_back(
                  {offset, "tunnel ending before it starts",
                   warning_text(tr_mark("tunnel from {1} m ends at {2} m, before it starts: it "
                                        "is counted but marks no cell; were start and end "
                                        "swapped?"),
                                {std::to_string(start), std::to_string(end)})});
            }
            break;
          }
          case RowId::kSpeedIndicator: {
            // The second board's speeds are stored in fifths.
            for (const char* speed :
                 {"speed indicator second speed 1", "speed indicator second speed 2",
                  "speed indicator second speed 3"}) {
              check_fifths(n[speed], &out);
            }
            const Number& first = n["speed indicator stripes"];
            const Number& second = n["speed indicator second stripes"];
            const int64_t stripes = stripes_value(first.value, second.value);
            if (stripes < INT16_MIN || stripes > INT16_MAX) {
              out.push_back(
                  {first.offset, "stripes out of range",
                   warning_text(
                       tr_mark("the stripes {1} and {2} make {3} (first times 10 plus second), "
                               "outside -32768 to 32767: it wraps and is compiled as {4}"),
                       {std::to_string(first.value), std::to_string(second.value),
                        std::to_string(stripes),
                        std::to_string(encode_stripes(first.value, second.value))})});
            }
            break;
          }
          case RowId::kSignboard: {
            const std::string board = in.text();
            const size_t board_offset = in.offset();
            if (const char* why = missing_text(board, ShownText::kSignboardText)) {
              out.push_back(
                  {board_offset, "signboard without its text", warning_text(why, {quoted(board)})});
            } else {
              keyword_text.open = row_started_by(SourcePart::kFeatures, board) != nullptr;
              keyword_text.text = board;
              keyword_text.offset = board_offset;
              check_shown_text(text, board, board_offset, ShownText::kSignboardText, &out);
            }
            break;
          }
          default:
            break;
        }
      }
      if (looks_like_comment(f)) {
      } else if (!matched && !is_section_header(f) && !without_letters(f)) {
        unknown.warn(text, f, offset, &out);
      }
    }
  } catch (const RunTimeFailure&) {
    // The compiler reports what made the reading fail; the warnings stop there, but for the tabs
    // past it, which a --fix mends in the same round as the one that stopped the reading.
    warn_tabs_after(text, in.offset(), &out);
  }
  return out;
}

std::vector<SourceWarning> lint_train_source(const std::string& text) {
  static const int kStationNumbers = row_started_by(SourcePart::kTrain, "stazione")->numbers;
  static const std::vector<std::string> kKeywords = spellings_of({SourcePart::kTrain});
  const auto starts_a_row = starts_a_train_row;
  std::vector<SourceWarning> out;
  UnknownFields unknown(kKeywords);
  Fields in(text, true, &out);
  RowWalker& walker = in.rows();
  RowValues n;
  try {
    if (!walker.skip_to_general()) return out;
    // Signals, slowdowns and 'abbattimento' points put objects in cells, and compile to the same
    // bytes in any order: only the runs and the stations must rise.
    RowOrder speeds("speed limit", tr_mark("speed limit at {1} m is out of order: the one before "
                                           "is at {2} m")),
        adhesions("adhesion point", tr_mark("adhesion point at {1} m is out of order: the one "
                                            "before is at {2} m")),
        stations("station",
                 tr_mark("station at {1} m is out of order: the one before is at {2} m"));
    std::string f;
    // A station row whose keyword is misspelt, passed over by the compiler: its warning, until
    // the name after its numbers says which station is lost. The name is then no field of its
    // own to warn of.
    struct {
      bool open = false;
      size_t warning = 0;
      std::string keyword;
      int numbers = 0;
    } lost;
    const auto misspells_station = [&unknown](const std::string& field) {
      const RowGrammar* row = row_started_by(SourcePart::kTrain, unknown.closest(field));
      return row != nullptr && row->id == RowId::kStation;
    };
    // The keyword field read ahead after a station's name, tested next as the compiler would.
    FieldAhead ahead;
    while (true) {
      size_t offset;
      if (ahead.have) {
        f = ahead.field;
        offset = ahead.offset;
        ahead.have = false;
      } else {
        if (!in.keyword_field(&f)) break;
        offset = walker.row_offset();
      }
      check_comment(f, offset, &out);
      bool lost_name = false;
      if (lost.open) {
        if (without_letters(f) && lost.numbers < kStationNumbers) {
          ++lost.numbers;
        } else {
          lost.open = false;
          lost_name = lost.numbers > 0 && !starts_a_row(f) && !is_section_header(f) &&
                      !looks_like_comment(f) && !without_letters(f);
          if (lost_name) {
            out[lost.warning].message = warning_text(
                // TRANSLATORS: {1} is the row's keyword as written, quoted; {2} the station's name,
                // quoted; {3} the keyword it likely misspells, quoted.
                tr_mark("this {1} row is passed over: the station {2} will not be in the "
                        "timetable; did you mean {3}?"),
                {quoted(lost.keyword), quoted(f), "'" + unknown.closest(lost.keyword) + "'"});
          }
        }
      }
      bool matched = false;
      // The rest of a station's name after a comma, warned of already.
      const bool name_part = ahead.name_part && offset == ahead.offset;
      ahead.name_part = false;
      while (const RowGrammar* row = walker.next_row(SourcePart::kTrain)) {
        matched = true;
        in.numbers(&n);
        switch (row->id) {
          case RowId::kSpeedLimit:
            speeds.check(n["speed limit position"].value, offset, &out);
            check_fifths(n["speed limit"], &out);
            break;
          case RowId::kAdhesion: {
            adhesions.check(n["adhesion position"].value, offset, &out);
            check_adhesion(n["adhesion"], &out);
            break;
          }
          case RowId::kClock:
            check_time(n,
                       // TRANSLATORS: {1} is the time as written, h:mm:ss; {2} the time it makes.
                       tr_mark("the clock {1} has minutes or seconds of 60 or more: they are "
                               "stored as they are, not carried into the hours; did you mean {2}?"),
                       "clock hours", "clock minutes", "clock seconds", &out);
            break;
          case RowId::kRestrictionPoint: {
            check_restriction_value(n["abbattimento value"], &out);
            break;
          }
          case RowId::kStation: {
            stations.check(n["station position"].value, offset, &out);
            check_time(
                n,
                // TRANSLATORS: {1} is the time as written, h:mm:ss; {2} the time it is compiled as.
                tr_mark("the station's time {1} has minutes or seconds of 60 or more: they "
                        "are carried over and it is compiled as {2}"),
                "station hours", "station minutes", "station seconds", &out);
            lint_station_name(text, f, offset, in, &ahead, &out);
            break;
          }
          default:
            break;
        }
      }
      if (looks_like_comment(f)) {
      } else if (!matched && !is_section_header(f) && !without_letters(f) && !name_part &&
                 !lost_name) {
        unknown.warn(text, f, offset, &out);
        if (misspells_station(f)) lost = {true, out.size() - 1, f, 0};
      }
    }
  } catch (const RunTimeFailure&) {
    // The compiler reports what made the reading fail; the warnings stop there, but for the tabs
    // past it, which a --fix mends in the same round as the one that stopped the reading.
    warn_tabs_after(text, in.offset(), &out);
  }
  return out;
}
