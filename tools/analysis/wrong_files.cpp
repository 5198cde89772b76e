#include "tools/analysis/wrong_files.h"

#include <algorithm>
#include <vector>

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/file_system.h"
#include "compiler/checked_math.h"
#include "compiler/error_codes.h"
#include "compiler/field_reader.h"
#include "tools/analysis/row_index.h"
#include "tools/analysis/words.h"
#include "tools/language/translation.h"

namespace {

// A folder's listing names at most this many sources; the rest are counted.
constexpr size_t kNamesListed = 5;
// A row's first value is looked for this far past the row's start at most.
constexpr size_t kRowReach = size_t(64) << 10;

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool starts_with(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

// The regular files in `folder` whose names start with `head` and end with `tail`, sorted, and
// the middle of each name, between head and tail.
struct Found {
  std::vector<std::string> names;
  std::vector<std::string> middles;
};
Found sources_in(const std::string& folder, const std::string& head, const std::string& tail) {
  std::vector<std::string> entries;
  Found found;
  if (platform_file_system().list_directory(folder, &entries)) return found;
  std::sort(entries.begin(), entries.end());
  for (const std::string& entry : entries) {
    if (entry.size() <= head.size() + tail.size() || !starts_with(entry, head) ||
        !ends_with(entry, tail) || !is_regular_file(path_in(folder, entry))) {
      continue;
    }
    // A name is quoted as it is, its control characters written out.
    found.names.push_back(printable(entry));
    found.middles.push_back(
        printable(entry.substr(head.size(), entry.size() - head.size() - tail.size())));
  }
  return found;
}

// The sources a folder holds, for a message that offers them: their names ("A-.txt, B-.txt",
// at most kNamesListed of them and how many more) and the values of the option that would name
// them ("1 or 2").
struct Listing {
  std::string names;
  std::string values;
};
Listing listing(const Found& found) {
  Listing listed;
  const size_t shown = std::min(found.names.size(), kNamesListed);
  for (size_t i = 0; i < shown; ++i) {
    listed.names += std::string(i == 0 ? "" : ", ") + found.names[i];
    if (i == 0) {
      listed.values = found.middles[i];
    } else if (i + 1 < shown) {
      listed.values += ", " + found.middles[i];
    } else {
      // TRANSLATORS: the last of the values an option may take: "1, 2 or 3".
      listed.values = tr("{1} or {2}", {listed.values, found.middles[i]});
    }
  }
  if (found.names.size() > shown) {
    const size_t more = found.names.size() - shown;
    // TRANSLATORS: {1} the names of files listed, {2} how many more the folder has.
    listed.names =
        tr_n("{1} and {2} more", "{1} and {2} more", more, {listed.names, std::to_string(more)});
  }
  return listed;
}

// Whether a source holds nothing but blanks and line ends (its reading then passes its end).
bool blank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// The line's name in `<line>_linea.txt`, the train's in `<line>_<train>-.txt`.
std::string line_name_of(const ShownSource& line) {
  const std::string name = file_name_of(line.path());
  return ends_with(name, "_linea.txt") ? name.substr(0, name.size() - 10) : name;
}

void missing_line_source(const ShownSource& line, const ShownSource& train, Diagnostic* d) {
  const std::string folder = folder_of(line.path());
  const std::string name = file_name_of(line.path());
  const std::string line_name = line_name_of(line);
  // An installer run leaves the compiled files and deletes the sources it wrote.
  std::string train_file = file_name_of(train.path());
  if (ends_with(train_file, "-.txt")) train_file.resize(train_file.size() - 5);
  std::vector<std::string> compiled;
  for (const std::string& file : {line_name + "_linea.dat", train_file + ".sim"}) {
    if (is_regular_file(path_in(folder, file))) compiled.push_back(file);
  }
  // Another line's source: name it.
  const Found others = sources_in(folder, "", "_linea.txt");
  if (compiled.empty() && !others.names.empty()) {
    const Listing listed = listing(others);
    // TRANSLATORS: {1} the source's file name, {2} the line sources the folder holds, {3} the
    // names --line could take instead: "A or B".
    d->message = tr("no line source {1}; the folder has {2}: --line {3}?",
                    {name, listed.names, listed.values});
    return;
  }
  // Another scenario's installer may have run here: its compiled line plan tells.
  if (compiled.empty()) {
    const Found plans = sources_in(folder, "", "_linea.dat");
    if (!plans.names.empty()) compiled.push_back(plans.names[0]);
  }
  // With neither, "no line source file" says it all.
  if (compiled.empty()) return;
  // TRANSLATORS: {1} the line source's file name, {2} (and {3}) the compiled files found.
  d->message = compiled.size() > 1
                   ? tr("no line source {1} here, but the compiled {2} and {3}: an installer has "
                        "run in this folder, and an installer deletes the sources it writes once "
                        "it has compiled them",
                        {name, compiled[0], compiled[1]})
                   : tr("no line source {1} here, but the compiled {2}: an installer has run in "
                        "this folder, and an installer deletes the sources it writes once it has "
                        "compiled them",
                        {name, compiled[0]});
  d->notes.push_back(
      tr("this folder does not hold the sources any more: take them from your own copy, or have "
         "'scenario-tool extract INSTALLER -o DIR' write again those the installer carries; keep "
         "your sources in a folder of their own"));
}

void missing_train_source(const ShownSource& line, const ShownSource& train, Diagnostic* d) {
  const Found others = sources_in(folder_of(train.path()), line_name_of(line) + "_", "-.txt");
  if (others.names.empty()) {
    // TRANSLATORS: {1} the train source's file name, {2} the line's name.
    d->message = tr("no train source {1}; the folder has no train source of the line ({2}_*-.txt)",
                    {file_name_of(train.path()), line_name_of(line)});
  } else {
    const Listing listed = listing(others);
    // TRANSLATORS: {1} the source's file name, {2} the train sources the folder holds, {3} the
    // numbers --train could take instead: "2302 or 2304".
    d->message = tr("no train source {1}; the folder has {2}: --train {3}?",
                    {file_name_of(train.path()), listed.names, listed.values});
  }
  d->notes.clear();
  d->note_places.clear();
}

void empty_source(const ShownSource& source, bool line, Diagnostic* d) {
  const std::string name = file_name_of(source.path());
  const bool empty = source.text().empty();
  // TRANSLATORS: {1} the source's file name.
  if (line) {
    d->message = empty ? tr("{1} is empty: a line source begins with its [generale] section and "
                            "the route length in it, 'lunghezza percorso, <metres>'",
                            {name})
                       : tr("{1} holds only blanks and line ends: a line source begins with its "
                            "[generale] section and the route length in it, 'lunghezza "
                            "percorso, <metres>'",
                            {name});
  } else {
    d->message = empty ? tr("{1} is empty: a train source begins with its [generale] section: "
                            "'numero vetture', 'percentuale massa frenata', 'sabbia', 'orologio'",
                            {name})
                       : tr("{1} holds only blanks and line ends: a train source begins with "
                            "its [generale] section: 'numero vetture', 'percentuale massa "
                            "frenata', 'sabbia', 'orologio'",
                            {name});
  }
  d->notes.clear();
  d->note_places.clear();
}

// The keyword field of the problem's row, up to its comma or line end (at most 200 bytes).
std::string keyword_field(const ShownSource& source, const Problem& p) {
  const size_t from = p.row_offset != Problem::kNoOffset ? p.row_offset : p.offset;
  const std::string& text = source.text();
  if (from >= text.size()) return "";
  size_t end = from;
  while (end < text.size() && end - from < 200 && text[end] != ',' && text[end] != '\r' &&
         text[end] != '\n') {
    ++end;
  }
  return text.substr(from, end - from);
}

// A curve keyword whose field holds no digit 1 to 6: say which digit it holds instead.
void curve_without_curvature(const ShownSource& source, const Problem& p, Diagnostic* d) {
  const std::string keyword = keyword_field(source, p);
  if (keyword.find_first_of("123456") != std::string::npos) return;  // the plan's length
  const size_t digit = keyword.find_first_of("0789");
  const std::string quoted = "'" + utf8_from_windows_1252(printable(elided(keyword, 40, 10))) + "'";
  // TRANSLATORS: {1} the curve keyword as written, quoted; {2} the digit it holds.
  d->message =
      digit != std::string::npos
          ? tr("{1}: {2} is not a curvature digit (1 to 6: 1 the widest curve, 6 the sharpest)",
               {quoted, std::string(1, keyword[digit])})
          : tr("{1} has no curvature digit (1 to 6: 1 the widest curve, 6 the sharpest)", {quoted});
  d->notes.push_back(
      tr("the keyword takes the digit and a 'd' or 's' for the side: 'curvad4' to the right, "
         "'curvas4' to the left"));
}

}  // namespace

void explain_wrong_file(const Problem& p, const ShownSource& line, const ShownSource& train,
                        Diagnostic* d) {
  if (p.code == kNoLineSource) {
    missing_line_source(line, train, d);
  } else if (p.code == kRunTimeFailure && p.source == ProblemSource::kTrainSource &&
             (p.offset == Problem::kNoOffset || train.text().empty()) &&
             !file_exists(train.path())) {
    // Missing, whether the compiler looked for it in the folder or, past the first error, was
    // handed it from memory as the empty text it was read as.
    missing_train_source(line, train, d);
  } else if (p.code == kRunTimeFailure &&
             (p.source == ProblemSource::kLineSource || p.source == ProblemSource::kTrainSource)) {
    const bool in_line = p.source == ProblemSource::kLineSource;
    if (blank((in_line ? line : train).text())) empty_source(in_line ? line : train, in_line, d);
  } else if (p.code == kBadCurve && p.source == ProblemSource::kLineSource) {
    curve_without_curvature(line, p, d);
  }
}

std::optional<int32_t> problem_row_position(const Problem& p, const ShownSource& line,
                                            const ShownSource& train) {
  // Only a row whose first value is a place on the line has a position: not a route length,
  // a repetition distance, a number of cars or the clock.
  if (p.row == nullptr || !placed_on_line(*p.row)) return std::nullopt;
  if (p.row_position) return p.row_position;
  if (p.code != kRunTimeFailure || p.row_offset == Problem::kNoOffset) return std::nullopt;
  const ShownSource* source = p.source == ProblemSource::kLineSource    ? &line
                              : p.source == ProblemSource::kTrainSource ? &train
                                                                        : nullptr;
  if (source == nullptr || p.row_offset >= source->text().size()) return std::nullopt;
  // A keyword field that holds a number after a blank lost its comma: the row's values were
  // read one field on, and the number in it is the row's position as its author wrote it. (Not
  // a curve's: its keyword holds its curvature digit.)
  const std::string keyword = keyword_field(*source, p);
  const size_t after_blank = keyword.find(' ');
  if (p.row->id != RowId::kCurve && after_blank != std::string::npos &&
      keyword.find_first_of("0123456789", after_blank) != std::string::npos) {
    try {
      return FieldReader(keyword.substr(after_blank + 1)).read_i32(p.row->names[0]);
    } catch (const RunTimeFailure&) {
    }
  }
  // The row's keyword field, then its first value, read as the compiler's reader reads them.
  FieldReader in(source->text().substr(p.row_offset, kRowReach));
  try {
    in.read_text();
    if (in.eof()) return std::nullopt;
    return in.read_i32(p.row->names[0]);
  } catch (const RunTimeFailure&) {
    return std::nullopt;
  }
}

std::string reading_failure_text(const ProblemLog& log) {
  if (log.failure_text == nullptr) return log.failure_message;
  std::vector<std::string> v = log.failure_values;
  // The name of the value the reading failed on is the compiler's, marked for the catalogue.
  if (log.failure_named && !v.empty()) v[0] = tr(v[0].c_str());
  // A failure fills in at most three values.
  switch (v.size()) {
    case 0:
      return tr(log.failure_text);
    case 1:
      return tr(log.failure_text, {v[0]});
    case 2:
      return tr(log.failure_text, {v[0], v[1]});
    default:
      return tr(log.failure_text, {v[0], v[1], v[2]});
  }
}

FinalCode final_code(const Compilation& compiled, const ShownSource& line, const ShownSource& train,
                     const std::string& cells_path) {
  FinalCode reported;
  reported.code = compiled.log.error.code;
  reported.position = compiled.log.error.position;
  // The problem behind the code: the last one recorded with it. A code that carries no
  // position of its own shows its row's, or none: the state's would be what an earlier problem
  // left. The compiler's own state keeps what it holds.
  const Problem* problem = nullptr;
  for (const Problem& p : compiled.log.problems) {
    if (p.code == reported.code) problem = &p;
  }
  const bool positioned = problem != nullptr && problem->positioned;
  const std::optional<int32_t> row_position = problem != nullptr && !positioned
                                                  ? problem_row_position(*problem, line, train)
                                                  : std::nullopt;
  if (row_position) reported.position = *row_position;
  const std::string meaning =
      problem != nullptr && (reported.code == kRunTimeFailure || reported.code == kBadCurve)
          ? problem_diagnostic(compiled, *problem, line, train, cells_path).message
          : tr(error_meaning(reported.code));
  // The words name the place of the first problem with the code, where the report's first
  // diagnostic of it stands (a tunnel with no end before a slowdown with none); the machine
  // line keeps the compiler's position, which the installer shows.
  int32_t shown_position = reported.position;
  for (const Problem& p : compiled.log.problems) {
    if (p.code != reported.code) continue;
    if (positioned && p.positioned) shown_position = p.position;
    break;
  }
  // TRANSLATORS: {1} the error code, {2} a position in metres, {3} what the error means.
  const std::string code = std::to_string(reported.code);
  reported.words = positioned     ? tr("error code {1} (position {2} m): {3}",
                                       {code, std::to_string(shown_position), meaning})
                   : row_position ? tr("error code {1} (row at {2} m): {3}",
                                       {code, std::to_string(reported.position), meaning})
                                  : tr("error code {1}: {2}", {code, meaning});
  return reported;
}
