#include "tools/analysis/diagnostics.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <utility>

#include "common/file_path.h"
#include "compiler/error_codes.h"
#include "compiler/field_codec.h"
#include "compiler/source_grammar.h"
#include "tools/analysis/diagnostic_rules.h"
#include "tools/analysis/words.h"
#include "tools/analysis/wrong_files.h"
#include "tools/language/translation.h"

namespace {

// What stands in cell `cell` when the compilation ended, in words.
std::string occupant(const Compilation& compiled, int32_t cell) {
  if (cell < 0 || cell > compiled.records.last_cell()) return "another object";
  return cell_type_text(compiled.records.cells[cell].type) + " (cell " + std::to_string(cell) + ")";
}

std::string same_cell(const std::string& what, const Problem& p, const std::string& met) {
  return "two objects in the same 50 m cell: " + what + " at " + std::to_string(p.position) +
         " m meets " + met + "; move one of them by 50 m or more";
}

std::string at_position(const Compilation& compiled, const Problem& problem) {
  if (!problem.positioned) return "";
  std::string text = ", at " + std::to_string(problem.position) + " m";
  const std::string chainage = chainage_text(compiled.records.table, problem.position);
  if (!chainage.empty()) text += " (" + chainage + ")";
  return text;
}

// The objects in the cells around `cell`, for a problem that has no source line.
std::string cells_around(const Compilation& compiled, int32_t cell) {
  std::string text;
  for (int32_t i = std::max(0, cell - 20); i <= std::min(compiled.records.last_cell(), cell + 12);
       ++i) {
    if (compiled.records.cells[i].type == kCellEmpty) continue;
    text += (text.empty() ? "" : ", ") + std::to_string(i) + " " +
            cell_type_text(compiled.records.cells[i].type);
  }
  return "    cells around " + std::to_string(cell) + ": " + (text.empty() ? "all empty" : text) +
         "\n";
}

// The field that starts at `offset` of `text`, up to its comma or line end (at most 200 bytes).
std::string field_at(const std::string& text, size_t offset) {
  return offset < text.size() ? text.substr(offset, field_end(text, offset, 200) - offset) : "";
}

// Whether a field starts a row of either source, or is a section header: where a number was
// expected, it is the next row's start.
bool starts_a_row(const std::string& field) {
  for (SourcePart part : {SourcePart::kFeatures, SourcePart::kGeneral, SourcePart::kTrain}) {
    if (row_started_by(part, field) != nullptr) return true;
  }
  return !field.empty() && field[0] == '[';
}

const ShownSource* source_of(const Problem& p, const ShownSource& line, const ShownSource& train) {
  return p.source == ProblemSource::kLineSource    ? &line
         : p.source == ProblemSource::kTrainSource ? &train
                                                   : nullptr;
}

std::string row_place(const ShownSource& source, size_t offset) {
  return file_name_of(source.path()) + ":" + std::to_string(source.locate(offset).line);
}

// The row behind a problem of the signal-cell rules, which meet it in a cell rather than a row:
// for no room before a signal, the signal in that cell; otherwise the slowdown whose cells, its
// start to its end, hold it (the last one read when several do). Null when no row kept is.
const SourceRow* rule_row(const Compilation& c, const Problem& p) {
  if (p.source != ProblemSource::kTrackCells) return nullptr;
  const SourceRow* found = nullptr;
  for (const SourceRow& row : c.rows) {
    if (p.code == kNoRoomBeforeSignal) {
      if (row.kind == RowKind::kSignal && row.a == p.cell) found = &row;
      continue;
    }
    if (row.kind != RowKind::kSlowdown) continue;
    const int32_t start = point_cell(row.position);
    int32_t end = start;
    try {
      end = std::max(start, slowdown_end_cell(row.position, row.b));
    } catch (const RunTimeFailure&) {
    }
    if (p.cell >= start && p.cell <= end) found = &row;
  }
  return found;
}

// Further lines that lead from a problem to its cause, in `d`'s notes; the note on the row's
// start points at it.
void add_problem_notes(const Compilation& c, const Problem& p, const ShownSource& line,
                       const ShownSource& train, Diagnostic* d) {
  std::vector<std::string>& notes = d->notes;
  const ShownSource* source = source_of(p, line, train);
  if (p.code == kRunTimeFailure && source != nullptr && p.row_offset != Problem::kNoOffset &&
      p.row_offset < p.offset && p.offset != Problem::kNoOffset) {
    const std::string keyword = field_at(source->text(), p.row_offset);
    const RowGrammar* shape = p.row;
    std::string note = "the row began at line " +
                       std::to_string(source->locate(p.row_offset).line) + " with '" +
                       utf8_from_windows_1252(printable(elided(keyword, 40, 10))) + "'";
    if (shape != nullptr) {
      const int values = shape->values_count();
      note +=
          formatted(", which takes %d value%s: ", values, values == 1 ? "" : "s") + shape->values;
    }
    const LineAndColumn row_start = source->locate(p.row_offset);
    d->note_places.push_back({notes.size(), source->path(), row_start.line, row_start.column});
    notes.push_back(note);
    const std::string at_fault = field_at(source->text(), p.offset);
    const size_t blank = keyword.find(' ');
    if (shape != nullptr && blank != std::string::npos &&
        keyword.find_first_of("0123456789", blank) != std::string::npos) {
      notes.push_back(
          "is a comma missing after the keyword? its field holds a number too, so "
          "the row's values were read one field on");
    } else if (starts_a_row(at_fault)) {
      notes.push_back(
          "a number was expected where the next row's keyword stands: the row has a "
          "field too few");
    }
  }
  // (Not for a row that failed to read: its numbers are what went wrong.)
  if (!p.positioned && p.code != kRunTimeFailure && source != nullptr && p.row_position) {
    notes.push_back(formatted("the row stands at %d m", *p.row_position));
  }
  if (p.source == ProblemSource::kTrackCells) {
    // The rows of the signals and slowdowns around the cell, each a note at its source line
    // (the one the problem is placed at aside).
    const SourceRow* behind = rule_row(c, p);
    constexpr size_t kMostRowsNear = 8;
    size_t near = 0;
    for (const SourceRow& row : c.rows) {
      if (row.kind != RowKind::kSignal && row.kind != RowKind::kSlowdown) continue;
      if (&row == behind) continue;
      const int64_t first = int64_t(row.position) / kCellMetres - 30,
                    last = int64_t(row.position) / kCellMetres + 30;
      if (p.cell < first || p.cell > last) continue;
      if (++near > kMostRowsNear) continue;
      const ShownSource& s = row.source == ProblemSource::kLineSource ? line : train;
      const LineAndColumn at = s.locate(row.offset);
      d->note_places.push_back({notes.size(), s.path(), at.line, at.column});
      notes.push_back(std::string("near it: ") +
                      (row.kind == RowKind::kSignal ? "the signal" : "the slowdown") + " at " +
                      std::to_string(row.position) + " m (" + row_place(s, row.offset) + ")");
    }
    if (near > kMostRowsNear) {
      notes.push_back(
          formatted("and %zu more signals and slowdowns near it", near - kMostRowsNear));
    }
  }
}

// One past the last character of the field that starts at `offset` of `source`, the column of
// `offset` being `column`: the field runs to its comma or line end, blanks after it left out.
// 0 when there is no field there, or it is too long to be one (a runaway line).
int field_end_column(const ShownSource& source, size_t offset, int column) {
  constexpr size_t kLongestField = size_t(64) << 10;
  const std::string& text = source.text();
  size_t end = field_end(text, offset, kLongestField + 1);
  if (end - offset > kLongestField) return 0;
  while (end > offset && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return end > offset ? column + int(end - offset) : 0;
}

// The line and column of `offset` in `source`, and the excerpt shown under the diagnostic.
void place_at(const ShownSource& source, size_t offset, Diagnostic* d) {
  const LineAndColumn at = source.locate(offset);
  d->offset = offset;
  d->line = at.line;
  d->column = at.column;
  const Excerpt shown = source.excerpt(offset);
  d->excerpt = printable_utf8_from_windows_1252(shown.text);
  d->excerpt_bytes = shown.text;
  d->caret = shown.caret;
  d->has_excerpt = true;
}

}  // namespace

void place_diagnostic(const ShownSource& source, size_t offset, Diagnostic* d) {
  place_at(source, offset, d);
  d->end_column = field_end_column(source, offset, d->column);
}

ShownSource::ShownSource(std::string path, std::string text)
    : path_(std::move(path)), text_(std::move(text)) {
  line_starts_.push_back(0);
  for (size_t i = 0; i < text_.size(); ++i) {
    const bool crlf = text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n';
    if ((text_[i] == '\r' && !crlf) || text_[i] == '\n') line_starts_.push_back(i + 1);
  }
}

size_t ShownSource::line_index(size_t offset) const {
  return size_t(std::upper_bound(line_starts_.begin(), line_starts_.end(), offset) -
                line_starts_.begin()) -
         1;
}

LineAndColumn ShownSource::locate(size_t offset) const {
  offset = std::min(offset, text_.size());
  const size_t line = line_index(offset);
  return {int(line + 1), int(offset - line_starts_[line] + 1)};
}

Excerpt ShownSource::excerpt(size_t offset) const {
  offset = std::min(offset, text_.size());
  const size_t line = line_index(offset);
  const size_t start = line_starts_[line];
  size_t end = line + 1 < line_starts_.size() ? line_starts_[line + 1] : text_.size();
  if (end > start && text_[end - 1] == '\n') --end;
  if (end > start && text_[end - 1] == '\r') --end;
  // An offset on the line end itself is shown just after the line's last character.
  const size_t at = std::min(offset, end);
  const size_t from = at - start > kExcerptReach ? at - kExcerptReach : start;
  const size_t to = end - at > kExcerptReach ? at + kExcerptReach : end;
  Excerpt shown;
  shown.from = from;
  shown.to = to;
  shown.cut_before = from > start;
  shown.cut_after = to < end;
  if (from > start) shown.text = "...";
  shown.caret = shown.text.size() + (at - from);
  shown.text.append(text_, from, to - from);
  if (to < end) shown.text += "...";
  return shown;
}

// The meaning of a problem in plain words, with what it met where it says so.
static std::string problem_meaning(const Compilation& c, const Problem& p) {
  // A store refused a cell that already held something: say what met what.
  static const struct {
    int32_t code;
    std::string what;
  } kRefusals[] = {
      {kSignboardCellTaken, "signboard"},
      {kRestrictionCellTaken, "'abbattimento' point"},
      {kSignalCellTaken, "signal"},
      {kWarningCellTaken,
       "the warning point (" + std::to_string(kWarningDistance) + " m before) of the slowdown"},
      {kSlowdownStartCellTaken, "the start of the slowdown"},
      {kSlowdownEndCellTaken, "the end of the slowdown"},
      {kWarningBoardCellTaken, "a warning board of the slowdown"},
      {kIndicatorCellTaken, "speed indicator"},
  };
  for (const auto& refusal : kRefusals) {
    if (refusal.code == p.code) return same_cell(refusal.what, p, occupant(c, p.cell));
  }
  switch (p.code) {
    case kBeyondCells:
      if (p.source == ProblemSource::kTrackCells) {
        // A slowdown whose end falls into its start's cell: the start takes the cell, and the
        // rules look for an end to the last cell.
        const SourceRow* row = rule_row(c, p);
        if (row != nullptr && row->kind == RowKind::kSlowdown) {
          try {
            if (slowdown_end_cell(row->position, row->b) == point_cell(row->position)) {
              return formatted(
                  "the slowdown at %d m, %d m long, ends in the 50 m cell it starts in, which "
                  "its start takes: it has no end before the last cell; make it end in a later "
                  "cell",
                  row->position, row->b);
            }
          } catch (const RunTimeFailure&) {
          }
        }
        return "the slowdown starting in this cell has no end before the last cell";
      }
      // A tunnel is placed by its start; when only its end falls past the cells, say so.
      if (p.source == ProblemSource::kLineSource && !c.records.tunnels.empty() &&
          c.records.tunnels.back().start == p.position &&
          c.records.within_cells(p.position, kFeatureMargin)) {
        return "the tunnel starting at " + std::to_string(p.position) + " m ends at " +
               std::to_string(c.records.tunnels.back().end) +
               " m, beyond the track cells, which cover 0 to " +
               std::to_string(int64_t(c.records.last_cell()) * kCellMetres) + " m for a route of " +
               std::to_string(c.records.table[kRouteEntry].end) + " m";
      }
      // A signal or slowdown that only shows the line source's own 15 through.
      if (p.left_by_earlier) {
        for (const Problem& earlier : c.log.problems) {
          if (&earlier == &p) break;
          if (earlier.code == kBeyondCells && earlier.source == ProblemSource::kLineSource) {
            return "the reading of the train source stops here only because the line source "
                   "ended with error 15 (at " +
                   std::to_string(earlier.position) +
                   " m, reported above): the compiler stops at the first signal or slowdown "
                   "after it; mend that one";
          }
        }
      }
      // A curve whose start lies on the cells and whose end runs past the plan's last metre.
      if (p.source == ProblemSource::kLineSource && p.row != nullptr &&
          p.row->id == RowId::kCurve && c.records.within_cells(p.position, kFeatureMargin)) {
        return "the curve starting at " + std::to_string(p.position) +
               " m runs past the line plan's last metre, " +
               std::to_string(c.records.plan.last_metre()) +
               " m (the plan covers the track cells, 0 to " +
               std::to_string(int64_t(c.records.last_cell()) * kCellMetres) +
               " m, for a route of " + std::to_string(c.records.table[kRouteEntry].end) + " m)";
      }
      return "position " + std::to_string(p.position) + " m lies beyond the track cells: on a " +
             "route of " + std::to_string(c.records.table[kRouteEntry].end) +
             " m the last position a feature may take is " +
             std::to_string(c.records.last_position(kFeatureMargin)) + " m (a station's, " +
             std::to_string(c.records.last_position(kStationMargin)) + " m)";
    case kRunTimeFailure:
      // The message may quote a whole field of the source: its middle is left out.
      return c.log.failure_message.empty()
                 ? tr(error_meaning(p.code))
                 : "the reading stopped: " +
                       printable(elided(reading_failure_text(c.log), 160, 40));
    default:
      return tr(error_meaning(p.code));
  }
}

namespace {

// "the a", "the a and the b", "the a, the b and the c".
std::string listed(const RowGrammar& row, int from) {
  std::string text;
  const int count = row.values_count();
  for (int i = from; i < count; ++i) {
    text += std::string(i == from ? "" : i + 1 == count ? " and " : ", ") + "the " + row.names[i];
  }
  return text;
}

// A row that could not be read because of its own shape: a comma missing after its keyword (the
// keyword field holds the keyword and a number: the values were read one field on), or a field
// too few (the next row's keyword stands where a number was expected). The error then stands
// at the row's keyword, where the author must type; where the reading stopped becomes a note
// pointing there. A missing comma has one sure repair; a missing value has none.
void explain_row_shape(const Compilation& c, const Problem& p, const ShownSource& source,
                       Diagnostic* d) {
  if (p.code != kRunTimeFailure || p.row == nullptr || p.row_offset == Problem::kNoOffset ||
      p.offset == Problem::kNoOffset || p.row_offset >= p.offset ||
      p.offset > source.text().size()) {
    return;
  }
  const RowGrammar& row = *p.row;
  const std::string field = field_at(source.text(), p.row_offset);
  // A keyword field that lost its comma holds the keyword, blanks and one number: the keyword
  // is all before the first word that reads as a number ("lunghezza percorso 20000" as well
  // as "pendenza 500"). A row whose first value comes with more numbers after it ("orologio
  // 8 0 0") has no sure place for one comma, and gets none; nor does a curve, whose keyword field
  // holds its curvature digit.
  size_t blank = std::string::npos;
  for (size_t at = field.find(' '); at != std::string::npos; at = field.find(' ', at + 1)) {
    const size_t word_start = field.find_first_not_of(' ', at);
    if (word_start == std::string::npos) break;
    if (looks_like_number(field.substr(word_start, field.find(' ', word_start) - word_start))) {
      blank = at;
      while (blank > 0 && field[blank - 1] == ' ') --blank;
      break;
    }
  }
  const std::string word = field.substr(0, blank);
  const size_t after_blanks =
      blank == std::string::npos ? std::string::npos : field.find_first_not_of(' ', blank);
  const std::string rest = after_blanks == std::string::npos ? "" : field.substr(after_blanks);
  const std::string at_fault = field_at(source.text(), p.offset);
  // Which value the reading stopped on: the failure names it.
  int stopped = -1;
  for (int i = 0; i < row.values_count(); ++i) {
    const std::string name = row.names[i];
    if (c.log.failure_message.compare(0, name.size() + 1, name + ":") == 0) stopped = i;
  }
  const bool missing_comma =
      row.id != RowId::kCurve && blank > 0 && looks_like_number(rest) && row.matches(word);
  if (!missing_comma && (stopped < 0 || !starts_a_row(at_fault))) return;
  const std::string keyword =
      "'" + utf8_from_windows_1252(printable(elided(missing_comma ? word : field, 40, 10))) + "'";
  const std::string takes =
      formatted("%d value%s (", row.values_count(), row.values_count() == 1 ? "" : "s") +
      row.values + ")";
  const LineAndColumn stop = source.locate(p.offset);
  const std::string stopped_note =
      formatted("the reading stopped at line %d, column %d: ", stop.line, stop.column) +
      printable(elided(reading_failure_text(c.log), 160, 40));
  place_at(source, p.row_offset, d);
  if (missing_comma) {
    d->message = "a comma is missing after " + keyword + ": its field holds the row's " +
                 row.names[0] + " too, so the row's values were read one field on";
    d->end_column = d->column + int(blank);
    d->notes = {keyword + " takes " + takes};
    Fix fix;
    fix.description = "insert ',' after " + keyword;
    fix.edits = {{p.row_offset + blank, 0, ","}};
    fix.repaired_line = repaired_excerpt(source, p.row_offset, fix.edits);
    d->fix = fix;
  } else {
    const int missing = row.values_count() - stopped;
    d->message = "the " + keyword + " row has " +
                 (missing == 1 ? std::string("a field") : std::to_string(missing) + " fields") +
                 " too few: it takes " + takes + ", and the next row's keyword '" +
                 utf8_from_windows_1252(printable(elided(at_fault, 40, 10))) +
                 "' stands where its " + row.names[stopped] + " should be";
    d->end_column = d->column + int(field.size());
    d->notes = {"missing: " + listed(row, stopped)};
  }
  d->notes.push_back(stopped_note);
  d->note_places.push_back({d->notes.size() - 1, source.path(), stop.line, stop.column});
}

}  // namespace

static Diagnostic recorded_diagnostic(const Compilation& compiled, const Problem& problem,
                                      const ShownSource& line_source,
                                      const ShownSource& train_source,
                                      const std::string& cells_path) {
  Diagnostic d;
  d.level = Diagnostic::Level::kError;
  d.code = std::to_string(problem.code);
  d.message = problem_meaning(compiled, problem) + at_position(compiled, problem);
  add_problem_notes(compiled, problem, line_source, train_source, &d);
  if (problem.positioned) d.metres = problem.position;
  if (problem.source == ProblemSource::kTrackCells) {
    d.metres = int64_t(problem.cell) * kCellMetres;
    d.after = cells_around(compiled, problem.cell);
    // At the row that causes it, when one was kept; the cell is said in a note. Otherwise on the
    // compiled file, at its cell.
    const SourceRow* row = rule_row(compiled, problem);
    if (row == nullptr) {
      d.file = cells_path;
      d.place = "cell " + std::to_string(problem.cell);
      return d;
    }
    const ShownSource& source =
        row->source == ProblemSource::kLineSource ? line_source : train_source;
    d.file = source.path();
    place_at(source, row->offset, &d);
    d.end_column = field_end_column(source, row->offset, d.column);
    d.notes.insert(
        d.notes.begin(),
        formatted("the signal-cell rules met it in cell %d (%lld m) of %s, from ", problem.cell,
                  static_cast<long long>(int64_t(problem.cell) * kCellMetres),
                  file_name_of(cells_path).c_str()) +
            (row->kind == RowKind::kSignal ? "the signal" : "the slowdown") +
            formatted(" at %d m", row->position));
    for (NotePlace& place : d.note_places) ++place.note;
    return d;
  }
  const ShownSource* source = problem.source == ProblemSource::kLineSource    ? &line_source
                              : problem.source == ProblemSource::kTrainSource ? &train_source
                                                                              : nullptr;
  // A chainage reference off the grid is found after the reading: point at its row.
  if (problem.code == kChainageNotOn50) {
    for (const SourceRow& row : compiled.rows) {
      const int64_t value = int64_t(row.a) + (row.b == 1 ? kChainageFlagMetres : 0);
      if (row.kind != RowKind::kChainage || (row.position % 50 == 0 && value % 50 == 0)) continue;
      d.file = line_source.path();
      d.message = formatted("chainage reference at %d m with the value %lld m: ", row.position,
                            static_cast<long long>(value)) +
                  formatted(
                      "its position and its value (%d m added when its flag is 1) must be "
                      "multiples of 50 m",
                      kChainageFlagMetres);
      place_at(line_source, row.offset, &d);
      d.end_column = field_end_column(line_source, row.offset, d.column);
      return d;
    }
  }
  if (source == nullptr) return d;
  d.file = source->path();
  const size_t offset =
      problem.field_offset != Problem::kNoOffset ? problem.field_offset : problem.offset;
  if (offset == Problem::kNoOffset || offset > source->text().size()) return d;
  place_at(*source, offset, &d);
  d.end_column = field_end_column(*source, offset, d.column);
  explain_row_shape(compiled, problem, *source, &d);
  return d;
}

Diagnostic problem_diagnostic(const Compilation& compiled, const Problem& problem,
                              const ShownSource& line_source, const ShownSource& train_source,
                              const std::string& cells_path) {
  Diagnostic d = recorded_diagnostic(compiled, problem, line_source, train_source, cells_path);
  explain_wrong_file(problem, line_source, train_source, &d);
  return d;
}

std::string repaired_excerpt(const ShownSource& source, size_t offset,
                             const std::vector<FixEdit>& edits) {
  const Excerpt shown = source.excerpt(offset);
  // The shown bytes with every edit that falls within them made.
  std::string bytes;
  size_t at = shown.from;
  for (const FixEdit& edit : edits) {
    if (edit.offset < at || edit.offset > shown.to || edit.length > shown.to - edit.offset) {
      continue;
    }
    bytes.append(source.text(), at, edit.offset - at);
    bytes += edit.replacement;
    at = edit.offset + edit.length;
  }
  bytes.append(source.text(), at, shown.to - at);
  return printable_utf8_from_windows_1252((shown.cut_before ? "..." : "") + bytes +
                                          (shown.cut_after ? "..." : ""));
}

Diagnostic warning_diagnostic(const SourceWarning& warning, const ShownSource& source) {
  Diagnostic d;
  d.level = Diagnostic::Level::kWarning;
  d.code = warning.kind;
  d.message = utf8_from_windows_1252(warning.message);
  d.file = source.path();
  place_at(source, warning.offset, &d);
  if (warning.fix != nullptr) {
    d.fix = *warning.fix;
    d.fix->repaired_line = repaired_excerpt(source, warning.offset, d.fix->edits);
  }
  d.end_column =
      warning.length > 0 && warning.offset < source.text().size()
          ? d.column + int(std::min(warning.length, source.text().size() - warning.offset))
          : field_end_column(source, warning.offset, d.column);
  return d;
}

namespace {

// The warnings `warning_at(i)` makes for i below `count`, at most `max_per_kind` of each kind
// (0: all), then for each kind that had more, one diagnostic in `file` saying how many were
// left out.
void each_capped(size_t count, const std::function<const std::string&(size_t)>& kind_of,
                 const std::function<Diagnostic(size_t)>& warning_at, const std::string& file,
                 size_t max_per_kind, const std::function<void(Diagnostic&&)>& take) {
  // Each kind with its count, in the order of their first warning.
  std::vector<std::pair<const std::string*, size_t>> kinds;
  std::map<std::string, size_t> kind_index;
  for (size_t i = 0; i < count; ++i) {
    const auto found = kind_index.emplace(kind_of(i), kinds.size());
    if (found.second) kinds.emplace_back(&found.first->first, 0);
    const size_t seen = ++kinds[found.first->second].second;
    if (max_per_kind == 0 || seen <= max_per_kind) take(warning_at(i));
  }
  for (const auto& kind : kinds) {
    if (max_per_kind == 0 || kind.second <= max_per_kind) continue;
    Diagnostic d;
    d.level = Diagnostic::Level::kWarning;
    d.code = *kind.first;
    d.file = file;
    d.message = std::to_string(kind.second - max_per_kind) + " more warnings of the kind '" +
                *kind.first + "' not shown (--max-warnings " + std::to_string(max_per_kind) +
                " shows " + std::to_string(max_per_kind) + " of each kind, 0 shows all)";
    take(std::move(d));
  }
}

}  // namespace

void each_warning_diagnostic(const std::vector<SourceWarning>& warnings, const ShownSource& source,
                             size_t max_per_kind, const std::function<void(Diagnostic&&)>& take) {
  each_capped(
      warnings.size(), [&warnings](size_t i) -> const std::string& { return warnings[i].kind; },
      [&](size_t i) { return warning_diagnostic(warnings[i], source); }, source.path(),
      max_per_kind, take);
}

void each_warning_diagnostic(const std::vector<Diagnostic>& warnings, const std::string& file,
                             size_t max_per_kind, const std::function<void(Diagnostic&&)>& take) {
  each_capped(
      warnings.size(), [&warnings](size_t i) -> const std::string& { return warnings[i].code; },
      [&warnings](size_t i) { return warnings[i]; }, file, max_per_kind, take);
}

void apply_werror(Diagnostic* d) {
  if (d->level != Diagnostic::Level::kWarning) return;
  d->level = Diagnostic::Level::kError;
  d->warning_kind = d->code;
  d->code = "werror";
  d->message = "(--werror) " + d->message;
}
