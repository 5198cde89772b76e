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
  if (cell < 0 || cell > compiled.records.last_cell()) return tr("another object");
  // TRANSLATORS: {1} is what stands in a cell ("signal"), {2} the cell's number.
  return tr("{1} (cell {2})",
            {cell_type_text(compiled.records.cells[cell].type), std::to_string(cell)});
}

std::string same_cell(const std::string& what, const Problem& p, const std::string& met) {
  // TRANSLATORS: {1} is the object refused ("signal"), {3} what already stands in the cell,
  // "signal (cell 24)".
  return tr(
      "two objects in the same 50 m cell: {1} at {2} m meets {3}; move one of them by 50 m or more",
      {what, std::to_string(p.position), met});
}

std::string at_position(const Compilation& compiled, const Problem& problem) {
  if (!problem.positioned) return "";
  const std::string metres = std::to_string(problem.position);
  const std::string chainage = chainage_text(compiled.records.table, problem.position);
  // TRANSLATORS: added to an error's meaning: {1} is a position in metres, {2} its chainage,
  // "km 12+350".
  return chainage.empty() ? tr(", at {1} m", {metres}) : tr(", at {1} m ({2})", {metres, chainage});
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
  return "    " +
         // TRANSLATORS: {1} is a cell's number, {2} the objects in the cells around it, "99 signal,
         // 101 slowdown start".
         tr("cells around {1}: {2}",
            {std::to_string(cell), text.empty() ? tr("all empty") : text}) +
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
    const std::string line_number = std::to_string(source->locate(p.row_offset).line);
    const std::string quoted_keyword =
        "'" + utf8_from_windows_1252(printable(elided(keyword, 40, 10))) + "'";
    const std::string note =
        // TRANSLATORS: {1} is a line number, {2} the row's keyword as written, quoted; {4} the
        // names of the values the row takes.
        shape == nullptr ? tr("the row began at line {1} with {2}", {line_number, quoted_keyword})
                         : tr_n("the row began at line {1} with {2}, which takes {3} value: {4}",
                                "the row began at line {1} with {2}, which takes {3} values: {4}",
                                shape->values_count(),
                                {line_number, quoted_keyword, std::to_string(shape->values_count()),
                                 shape->values});
    const LineAndColumn row_start = source->locate(p.row_offset);
    d->note_places.push_back({notes.size(), source->path(), row_start.line, row_start.column});
    notes.push_back(note);
    const std::string at_fault = field_at(source->text(), p.offset);
    const size_t blank = keyword.find(' ');
    if (shape != nullptr && blank != std::string::npos &&
        keyword.find_first_of("0123456789", blank) != std::string::npos) {
      notes.push_back(
          tr("is a comma missing after the keyword? its field holds a number too, so "
             "the row's values were read one field on"));
    } else if (starts_a_row(at_fault)) {
      notes.push_back(
          tr("a number was expected where the next row's keyword stands: the row has a "
             "field too few"));
    }
  }
  // (Not for a row that failed to read: its numbers are what went wrong.)
  if (!p.positioned && p.code != kRunTimeFailure && source != nullptr && p.row_position) {
    notes.push_back(tr("the row stands at {1} m", {std::to_string(*p.row_position)}));
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
      const std::string metres = std::to_string(row.position), place = row_place(s, row.offset);
      notes.push_back(
          row.kind == RowKind::kSignal
              // TRANSLATORS: {1} is a position in metres, {2} the row's place, "file:line".
              ? tr("near it: the signal at {1} m ({2})", {metres, place})
              : tr("near it: the slowdown at {1} m ({2})", {metres, place}));
    }
    if (near > kMostRowsNear) {
      notes.push_back(tr_n("and {1} more signals and slowdowns near it",
                           "and {1} more signals and slowdowns near it", near - kMostRowsNear,
                           {std::to_string(near - kMostRowsNear)}));
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
  // (The warning point's text takes its distance, {1}.)
  static const struct {
    int32_t code;
    const char* what;
  } kRefusals[] = {
      {kSignboardCellTaken, tr_mark("signboard")},
      {kRestrictionCellTaken, tr_mark("'abbattimento' point")},
      {kSignalCellTaken, tr_mark("signal")},
      {kWarningCellTaken, tr_mark("the warning point ({1} m before) of the slowdown")},
      {kSlowdownStartCellTaken, tr_mark("the start of the slowdown")},
      {kSlowdownEndCellTaken, tr_mark("the end of the slowdown")},
      {kWarningBoardCellTaken, tr_mark("a warning board of the slowdown")},
      {kIndicatorCellTaken, tr_mark("speed indicator")},
  };
  for (const auto& refusal : kRefusals) {
    if (refusal.code == p.code) {
      return same_cell(tr(refusal.what, {std::to_string(kWarningDistance)}), p,
                       occupant(c, p.cell));
    }
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
              return tr(
                  "the slowdown at {1} m, {2} m long, ends in the 50 m cell it starts in, which "
                  "its start takes: it has no end before the last cell; make it end in a later "
                  "cell",
                  {std::to_string(row->position), std::to_string(row->b)});
            }
          } catch (const RunTimeFailure&) {
          }
        }
        return tr("the slowdown starting in this cell has no end before the last cell");
      }
      // A tunnel is placed by its start; when only its end falls past the cells, say so.
      if (p.source == ProblemSource::kLineSource && !c.records.tunnels.empty() &&
          c.records.tunnels.back().start == p.position &&
          c.records.within_cells(p.position, kFeatureMargin)) {
        return tr(
            "the tunnel starting at {1} m ends at {2} m, beyond the track cells, which cover 0 to "
            "{3} m for a route of {4} m",
            {std::to_string(p.position), std::to_string(c.records.tunnels.back().end),
             std::to_string(int64_t(c.records.last_cell()) * kCellMetres),
             std::to_string(c.records.table[kRouteEntry].end)});
      }
      // A signal or slowdown that only shows the line source's own 15 through.
      if (p.left_by_earlier) {
        for (const Problem& earlier : c.log.problems) {
          if (&earlier == &p) break;
          if (earlier.code == kBeyondCells && earlier.source == ProblemSource::kLineSource) {
            return tr(
                "the reading of the train source stops here only because the line source ended "
                "with error 15 (at {1} m, reported above): the compiler stops at the first signal "
                "or slowdown after it; mend that one",
                {std::to_string(earlier.position)});
          }
        }
      }
      // A curve whose start lies on the cells and whose end runs past the plan's last metre.
      if (p.source == ProblemSource::kLineSource && p.row != nullptr &&
          p.row->id == RowId::kCurve && c.records.within_cells(p.position, kFeatureMargin)) {
        return tr(
            "the curve starting at {1} m runs past the line plan's last metre, {2} m (the plan "
            "covers the track cells, 0 to {3} m, for a route of {4} m)",
            {std::to_string(p.position), std::to_string(c.records.plan.last_metre()),
             std::to_string(int64_t(c.records.last_cell()) * kCellMetres),
             std::to_string(c.records.table[kRouteEntry].end)});
      }
      return tr(
          "position {1} m lies beyond the track cells: on a route of {2} m the last position a "
          "feature may take is {3} m (a station's, {4} m)",
          {std::to_string(p.position), std::to_string(c.records.table[kRouteEntry].end),
           std::to_string(c.records.last_position(kFeatureMargin)),
           std::to_string(c.records.last_position(kStationMargin))});
    case kRunTimeFailure:
      // The message may quote a whole field of the source: its middle is left out.
      return c.log.failure_message.empty()
                 ? tr(error_meaning(p.code))
                 // TRANSLATORS: {1} is the reader's own account of the field it stopped on.
                 : tr("the reading stopped: {1}",
                      {printable(elided(reading_failure_text(c.log), 160, 40))});
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
    // TRANSLATORS: a value of a row, named: "the speed".
    const std::string value = tr("the {1}", {tr(row.names[i])});
    text = i == from ? value
           // TRANSLATORS: a list of values: {1} is those before the last, {2} the last.
           : i + 1 == count ? tr("{1} and {2}", {text, value})
                            : tr("{1}, {2}", {text, value});
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
  // TRANSLATORS: how many values a row takes, then their names.
  const std::string takes = tr_n("{1} value ({2})", "{1} values ({2})", row.values_count(),
                                 {std::to_string(row.values_count()), tr(row.values)});
  const LineAndColumn stop = source.locate(p.offset);
  // TRANSLATORS: {3} is the reader's own account of the field it stopped on.
  const std::string stopped_note = tr("the reading stopped at line {1}, column {2}: {3}",
                                      {std::to_string(stop.line), std::to_string(stop.column),
                                       printable(elided(reading_failure_text(c.log), 160, 40))});
  place_at(source, p.row_offset, d);
  if (missing_comma) {
    d->message =
        // TRANSLATORS: {1} is the keyword as written, quoted; {2} the name of the row's first
        // value.
        tr("a comma is missing after {1}: its field holds the row's {2} too, so the row's values "
           "were read one field on",
           {keyword, tr(row.names[0])});
    d->end_column = d->column + int(blank);
    // TRANSLATORS: {2} is "3 values (position, length, speed)".
    d->notes = {tr("{1} takes {2}", {keyword, takes})};
    Fix fix;
    fix.description = tr("insert ',' after {1}", {keyword});
    fix.edits = {{p.row_offset + blank, 0, ","}};
    fix.repaired_line = repaired_excerpt(source, p.row_offset, fix.edits);
    d->fix = fix;
  } else {
    const int missing = row.values_count() - stopped;
    const std::string next =
        "'" + utf8_from_windows_1252(printable(elided(at_fault, 40, 10))) + "'";
    // TRANSLATORS: {1} is the row's keyword, quoted; {2} "3 values (position, length, speed)";
    // {3} the next row's keyword, quoted; {4} the name of the first value missing; {5} how many
    // are missing.
    d->message = tr_n(
        "the {1} row has a field too few: it takes {2}, and the next row's keyword {3} stands "
        "where its {4} should be",
        "the {1} row has {5} fields too few: it takes {2}, and the next row's keyword {3} stands "
        "where its {4} should be",
        uint64_t(missing), {keyword, takes, next, tr(row.names[stopped]), std::to_string(missing)});
    d->end_column = d->column + int(field.size());
    d->notes = {tr("missing: {1}", {listed(row, stopped)})};
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
      d.place = tr("cell {1}", {std::to_string(problem.cell)});
      return d;
    }
    const ShownSource& source =
        row->source == ProblemSource::kLineSource ? line_source : train_source;
    d.file = source.path();
    place_at(source, row->offset, &d);
    d.end_column = field_end_column(source, row->offset, d.column);
    const std::initializer_list<std::string> values = {
        std::to_string(problem.cell), std::to_string(int64_t(problem.cell) * kCellMetres),
        file_name_of(cells_path), std::to_string(row->position)};
    d.notes.insert(
        d.notes.begin(),
        row->kind == RowKind::kSignal
            // TRANSLATORS: {1} is a cell's number, {2} its place in metres, {3} the track cells'
            // file name, {4} the place in metres of the row behind it.
            ? tr("the signal-cell rules met it in cell {1} ({2} m) of {3}, from the signal at "
                 "{4} m",
                 values)
            : tr("the signal-cell rules met it in cell {1} ({2} m) of {3}, from the slowdown at "
                 "{4} m",
                 values));
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
      d.message =
          tr("chainage reference at {1} m with the value {2} m: its position and its value ({3} m "
             "added when its flag is 1) must be multiples of 50 m",
             {std::to_string(row.position), std::to_string(value),
              std::to_string(kChainageFlagMetres)});
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
    const size_t left_out = kind.second - max_per_kind;
    // TRANSLATORS: {1} is how many are not shown, {2} the warnings' kind (their code, which
    // stays in English), {3} the most shown of each kind.
    d.message = tr_n(
        "{1} more warnings of the kind '{2}' not shown (--max-warnings {3} shows {3} of each "
        "kind, 0 shows all)",
        "{1} more warnings of the kind '{2}' not shown (--max-warnings {3} shows {3} of each "
        "kind, 0 shows all)",
        left_out, {std::to_string(left_out), *kind.first, std::to_string(max_per_kind)});
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
  d->message = tr("(--werror) {1}", {d->message});
}
