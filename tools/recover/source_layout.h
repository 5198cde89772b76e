// The layout of the sources the tool writes: rows of one block with the keyword, a comma and
// each value right-aligned in its column, as in the shipped sources. decompile writes its
// sources in it, and 'format' and the editor's "format document" lay an author's sources out in
// it again, never changing what they compile to.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/scenario_identity.h"

// Rows of one block, each value right-aligned in its column; flush() appends them to `lines`.
class SourceRows {
 public:
  explicit SourceRows(std::vector<std::string>* lines) : lines_(lines) {}
  // `values`: the number fields as written; `text`: a last text field as written, when the
  // row has one.
  void add(const std::string& keyword, std::vector<std::string> values) {
    rows_.push_back({keyword, std::move(values), false, ""});
  }
  void add(const std::string& keyword, std::vector<std::string> values, const std::string& text) {
    rows_.push_back({keyword, std::move(values), true, text});
  }
  bool empty() const { return rows_.empty(); }
  void flush();

 private:
  struct Row {
    std::string keyword;
    std::vector<std::string> values;
    bool has_text;
    std::string text;
  };
  std::vector<std::string>* lines_;
  std::vector<Row> rows_;
};

// The clock row as the layout writes it: its three numbers separated by blanks.
std::string clock_line(const std::string& keyword, const std::string& hours,
                       const std::string& minutes, const std::string& seconds);

// One source laid out: its bytes, and where the layout stopped when the reading does.
struct FormattedSource {
  std::string text;
  bool changed = false;
  // The line (from 1) from which the source was left as it was, because the compiler's reading
  // stops on that line's row; 0 when the whole source was laid out.
  size_t stopped_line = 0;
  std::string stopped_why;  // "error 25: ...", with stopped_line
};

// Both sources of a scenario laid out. Only rows the compiler reads whole, each on a line of
// its own, are laid out again, with their keyword field and values byte for byte (blanks and
// the tabs around a keyword field aside); every other line (section headers, text that holds no
// row, a row spread over lines, and everything from the row where the reading stops) stays
// as it was, line ends included. Both layouts are compiled, with and without the line plan, and
// when either would give other bytes than the sources as they were (which the layout never
// should), `same_compilation` is false and both keep their bytes.
struct FormattedSources {
  FormattedSource line, train;
  bool same_compilation = true;
};
FormattedSources format_sources(const ScenarioIdentity& scenario, const std::string& line_source,
                                const std::string& train_source);

// One source laid out up to `stop` (a byte offset; everything from the line that holds it stays
// as it was), with no compile: what format_sources does to each source, for the tests.
std::string format_source_text(const std::string& text, bool line_source, size_t stop);
