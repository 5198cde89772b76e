#include "tools/analysis/analysis.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "common/file_path.h"
#include "compiler/error_codes.h"
#include "compiler/records.h"
#include "tools/analysis/timetable.h"
#include "tools/analysis/words.h"
#include "tools/language/translation.h"

namespace {

// Where a problem's row lies, to leave it out: its first and last byte (whole lines).
bool row_span(const Problem& p, const std::string& text, size_t* from, size_t* to) {
  size_t first = p.row_offset != Problem::kNoOffset ? p.row_offset : p.offset;
  size_t last = std::max(p.offset, p.field_offset != Problem::kNoOffset ? p.field_offset : 0);
  if (first == Problem::kNoOffset || first > text.size()) return false;
  last = std::min(std::max(last, first), text.size());
  while (first > 0 && text[first - 1] != '\n' && text[first - 1] != '\r') --first;
  while (last < text.size() && text[last] != '\n' && text[last] != '\r') ++last;
  *from = first;
  *to = last;
  return true;
}

// What tells one problem from another across compilations of the same sources.
std::string problem_key(const Problem& p) {
  return formatted("%d/%d/%zu/%zu/%d", p.code, int(p.source), p.offset, p.field_offset, p.cell);
}

// The problems the compiler never reached: it stops at its first error, so each round leaves
// out the lines of the row it stopped at (blanks in their place, so that every offset and line
// stays where it was) and compiles again in memory, until the sources compile or the stop has
// no row. Bounded: at most 30 rounds, for sources of at most 2 MiB. A problem with the same words
// as one found before is shown as one, with where else it stands; `repeated` gets each such
// repeat whole, for its repair.
std::vector<Diagnostic> further_problems(const CompileOptions& compiled_with,
                                         const Compilation& first, const ShownSource& line,
                                         const ShownSource& train, const std::string& cells_path,
                                         std::vector<Diagnostic>* repeated) {
  std::vector<Diagnostic> found;
  if (first.log.error.code == 0 || line.text().size() + train.text().size() > (size_t(2) << 20)) {
    return found;
  }
  std::set<std::string> seen;
  for (const Problem& p : first.log.problems) seen.insert(problem_key(p));
  std::map<std::string, std::vector<int>> repeats;  // by code and words: the lines of repeats
  CompileOptions options = in_memory_options(compiled_with.scenario, line.text(), train.text());
  options.build_plan = compiled_with.build_plan;
  options.keep_rows = true;
  std::string* texts[2] = {&options.line_source_text, &options.train_source_text};
  const Compilation* previous = &first;
  std::unique_ptr<Compilation> round;
  for (int k = 0; k < 30 && previous->log.error.code != 0; ++k) {
    // The row that stopped the reading: the last problem met in a source.
    const Problem* stop = nullptr;
    for (const Problem& p : previous->log.problems) {
      if (p.source == ProblemSource::kLineSource || p.source == ProblemSource::kTrainSource)
        stop = &p;
    }
    if (stop == nullptr) break;
    std::string& text = *texts[stop->source == ProblemSource::kLineSource ? 0 : 1];
    size_t from, to;
    if (!row_span(*stop, text, &from, &to)) break;
    // A comma missing after a keyword, before a blank: the blank becomes the comma, so that the
    // reading goes on as it will once the row is mended, every byte where it was. Any other row
    // at fault is left out, its bytes blanked.
    const Diagnostic stopped = problem_diagnostic(*previous, *stop, line, train, cells_path);
    const FixEdit* comma =
        stopped.fix && stopped.fix->edits.size() == 1 ? &stopped.fix->edits[0] : nullptr;
    bool changed = false;
    if (comma != nullptr && comma->length == 0 && comma->replacement == "," &&
        comma->offset >= from && comma->offset < to && text[comma->offset] == ' ') {
      text[comma->offset] = ',';
      changed = true;
    } else {
      for (size_t i = from; i < to; ++i) {
        if (text[i] != ' ') changed = true;
        text[i] = ' ';
      }
    }
    if (!changed) break;
    auto next = std::make_unique<Compilation>();
    memorizza_percorso(options, next.get());
    for (const Problem& p : next->log.problems) {
      if (!seen.insert(problem_key(p)).second) continue;
      Diagnostic d = problem_diagnostic(*next, p, line, train, cells_path);
      d.past_first_error = true;
      d.notes.insert(d.notes.begin(),
                     tr("past the first error: the compiler stops before this; it is met once the "
                        "rows at fault before it are mended"));
      for (NotePlace& place : d.note_places) ++place.note;
      // The same words again (a required row left out is missed at each section after it)
      // are one problem: counted on the first, with where else it stands.
      const auto first = repeats.try_emplace(d.code + " " + d.message);
      if (!first.second) {
        first.first->second.push_back(d.line);
        repeated->push_back(std::move(d));
        continue;
      }
      found.push_back(d);
    }
    round = std::move(next);
    previous = round.get();
  }
  for (Diagnostic& d : found) {
    // Each line once, and not the diagnostic's own: later rounds may meet a problem again at a
    // line met before.
    std::vector<int> lines;
    for (const int line : repeats[d.code + " " + d.message]) {
      if (line != d.line && std::find(lines.begin(), lines.end(), line) == lines.end()) {
        lines.push_back(line);
      }
    }
    if (lines.empty()) continue;
    std::string where;
    for (size_t i = 0; i < lines.size() && i < 5; ++i) {
      where += (i == 0 ? "" : ", ") + std::to_string(lines[i]);
    }
    if (lines.size() > 5) where += ", ...";
    // TRANSLATORS: {2} is the line numbers, "12, 40, 41".
    d.notes.push_back(tr_n("the same at {1} more place (line {2})",
                           "the same at {1} more places (lines {2})", lines.size(),
                           {std::to_string(lines.size()), where}));
  }
  return found;
}

// What an integrity error says: which slot of the line's table entry or of the header cell was
// already taken when the compiler came to stamp it.
std::string integrity_meaning(int code) {
  return code == 1250
             ? tr("the version slot of table entry 85 or of track cell 1 is already taken")
             : tr("the checksum slot of table entry 85 or of track cell 1 is already taken");
}

// Whether a row kept by the compiler wrote into the header cell or the line's table entry, the
// slots the integrity check finds taken: a speed board, signboard or signal in cell 1, an
// 'abbattimento' point there, a station or signboard text in entry 85.
bool writes_stamped_slots(const SourceRow& row) {
  switch (row.kind) {
    case RowKind::kSpeedIndicator:
    case RowKind::kSignal:
      return row.a == kHeaderCell;
    case RowKind::kSignboard:
      return row.a == kHeaderCell || row.b == kLineEntry;
    case RowKind::kRestrictionPoint:
      return row.b == kHeaderCell;
    case RowKind::kStation:
      return row.a == kLineEntry;
    default:
      return false;
  }
}

// A failed integrity check as a diagnostic: at the last row that wrote into a stamped slot, the
// others as notes; on the compiled file when no row kept did.
Diagnostic integrity_diagnostic(const Analysis& a) {
  const int code = a.result.integrity_error;
  Diagnostic d;
  d.level = Diagnostic::Level::kError;
  d.code = std::to_string(code);
  // TRANSLATORS: "Errore n." is the installer's own word for its errors, as it shows them; {2}
  // says which slot was taken.
  d.message = tr("Errore n. {1}: {2}; no compiled file written", {d.code, integrity_meaning(code)});
  std::vector<const SourceRow*> writers;
  for (const SourceRow& row : a.compiled.rows) {
    if (writes_stamped_slots(row)) writers.push_back(&row);
  }
  d.notes.push_back(
      tr("the compiler stamps the version word (610 in entry 85, 5121 in cell 1) and the "
         "checksums into slots that no row may write; it found one taken and wrote nothing"));
  if (writers.empty()) {
    d.file = a.cells_path;
    d.place = tr("cell {1}", {"1"});
    d.metres = 0;
    return d;
  }
  const SourceRow& last = *writers.back();
  const ShownSource& source = last.source == ProblemSource::kLineSource ? a.line : a.train;
  d.file = source.path();
  place_diagnostic(source, last.offset, &d);
  d.metres = last.position;
  d.notes.push_back(last.kind == RowKind::kStation ||
                            (last.kind == RowKind::kSignboard && last.b == kLineEntry)
                        ? tr("this row, at {1} m, writes into table entry 85: move it",
                             {std::to_string(last.position)})
                        : tr("this row, at {1} m, writes into track cell 1 (0 to 50 m): move it",
                             {std::to_string(last.position)}));
  for (size_t i = 0; i + 1 < writers.size(); ++i) {
    const SourceRow& other = *writers[i];
    const ShownSource& s = other.source == ProblemSource::kLineSource ? a.line : a.train;
    const LineAndColumn place = s.locate(other.offset);
    d.note_places.push_back({d.notes.size(), s.path(), place.line, place.column});
    d.notes.push_back(tr("the row at {1} m writes there too", {std::to_string(other.position)}));
  }
  return d;
}

}  // namespace

std::unique_ptr<Analysis> analyse(CompileOptions options, ShownSource line, ShownSource train) {
  std::unique_ptr<Analysis> a(new Analysis(std::move(line), std::move(train)));
  options.write_files = false;
  options.keep_rows = a->line.text().size() + a->train.text().size() <= (size_t(16) << 20);
  a->options = std::move(options);
  const CompileOptions& o = a->options;
  a->line_warnings = lint_line_source(a->line.text(), o.build_plan);
  a->train_warnings = lint_train_source(a->train.text());
  a->result = memorizza_percorso(o, &a->compiled);
  // The timetable's warnings read the compiled stations: a compilation too large to keep its
  // rows gives none.
  a->timetable = timetable_warnings(a->compiled, a->train);
  a->cells_path = path_in(o.directory, track_cells_name(o.scenario));
  a->further = further_problems(o, a->compiled, a->line, a->train, a->cells_path, &a->repeated);
  return a;
}

bool Analysis::any_warning() const {
  return !line_warnings.empty() || !train_warnings.empty() || !timetable.empty();
}

int Analysis::source_index(const std::string& path) const {
  return path == line.path() ? 0 : path == train.path() ? 1 : -1;
}

FinalCode Analysis::final_code() const {
  if (result.end == CompileEnd::kIntegrityError) {
    FinalCode reported;
    reported.code = result.integrity_error;
    reported.position = 0;
    reported.words =
        // TRANSLATORS: "Errore n." is the installer's own word for its errors, as it shows them;
        // {2} says which slot was taken.
        tr("Errore n. {1}: {2}", {std::to_string(reported.code), integrity_meaning(reported.code)});
    return reported;
  }
  return ::final_code(compiled, line, train, cells_path);
}

const RowIndex& Analysis::rows(int k) const {
  if (!rows_[k]) {
    rows_[k] = std::make_unique<RowIndex>(k == 0 ? index_rows(line.text(), true, options.build_plan)
                                                 : index_rows(train.text(), false, true));
  }
  return *rows_[k];
}

std::optional<int64_t> Analysis::place_on_line(const Diagnostic& d) const {
  if (d.metres) return d.metres;
  return row_position(source_index(d.file), d.offset);
}

std::optional<int64_t> Analysis::row_position(int k, size_t offset) const {
  if (k < 0 || k > 1) return std::nullopt;
  const ShownSource& shown = k == 0 ? line : train;
  if (offset == Problem::kNoOffset || offset > shown.text().size()) return std::nullopt;
  const IndexedRow* row = rows(k).row_at(offset);
  if (row == nullptr) {
    row = rows(k).row_before(offset);
    if (row != nullptr && shown.locate(row->keyword_from).line != shown.locate(offset).line) {
      row = nullptr;
    }
  }
  if (row == nullptr || !row->position) return std::nullopt;
  return *row->position;
}

void Analysis::each_diagnostic(size_t max_warnings,
                               const std::function<void(Diagnostic&&)>& take) const {
  each_warning_diagnostic(line_warnings, line, max_warnings, take);
  each_warning_diagnostic(train_warnings, train, max_warnings, take);
  each_warning_diagnostic(timetable, train.path(), max_warnings, take);
  for (const Problem& problem : compiled.log.problems) {
    Diagnostic d = problem_diagnostic(compiled, problem, line, train, cells_path);
    // A row that could not be read lies where its author put it: a keyword that lost its comma
    // holds the position (the walk reads the row one field on).
    if (!d.metres) {
      if (const std::optional<int32_t> at = problem_row_position(problem, line, train)) {
        d.metres = *at;
      }
    }
    take(std::move(d));
  }
  for (const Diagnostic& d : further) take(Diagnostic(d));
  if (result.end == CompileEnd::kIntegrityError) take(integrity_diagnostic(*this));
}
