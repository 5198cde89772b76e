#include "tools/source_lint.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <unordered_map>

#include "compiler/checked_math.h"
#include "compiler/field_reader.h"
#include "compiler/keywords.h"
#include "tools/words.h"

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

// How far from `keyword` a field may be to count as a misspelling of it.
size_t misspelling_reach(const std::string& keyword) {
  return std::max<size_t>(2, keyword.size() / 4);
}

// "did you mean 'X'?" for the closest keyword, when it is close enough to be a misspelling.
std::string suggestion(const std::string& field, const std::vector<std::string>& keywords) {
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
  if (best <= misspelling_reach(best_keyword)) {
    return "; did you mean '" + best_keyword + "'?";
  }
  return "";
}

// Rows of one kind: each must start after the one before.
class RowOrder {
 public:
  explicit RowOrder(std::string name) : name_(std::move(name)) {}
  void check(int32_t position, size_t offset, std::vector<SourceWarning>* out) {
    if (seen_ && position <= previous_) {
      out->push_back({offset, name_ + " out of order",
                      name_ + " at " + std::to_string(position) +
                          " m is out of order: the one before is at " + std::to_string(previous_) +
                          " m"});
    }
    seen_ = true;
    previous_ = position;
  }

 private:
  std::string name_;
  bool seen_ = false;
  int32_t previous_ = 0;
};

// A stretch from start to end: warns when one starts before the previous one ends.
class Overlap {
 public:
  explicit Overlap(std::string name) : name_(std::move(name)) {}
  void check(int64_t start, int64_t end, size_t offset, std::vector<SourceWarning>* out) {
    if (seen_ && start < previous_end_) {
      out->push_back({offset, name_ + " overlapping the previous one",
                      name_ + " from " + std::to_string(start) +
                          " m overlaps the previous one, which ends at " +
                          std::to_string(previous_end_) + " m"});
    }
    seen_ = true;
    previous_end_ = std::max(previous_end_, end);
  }

 private:
  std::string name_;
  bool seen_ = false;
  int64_t previous_end_ = 0;
};

// Skips everything up to the first field holding "[generale]"; false when there is none.
bool skip_to_general(FieldReader* in) {
  for (;;) {
    const std::string field = in->read_text();
    if (in->eof()) return false;
    if (contains_ignoring_case(field, "[generale]")) return true;
  }
}

// Warns of fields that match no keyword. A source that misspells a keyword mostly misspells it
// the same way on many rows: each field's suggestion is worked out once.
class UnknownFields {
 public:
  explicit UnknownFields(const std::vector<std::string>& keywords) : keywords_(keywords) {}
  void warn(const std::string& field, size_t offset, std::vector<SourceWarning>* out) {
    auto found = suggestions_.find(field);
    if (found == suggestions_.end()) {
      found = suggestions_.emplace(field, suggestion(field, keywords_)).first;
    }
    out->push_back(
        {offset, "field matching no keyword",
         "field " + quoted(field) + " matches no keyword and is passed over" + found->second});
  }

 private:
  const std::vector<std::string>& keywords_;
  std::unordered_map<std::string, std::string> suggestions_;
};

}  // namespace

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

std::vector<SourceWarning> lint_line_source(const std::string& text) {
  static const std::vector<std::string> kKeywords = {"lunghezza percorso",
                                                     "progressiva chilometrica uno",
                                                     "progressiva chilometrica due",
                                                     "progressiva chilometrica tre",
                                                     "sfondo uno",
                                                     "sfondo due",
                                                     "sfondo tre",
                                                     "ripetizione segnali 4 codici",
                                                     "pendenza",
                                                     "curvad4",
                                                     "curvas4",
                                                     "montagna",
                                                     "indicatori_vmax",
                                                     "cartello_indicatore"};
  std::vector<SourceWarning> out;
  UnknownFields unknown(kKeywords);
  FieldReader in(text);
  try {
    if (!skip_to_general(&in)) return out;
    // The general section, up to its closing header.
    while (!in.eof()) {
      std::string f = in.read_text();
      if (in.eof()) break;
      for (int k = 0; k < 10 && contains(f, "-"); ++k) f = in.read_text();
      const size_t offset = in.field_offset();
      int numbers = 0;
      if (contains_ignoring_case(f, "lunghezza") && contains_ignoring_case(f, "percorso"))
        ++numbers;
      for (const char* n : {"tre", "due", "uno"}) {
        if (contains(f, n) && contains(f, "progressiva")) numbers += 3;
        if (contains(f, "sfondo") && contains(f, n)) numbers += 1;
      }
      if (contains(f, "segnali") && contains(f, "ripetizione")) numbers += 2;
      for (int i = 0; i < numbers; ++i) in.read_i32("number");
      if (is_section_header(f)) break;
      if (numbers == 0 && !without_letters(f) && !contains(f, "-")) unknown.warn(f, offset, &out);
    }
    // The feature part.
    RowOrder gradients("gradient"), curves("curve"), tunnels("tunnel"),
        indicators("speed indicator"), signboards("signboard");
    Overlap curve_overlap("curve"), tunnel_overlap("tunnel");
    std::string f;
    while (!in.eof() && next_keyword_field(&in, &f)) {
      const size_t offset = in.field_offset();
      bool matched = false;
      if (contains_ignoring_case(f, "pendenza")) {
        matched = true;
        const int32_t p = in.read_i32("position");
        in.read_i32("gradient");
        gradients.check(p, offset, &out);
      }
      if (contains_ignoring_case(f, "curva")) {
        matched = true;
        const int32_t s = in.read_i32("start");
        const int32_t length = in.read_i32("length");
        curves.check(s, offset, &out);
        curve_overlap.check(s, int64_t(s) + length, offset, &out);
      }
      if (contains_ignoring_case(f, "montagna")) {
        matched = true;
        const int32_t start = in.read_i32("start");
        const int32_t end = in.read_i32("end");
        in.read_i32("kind");
        tunnels.check(start, offset, &out);
        tunnel_overlap.check(start, end, offset, &out);
      }
      if (contains_ignoring_case(f, "indicatori_v")) {
        matched = true;
        indicators.check(in.read_i32("position"), offset, &out);
        for (int i = 0; i < 8; ++i) in.read_i32("value");
      }
      if (contains_ignoring_case(f, "indicat") && contains_ignoring_case(f, "cartello")) {
        matched = true;
        signboards.check(in.read_i32("position"), offset, &out);
        in.read_text();
      }
      if (!matched && !is_section_header(f) && !without_letters(f)) unknown.warn(f, offset, &out);
    }
  } catch (const RunTimeFailure&) {
    // The compiler reports what made the reading fail; the warnings stop there.
  }
  return out;
}

std::vector<SourceWarning> lint_train_source(const std::string& text) {
  static const std::vector<std::string> kKeywords = {"numero vetture", "percentuale massa frenata",
                                                     "sabbia",         "orologio",
                                                     "aderenza",       "velocita",
                                                     "stazione",       "rallentamento",
                                                     "segnale",        "abbattimento"};
  static const char* const kRecordKeywords[] = {
      "frenata", "vetture", "velocit",       "aderenza",     "orologio",
      "sabbia",  "segnale", "rallentamento", "abbattimento", "stazione"};
  std::vector<SourceWarning> out;
  UnknownFields unknown(kKeywords);
  FieldReader in(text);
  try {
    if (!skip_to_general(&in)) return out;
    RowOrder speeds("speed limit"), adhesions("adhesion point"), signals("signal"),
        slowdowns("slowdown"), restrictions("'abbattimento' point"), stations("station");
    std::string f;
    // A field read ahead after a station's name, to be tested next as the compiler would.
    std::string ahead;
    size_t ahead_offset = 0;
    bool have_ahead = false;
    while (true) {
      size_t offset;
      if (have_ahead) {
        f = ahead;
        offset = ahead_offset;
        have_ahead = false;
      } else {
        if (in.eof() || !next_keyword_field(&in, &f)) break;
        offset = in.field_offset();
      }
      bool matched = false;
      auto numbers = [&](int count, RowOrder* order) {
        matched = true;
        const int32_t first = in.read_i32("number");
        for (int i = 1; i < count; ++i) in.read_i32("number");
        if (order != nullptr) order->check(first, offset, &out);
      };
      if (contains_ignoring_case(f, "frenata") && contains_ignoring_case(f, "massa"))
        numbers(1, nullptr);
      if (contains_ignoring_case(f, "vetture")) numbers(1, nullptr);
      if (contains_ignoring_case(f, "velocit")) numbers(2, &speeds);
      if (contains_ignoring_case(f, "aderenza")) numbers(2, &adhesions);
      if (contains_ignoring_case(f, "orologio")) numbers(3, nullptr);
      if (contains_ignoring_case(f, "sabbia")) numbers(1, nullptr);
      if (contains_ignoring_case(f, "segnale")) numbers(11, &signals);
      if (contains_ignoring_case(f, "rallentamento")) numbers(6, &slowdowns);
      if (contains_ignoring_case(f, "abbattimento")) numbers(2, &restrictions);
      if (contains_ignoring_case(f, "stazione")) {
        numbers(16, &stations);
        const std::string name = in.read_text();
        const size_t name_offset = in.field_offset();
        bool keyword_name = false;
        for (const char* keyword : kRecordKeywords)
          keyword_name |= contains_ignoring_case(name, keyword);
        // A name holding a keyword is a swallowed record when numbers follow it.
        if (keyword_name && !in.eof()) {
          ahead = in.read_text();
          ahead_offset = in.field_offset();
          if (without_letters(ahead)) {
            out.push_back({name_offset, "station name that is a record keyword",
                           "the station's name " + quoted(name) +
                               " is a record keyword: the station lacks its name and swallowed "
                               "the next record, which is lost"});
          }
          have_ahead = !in.eof();
        }
      }
      if (!matched && !is_section_header(f) && !without_letters(f)) unknown.warn(f, offset, &out);
    }
  } catch (const RunTimeFailure&) {
    // The compiler reports what made the reading fail; the warnings stop there.
  }
  return out;
}
