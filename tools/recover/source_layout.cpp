#include "tools/recover/source_layout.h"

#include <algorithm>
#include <utility>

#include "compiler/binary_layout.h"
#include "compiler/error_codes.h"
#include "compiler/scenario_compiler.h"
#include "tools/analysis/row_index.h"
#include "tools/language/translation.h"

void SourceRows::flush() {
  std::vector<size_t> widths;
  size_t keyword_width = 0;
  for (const Row& row : rows_) {
    keyword_width = std::max(keyword_width, row.keyword.size());
    if (widths.size() < row.values.size()) widths.resize(row.values.size(), 0);
    for (size_t i = 0; i < row.values.size(); ++i)
      widths[i] = std::max(widths[i], row.values[i].size());
  }
  for (const Row& row : rows_) {
    std::string line = row.keyword + ",";
    line.append(keyword_width - row.keyword.size(), ' ');
    for (size_t i = 0; i < row.values.size(); ++i) {
      line += " ";
      line.append(std::max<size_t>(widths[i], 1) - row.values[i].size(), ' ');
      line += row.values[i];
      if (i + 1 < row.values.size() || row.has_text) line += ",";
    }
    if (row.has_text) line += " " + row.text;
    lines_->push_back(line);
  }
  rows_.clear();
}

std::string clock_line(const std::string& keyword, const std::string& hours,
                       const std::string& minutes, const std::string& seconds) {
  return keyword + ",    " + hours + " " + minutes + " " + seconds;
}

namespace {

// A line of a source: its first byte, where its line end begins, and one past its line end.
// Lines end as the compiler's reader ends them: CR LF, a lone LF or a lone CR.
struct SourceLine {
  size_t begin, content_end, end;
};

std::vector<SourceLine> lines_of(const std::string& text) {
  std::vector<SourceLine> lines;
  for (size_t at = 0; at < text.size();) {
    size_t content_end = at;
    while (content_end < text.size() && text[content_end] != '\r' && text[content_end] != '\n')
      ++content_end;
    size_t end = content_end;
    if (end < text.size()) {
      end += text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1;
    }
    lines.push_back({at, content_end, end});
    at = end;
  }
  return lines;
}

bool only_blanks(const std::string& text, size_t from, size_t to) {
  for (; from < to; ++from) {
    if (text[from] != ' ') return false;
  }
  return true;
}

// What the reader passes over between two fields of a row on one line: blanks and at most one
// comma. A row whose fields have anything else between them is left as it is.
bool plain_gap(const std::string& text, size_t from, size_t to) {
  int commas = 0;
  for (; from < to; ++from) {
    if (text[from] == ',') {
      ++commas;
    } else if (text[from] != ' ') {
      return false;
    }
  }
  return commas <= 1;
}

// A row on a line of its own, as the layout writes it again.
struct LaidRow {
  RowId id;
  std::string keyword;
  std::vector<std::string> values;
  bool has_text = false;
  std::string text;
};

// The row `row` of `text` on `line` as the layout takes it, or false when it is left as it is:
// it must stand alone on its line, its keyword field hold no quote, section bracket or '-'
// (which the reader's tests for headers and separators look at) and every value read.
bool laid_row(const std::string& text, const RowIndex& index, const IndexedRow& row,
              const SourceLine& line, LaidRow* laid) {
  if (!row.complete || row.value_count == 0 || !only_blanks(text, line.begin, row.keyword_from))
    return false;
  std::string keyword = text.substr(row.keyword_from, row.keyword_to - row.keyword_from);
  if (keyword.find_first_of("\"[]-") != std::string::npos) return false;
  // Tabs around the keyword field are part of it for the reader, and mean nothing to the
  // keyword it holds.
  const size_t first = keyword.find_first_not_of(" \t");
  if (first == std::string::npos) return false;
  keyword = keyword.substr(first, keyword.find_last_not_of(" \t") + 1 - first);
  size_t at = row.keyword_to;
  bool after_keyword = true;
  laid->values.clear();
  laid->has_text = false;
  for (size_t k = 0; k < row.value_count; ++k) {
    const IndexedValue& value = index.values[row.first_value + k];
    if (value.from < at || value.to > line.content_end || !plain_gap(text, at, value.from))
      return false;
    // The keyword field ends at its comma. Without the line plan a curve's values are read as
    // fields that may hold a keyword: numbers apart by blanks only are one field then, and a
    // comma put between them would make two.
    const bool comma = after_keyword || row.grammar->id == RowId::kCurve;
    if (comma && text.find(',', at) >= value.from) return false;
    after_keyword = false;
    const std::string bytes = text.substr(value.from, value.to - value.from);
    if (value.number) {
      if (!value.reads_as_number) return false;
      laid->values.push_back(bytes);
    } else {
      laid->has_text = true;
      laid->text = bytes;
    }
    at = value.to;
  }
  if (!only_blanks(text, at, line.content_end)) return false;
  laid->id = row.grammar->id;
  laid->keyword = std::move(keyword);
  return true;
}

// The clock's three numbers may stand with blanks between them only when none is empty or
// quoted.
bool blank_separated(const LaidRow& row) {
  if (row.id != RowId::kClock || row.values.size() != 3) return false;
  for (const std::string& value : row.values) {
    if (value.empty() || value.find('"') != std::string::npos) return false;
  }
  return true;
}

// `text` laid out up to `*stop`, which becomes where the layout stopped: the keyword of the row
// that holds it, or of the first row whose values cannot all be read (then `unreadable`), or
// npos.
std::string laid_out(const std::string& text, bool line_source, size_t* stop,
                     bool* unreadable = nullptr) {
  const RowIndex index = index_rows(text, line_source, true);
  if (*stop != std::string::npos) {
    if (const IndexedRow* row = index.row_before(*stop)) *stop = std::min(*stop, row->keyword_from);
  }
  const std::vector<SourceLine> lines = lines_of(text);
  std::vector<LaidRow> laid(lines.size());
  std::vector<bool> is_row(lines.size(), false);
  size_t l = 0;
  for (size_t i = 0; i < index.rows.size(); ++i) {
    const IndexedRow& row = index.rows[i];
    bool readable = row.complete;
    for (size_t k = 0; k < row.value_count && readable; ++k) {
      const IndexedValue& value = index.values[row.first_value + k];
      readable = !value.number || value.reads_as_number;
    }
    if (!readable && row.keyword_from < *stop) {
      *stop = row.keyword_from;
      if (unreadable != nullptr) *unreadable = true;
    }
    if (row.keyword_from >= *stop) break;
    while (l < lines.size() && lines[l].end <= row.keyword_from) ++l;
    if (l == lines.size() || lines[l].end > *stop) break;
    // A keyword field that starts two rows is left as it is.
    const bool shared =
        (i > 0 && index.rows[i - 1].keyword_from == row.keyword_from) ||
        (i + 1 < index.rows.size() && index.rows[i + 1].keyword_from == row.keyword_from);
    if (!shared && !is_row[l]) is_row[l] = laid_row(text, index, row, lines[l], &laid[l]);
  }
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  std::vector<std::string> block;
  std::vector<size_t> block_lines;
  SourceRows rows(&block);
  const auto flush = [&] {
    rows.flush();
    for (size_t i = 0; i < block.size(); ++i) {
      const SourceLine& line = lines[block_lines[i]];
      out += block[i];
      out.append(text, line.content_end, line.end - line.content_end);
    }
    block.clear();
    block_lines.clear();
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    const SourceLine& line = lines[i];
    if (!is_row[i]) {
      flush();
      out.append(text, line.begin, line.end - line.begin);
    } else if (blank_separated(laid[i])) {
      flush();
      const std::vector<std::string>& v = laid[i].values;
      out += clock_line(laid[i].keyword, v[0], v[1], v[2]);
      out.append(text, line.content_end, line.end - line.content_end);
    } else {
      if (laid[i].has_text) {
        rows.add(laid[i].keyword, std::move(laid[i].values), laid[i].text);
      } else {
        rows.add(laid[i].keyword, std::move(laid[i].values));
      }
      block_lines.push_back(i);
    }
  }
  flush();
  return out;
}

// The line (from 1) that holds byte `offset`.
size_t line_number(const std::string& text, size_t offset) {
  size_t line = 1;
  for (const SourceLine& l : lines_of(text)) {
    if (offset < l.end) break;
    ++line;
  }
  return line;
}

struct Compiled {
  CompileResult result;
  Compilation compilation;
};

Compiled compiled(const ScenarioIdentity& scenario, const std::string& line,
                  const std::string& train, bool plan) {
  Compiled c;
  CompileOptions options = in_memory_options(scenario, line, train);
  options.build_plan = plan;
  c.result = memorizza_percorso(options, &c.compilation);
  return c;
}

bool same_bytes(const Compiled& a, const Compiled& b) {
  const CompiledRecords& x = a.compilation.records;
  const CompiledRecords& y = b.compilation.records;
  return a.result.end == b.result.end && a.result.integrity_error == b.result.integrity_error &&
         a.compilation.log.error.code == b.compilation.log.error.code &&
         a.compilation.log.error.position == b.compilation.log.error.position &&
         encode_scenario_table(x.table) == encode_scenario_table(y.table) &&
         encode_track_cells(x.cells) == encode_track_cells(y.cells) &&
         encode_line_plan(x.plan) == encode_line_plan(y.plan);
}

}  // namespace

std::string format_source_text(const std::string& text, bool line_source, size_t stop) {
  return laid_out(text, line_source, &stop);
}

FormattedSources format_sources(const ScenarioIdentity& scenario, const std::string& line_source,
                                const std::string& train_source) {
  const Compiled before = compiled(scenario, line_source, train_source, true);
  // Each source is laid out up to the first problem the reading met in it.
  size_t stops[2] = {std::string::npos, std::string::npos};
  std::string why[2];
  for (const Problem& p : before.compilation.log.problems) {
    const int f = p.source == ProblemSource::kLineSource    ? 0
                  : p.source == ProblemSource::kTrainSource ? 1
                                                            : -1;
    if (f < 0 || p.offset == Problem::kNoOffset || p.offset >= stops[f]) continue;
    stops[f] = p.offset;
    why[f] = "error " + std::to_string(p.code) + ": " + tr(error_meaning(p.code));
  }
  FormattedSources out;
  const std::string* texts[2] = {&line_source, &train_source};
  FormattedSource* results[2] = {&out.line, &out.train};
  for (int f = 0; f < 2; ++f) {
    size_t stop = stops[f];
    bool unreadable = false;
    FormattedSource& result = *results[f];
    result.text = laid_out(*texts[f], f == 0, &stop, &unreadable);
    result.changed = result.text != *texts[f];
    if (stop != std::string::npos) {
      result.stopped_line = line_number(*texts[f], stop);
      result.stopped_why = unreadable ? "a value of its row cannot be read" : why[f];
    }
  }
  if (!out.line.changed && !out.train.changed) return out;
  out.same_compilation =
      same_bytes(before, compiled(scenario, out.line.text, out.train.text, true)) &&
      same_bytes(compiled(scenario, line_source, train_source, false),
                 compiled(scenario, out.line.text, out.train.text, false));
  if (!out.same_compilation) {
    out.line.text = line_source;
    out.train.text = train_source;
    out.line.changed = out.train.changed = false;
  }
  return out;
}
