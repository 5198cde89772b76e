#include "tools/show/view.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>

#include "common/file_path.h"
#include "compiler/field_codec.h"
#include "compiler/line_plan.h"
#include "compiler/records.h"
#include "compiler/source_grammar.h"
#include "tools/analysis/source_lint.h"
#include "tools/analysis/timetable.h"
#include "tools/analysis/words.h"
#include "tools/analysis/wrong_files.h"
#include "tools/language/translation.h"
#include "tools/show/view_page.h"

namespace {

using Json = nlohmann::ordered_json;

// One object of the page: its kind, where it lies, what the tooltip says, its source line.
struct Mark {
  std::string kind;
  int64_t metres = 0;
  std::string title;
  std::string info;
  std::string source;  // file name; empty for what the rules placed
  int line = 0;
  Json extra = Json::object();  // further members of its kind
};

Json json_mark(const Mark& m) {
  Json out = {{"kind", m.kind}, {"m", m.metres}, {"title", m.title}, {"info", m.info}};
  if (!m.source.empty()) {
    out["src"] = m.source;
    out["line"] = m.line;
  }
  out.update(m.extra);
  return out;
}

// `data` as the text of a script: dumped on one line, then <, >, & written as \u escapes (no
// "</script>" or "<!--" can end or change the script element) and so are U+2028 and U+2029, which
// end a line in older scripts. Outside strings JSON holds none of them, so a pass over the text is
// enough. A source may hold any bytes: those that are not UTF-8 are written as U+FFFD.
std::string script_json(const Json& data) {
  const std::string text = data.dump(-1, ' ', false, Json::error_handler_t::replace);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '<' || c == '>' || c == '&') {
      out += formatted("\\u%04x", unsigned(c));
    } else if (c == '\xE2' && i + 2 < text.size() && text[i + 1] == '\x80' &&
               (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
      out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::string speed_board_info(const TrackCell& cell) {
  const auto speeds = [](int16_t code) {
    const SpeedCodeSpeeds s = decode_speed_code(code);
    return formatted("%d", s.first_km_h) +
           (s.second_km_h != 0 ? formatted("/%d", s.second_km_h) : "");
  };
  return tr("speeds A {1}, B {2}, C {3} km/h; stripes {4}",
            {speeds(cell.value_a), speeds(cell.value_b), speeds(cell.value_c),
             std::to_string(cell.value_d)});
}

// A curve's title: its side and radius.
std::string curve_title(bool left, int64_t radius) {
  return left ? tr("curve to the left, radius {1} m", {std::to_string(radius)})
              : tr("curve to the right, radius {1} m", {std::to_string(radius)});
}

// The name the page gives the rows of a kind that has a lane or a profile.
const char* page_kind(RowId id) {
  switch (id) {
    case RowId::kGradient:
      return "gradient";
    case RowId::kCurve:
      return "curve";
    case RowId::kTunnel:
      return "tunnel";
    case RowId::kSpeedIndicator:
      return "speed-indicator";
    case RowId::kSignboard:
      return "signboard";
    case RowId::kSpeedLimit:
      return "speed";
    case RowId::kAdhesion:
      return "adhesion";
    case RowId::kSignal:
      return "signal";
    case RowId::kSlowdown:
      return "slowdown";
    case RowId::kRestrictionPoint:
      return "abbattimento";
    case RowId::kStation:
      return "station";
    default:
      return nullptr;
  }
}

// Rows of a source from the line holding `from` on, which a compilation that stopped did not
// read: for each kind, the least position among them, into `out`. The row the reading stopped
// in lies at `stopped_at` when that is known (its fields may not be where its grammar has them).
void unread_rows(const ShownSource& source, const RowIndex& index, size_t from,
                 std::optional<int64_t> stopped_at, Json* out) {
  const size_t column = size_t(source.locate(from).column);
  const size_t first = from >= column - 1 ? from - (column - 1) : 0;
  const IndexedRow* stopped = index.row_at(from);
  if (stopped == nullptr) stopped = index.row_before(from);
  for (const IndexedRow& row : index.rows) {
    const bool at_stop = &row == stopped;
    if (row.keyword_from < first && !at_stop) continue;
    std::optional<int64_t> position = row.position;
    if (at_stop && stopped_at) position = *stopped_at;
    if (!position) continue;
    if (const char* kind = page_kind(row.grammar->id)) {
      if (!out->contains(kind) || (*out)[kind].get<int64_t>() > *position) {
        (*out)[kind] = *position;
      }
    }
  }
}

// The problem the compilation stopped at: the first error of the compiler's (the ones after it
// were found by looking past it); none when it did not stop.
std::optional<size_t> stop_problem(const std::vector<Diagnostic>& problems) {
  for (size_t i = 0; i < problems.size(); ++i) {
    const Diagnostic& d = problems[i];
    if (d.level == Diagnostic::Level::kError && !d.past_first_error && !d.code.empty()) return i;
  }
  return std::nullopt;
}

// The row of source `k` that problem `d` points into, as the analysis's index has it; null when
// it points into no row.
const IndexedRow* problem_row(const Analysis& analysis, const Diagnostic& d, int* k) {
  *k = d.file.empty() ? -1 : analysis.source_index(d.file);
  if (*k < 0 || d.offset == Problem::kNoOffset) return nullptr;
  const RowIndex& index = analysis.rows(*k);
  const IndexedRow* row = index.row_at(d.offset);
  return row != nullptr ? row : index.row_before(d.offset);
}

// The row the compilation stopped in, when the compiler stored nothing of it and its kind has a
// mark: where its values put it (as the analysis's index read them), marked as the error
// `problem`. An end, a length or a speed that did not read leaves that member out.
std::optional<Mark> refused_mark(const Analysis& analysis, const Diagnostic& d, size_t problem) {
  int k = -1;
  const IndexedRow* row = problem_row(analysis, d, &k);
  if (row == nullptr || !row->position) return std::nullopt;
  for (const SourceRow& stored : analysis.compiled.rows) {
    const bool same_source = (stored.source == ProblemSource::kLineSource) == (k == 0);
    if (same_source && stored.offset >= row->keyword_from && stored.offset < row->end) {
      return std::nullopt;
    }
  }
  const RowIndex& index = analysis.rows(k);
  const auto number = [&](size_t n) -> std::optional<int64_t> {
    const IndexedValue* v = index.value(*row, n);
    if (v == nullptr || !v->read()) return std::nullopt;
    return *v->read();
  };
  const ShownSource& source = k == 0 ? analysis.line : analysis.train;
  Mark m;
  m.metres = *row->position;
  m.source = file_name_of(source.path());
  m.line = source.locate(row->keyword_from).line;
  m.info = d.code.empty() ? d.message : tr("error {1}: {2}", {d.code, d.message});
  m.extra = {{"refused", problem}};
  const std::optional<int64_t> second = number(1), third = number(2);
  switch (row->grammar->id) {
    case RowId::kCurve:
      m.kind = "curve";
      m.title = tr("curve");
      if (second) m.extra["to"] = std::max<int64_t>(m.metres, m.metres + *second);
      m.extra["side"] = nullptr;
      // Its side and radius by the compiler's own rule for a keyword.
      if (const double k = curve_curvature(
              source.text().substr(row->keyword_from, row->keyword_to - row->keyword_from))) {
        const char* side = k < 0 ? "left" : "right";
        const int64_t radius = std::llround(1 / std::abs(k));
        m.title = curve_title(k < 0, radius);
        m.extra["side"] = side;
        m.extra["radius"] = radius;
      }
      break;
    case RowId::kTunnel:
      m.kind = "tunnel";
      m.title = tr("tunnel");
      if (second) m.extra["to"] = std::max(m.metres, *second);
      break;
    case RowId::kSlowdown:
      m.kind = "slowdown-start";
      m.title = tr("slowdown");
      if (third) m.extra["to"] = std::max<int64_t>(m.metres, m.metres + *third);
      if (second) m.extra["speed"] = *second;
      break;
    case RowId::kStation: {
      m.kind = "station";
      std::string name;
      for (size_t n = 0; n < row->value_count; ++n) {
        const IndexedValue& v = *index.value(*row, n);
        if (!v.number) name = utf8_from_windows_1252(source.text().substr(v.from, v.to - v.from));
      }
      m.title = tr("station {1}", {name});
      m.extra["name"] = name;
      m.extra["start"] = m.metres;
      m.extra["end"] = m.metres;
      break;
    }
    default:
      if (const char* kind = page_kind(row->grammar->id)) {
        const std::string name = kind;
        if (name == "signal" || name == "signboard" || name == "speed-indicator" ||
            name == "abbattimento") {
          m.kind = name;
          // An 'abbattimento' row is named by its keyword, in every language.
          m.title = name == "speed-indicator" ? tr("speed board")
                    : name == "signal"        ? tr("signal")
                    : name == "signboard"     ? tr("signboard")
                                              : name.c_str();
          break;
        }
      }
      return std::nullopt;
  }
  m.title = tr("{1}, refused by the compiler", {m.title});
  return m;
}

// Where the compilation stopped: the problem `i` (the compiler's first error), its source and
// place; what the sources hold past that place was not read. Null when it did not stop.
Json stop_json(const Analysis& analysis, const std::vector<Diagnostic>& problems,
               std::optional<size_t> stop) {
  const ShownSource& line_source = analysis.line;
  const ShownSource& train_source = analysis.train;
  if (!stop) return nullptr;
  const size_t i = *stop;
  const Diagnostic& d = problems[i];
  const bool line = !d.file.empty() && d.file == line_source.path();
  const bool train = !d.file.empty() && d.file == train_source.path();
  // The train source is read after the line source: a stop in the line source leaves it
  // all unread.
  Json unread = Json::object();
  if (line && d.offset != Problem::kNoOffset) {
    unread_rows(line_source, analysis.rows(0), d.offset, d.metres, &unread);
    unread_rows(train_source, analysis.rows(1), 0, std::nullopt, &unread);
  } else if (train && d.offset != Problem::kNoOffset) {
    unread_rows(train_source, analysis.rows(1), d.offset, d.metres, &unread);
  }
  return {{"problem", i},
          {"source", line    ? "line"
                     : train ? "train"
                             : ""},
          {"m", d.metres ? Json(*d.metres) : Json(nullptr)},
          {"unread", std::move(unread)}};
}

// A problem as the page lists it: in short, the file's name and line, or the cell; an error's
// code before its message; its notes and the places they point at.
Json problem_json(const Diagnostic& d) {
  const std::string file = file_name_of(d.file);
  std::string where = file;
  if (d.line > 0) where += ":" + std::to_string(d.line);
  if (!d.place.empty()) where = d.place;
  const bool error = d.level == Diagnostic::Level::kError;
  Json notes = Json::array();
  for (const std::string& note : d.notes) notes.push_back(note);
  Json note_places = Json::array();
  for (const NotePlace& place : d.note_places) {
    note_places.push_back(
        {{"note", place.note}, {"file", file_name_of(place.file)}, {"line", place.line}});
  }
  return {
      {"level", error ? "error" : "warning"},
      {"where", where.empty() ? std::string(tr("compiled output")) : where},
      {"text", error && !d.code.empty() ? tr("error {1}: {2}", {d.code, d.message}) : d.message},
      {"m", d.metres ? Json(*d.metres) : Json(nullptr)},
      {"code", d.code},
      {"file", file},
      {"line", d.line},
      {"message", d.message},
      {"notes", std::move(notes)},
      {"notePlaces", std::move(note_places)}};
}

// The page's texts for people in the current language: "{{English}}" in its template, t("English")
// in its script, each marked here for the catalogue.
const char* const kPageTexts[] = {
    tr_mark("station, 37+250, metres, file:line, signal 3"),
    tr_mark("find"),
    tr_mark("wheel or +/- zoom, drag or arrows pan, Home shows all; hover or click a mark"),
    tr_mark("Selected"),
    tr_mark("Click a mark on the line."),
    tr_mark("Problems"),
    tr_mark("Timetable"),
    tr_mark("Time and distance"),
    tr_mark("The timetable (stations at their scheduled times, joined) and, from each station, "
            "the least running time at the line speed to the next (dashed): where the timetable "
            "runs left of the dashed line it asks for more than the line speed allows. The "
            "sources give a station one time (whether arrival or departure is the simulator's), "
            "so no dwell is drawn."),
    tr_mark("error"),
    tr_mark("warning"),
    tr_mark("placed by the signal-cell rules"),
    // TRANSLATORS: a signal's number along the line, from 1.
    tr_mark("signal {1}"),
    tr_mark("No line plan (the plan was not built)."),
    // TRANSLATORS: {1} is a place, "12000 m (km 37+250)".
    tr_mark("end of line, {1}"),
    tr_mark("the reading stopped here"),
    // TRANSLATORS: the plan's scale across the line: {1} is a length ("50 m"), {2} a factor.
    tr_mark("{1} across: drawn {2} times larger across the line than along it, so that its "
            "curves show"),
    tr_mark("Stations"),
    tr_mark("Signals"),
    tr_mark("Slowdowns"),
    tr_mark("Curves"),
    tr_mark("Tunnels"),
    tr_mark("Boards"),
    tr_mark("Restrictions"),
    tr_mark("Gradient"),
    tr_mark("per mille"),
    tr_mark("Speed"),
    tr_mark("km/h (line)"),
    tr_mark("Adhesion"),
    tr_mark("end of line"),
    // TRANSLATORS: the curves' lane: right curves above its middle, left ones below.
    tr_mark("R above, L below"),
    // TRANSLATORS: a right curve's label in the curves' lane, {1} its radius.
    tr_mark("R {1}"),
    // TRANSLATORS: a left curve's label in the curves' lane, {1} its radius.
    tr_mark("L {1}"),
    // TRANSLATORS: {1} is the place of the error the reading stopped at ("file.txt:58").
    tr_mark("hatched: not read, the reading stopped at {1}"),
    tr_mark("Not read"),
    tr_mark("note: {1}"),
    tr_mark("error code {1}"),
    // TRANSLATORS: {1} is the compiler's error code, {2} the position it gives.
    tr_mark("error code {1} at {2} m"),
    // TRANSLATORS: followed by the error's file and line, then its message.
    tr_mark("The compilation stopped: error {1} at"),
    tr_mark("The rows after it, and the whole train source, were not read: hatched where they "
            "lie, what is drawn there is not what the sources say."),
    tr_mark("The rows after it were not read: hatched where they lie, what is drawn there is not "
            "what the sources say."),
    tr_mark("Station"),
    tr_mark("Time"),
    tr_mark("From previous"),
    tr_mark("Scheduled"),
    tr_mark("Least at line speed"),
    tr_mark("earlier than the station before"),
    tr_mark("no line speed"),
    tr_mark("the timetable asks for less than the least running time at the line speed"),
    tr_mark("Fewer than two stations: no timetable to draw."),
    // TRANSLATORS: a leg of the timetable: from station {1} to station {2}, {3} metres apart.
    tr_mark("{1} to {2}: {3} m"),
    // TRANSLATORS: {1} is the scheduled running time, h:mm:ss.
    tr_mark("scheduled {1}, no line speed on the way"),
    // TRANSLATORS: {1} is the scheduled running time, {2} the least at the line speed.
    tr_mark("scheduled {1}, least at the line speed {2}"),
    tr_mark("the timetable asks for less than the line speed allows"),
    // TRANSLATORS: the range shown: {1} and {2} are places, "12000 m (km 37+250)".
    tr_mark("showing {1} to {2}"),
    tr_mark("not found"),
};

// `english` with spaces, tabs and line ends run together into one space.
std::string one_line(const std::string& english) {
  std::string out;
  for (char c : english) {
    const bool space = c == ' ' || c == '\n' || c == '\t' || c == '\r';
    if (!space) {
      out += c;
    } else if (!out.empty() && out.back() != ' ') {
      out += ' ';
    }
  }
  return out;
}

// The template's texts: each "{{English}}" as the current language has it, HTML-escaped; in
// English as written.
std::string translated_template(const std::string& page) {
  std::string out;
  size_t at = 0;
  for (size_t open; (open = page.find("{{", at)) != std::string::npos;) {
    const size_t close = page.find("}}", open);
    if (close == std::string::npos) break;
    out += page.substr(at, open - at);
    const std::string english = page.substr(open + 2, close - open - 2);
    const std::string key = one_line(english);
    const char* text = tr(key.c_str());
    if (text == key) {
      out += english;
    } else {
      for (const char* c = text; *c != '\0'; ++c) {
        out += *c == '<' ? "&lt;" : *c == '&' ? "&amp;" : *c == '"' ? "&quot;" : std::string(1, *c);
      }
    }
    at = close + 2;
  }
  return out + page.substr(at);
}

// The page: its template with the title, the language and the data put in their places, each
// once, and its texts in the current language.
std::string filled_page(const ScenarioIdentity& scenario, const Json& data) {
  std::string page = kViewPage;
  const size_t lang_at = page.find("__VIEW_LANG__");
  page.replace(lang_at, 13, current_language() == Language::kItalian ? "it" : "en");
  page = translated_template(page.substr(0, page.find("<script>"))) +
         page.substr(page.find("<script>"));
  const size_t title_at = page.find("__VIEW_TITLE__");
  const size_t data_at = page.find("__VIEW_DATA__");
  std::string title;
  for (char ch : scenario.line_name + " " + scenario.train_number) {
    title += ch == '<' ? "&lt;" : ch == '&' ? "&amp;" : std::string(1, ch);
  }
  return page.substr(0, title_at) + title + page.substr(title_at + 14, data_at - title_at - 14) +
         script_json(data) + page.substr(data_at + 13);
}

// The script's texts that the current language has in its own words, by their English.
Json page_texts() {
  Json texts = Json::object();
  for (const char* english : kPageTexts) {
    const char* text = tr(english);
    if (std::string(text) != english) texts[english] = text;
  }
  return texts;
}

}  // namespace

std::vector<Diagnostic> view_problems(const Analysis& analysis) {
  // As many warnings of each kind as the tool shows, then a count of the rest (with no place).
  std::vector<Diagnostic> problems;
  // Each at its place on the line: its own, else its row's.
  analysis.each_diagnostic(kDefaultMaxWarnings, [&](Diagnostic&& d) {
    d.metres = analysis.place_on_line(d);
    problems.push_back(std::move(d));
  });
  return problems;
}

std::string view_page(const Analysis& analysis, const std::vector<Diagnostic>& problems,
                      const ViewOptions& options) {
  const Compilation& c = analysis.compiled;
  const ShownSource& line_source = analysis.line;
  const ShownSource& train_source = analysis.train;
  const std::string line_file = file_name_of(line_source.path());
  const std::string train_file = file_name_of(train_source.path());
  const ScenarioTable& t = c.records.table;
  const int64_t total = c.records.total_metres;

  // Each station's step from the one before it in the timetable, by its entry, as check judges
  // it: the page shows these, never a reckoning of its own.
  std::vector<std::optional<TimetableStep>> steps(kTableEntries);
  const std::vector<TimetableStation> stations = timetable_stations(c);
  for (size_t i = 1; i < stations.size(); ++i) {
    steps[stations[i].entry] = timetable_step(c.records, stations[i - 1], stations[i]);
  }
  std::vector<Mark> marks;
  std::vector<Mark> out_of_range;
  std::vector<bool> from_a_row(c.records.cells.size(), false);
  // The plan's cursor as the reader moves it over the curves, and the farthest end so far.
  int64_t curve_cursor = 2, curve_end = 0;
  bool curve_seen = false;
  // The rows that have no mark (gradients, speeds, adhesion, chainage), each source's as line and
  // place one after the other: what a search for a source line finds.
  Json unmarked[2] = {Json::array(), Json::array()};
  // The row the compilation stopped in: its marks, when the compiler stored it, are marked as the
  // error; else it is drawn where its values put it.
  const std::optional<size_t> stop = stop_problem(problems);
  int stop_source = -1;
  const IndexedRow* stop_row =
      stop ? problem_row(analysis, problems[*stop], &stop_source) : nullptr;
  std::optional<size_t> stop_marks_from;
  const auto mark_stop_row = [&] {
    if (!stop_marks_from) return;
    for (size_t i = *stop_marks_from; i < marks.size(); ++i) marks[i].extra["error"] = *stop;
    stop_marks_from.reset();
  };
  for (const SourceRow& row : c.rows) {
    mark_stop_row();
    if (stop_row != nullptr && (row.source == ProblemSource::kLineSource) == (stop_source == 0) &&
        row.offset >= stop_row->keyword_from && row.offset < stop_row->end) {
      stop_marks_from = marks.size();
    }
    Mark m;
    m.metres = row.position;
    const bool line = row.source == ProblemSource::kLineSource;
    m.source = line ? line_file : train_file;
    m.line = (line ? line_source : train_source).locate(row.offset).line;
    const auto cell_at = [&c](int32_t index) -> const TrackCell* {
      return index >= 0 && index <= c.records.last_cell() ? &c.records.cells[index] : nullptr;
    };
    if (row.kind == RowKind::kGradient || row.kind == RowKind::kAdhesion ||
        row.kind == RowKind::kSpeedLimit || row.kind == RowKind::kChainage) {
      unmarked[line ? 0 : 1].push_back(m.line);
      unmarked[line ? 0 : 1].push_back(m.metres);
    }
    switch (row.kind) {
      case RowKind::kGradient:
        if (row.a < kLowestGradient || row.a > kHighestGradient) {
          m.kind = "out-of-range";
          m.title =
              tr("gradient {1} per mille does not fit its cell field", {std::to_string(row.a)});
          m.info = tr("stored as {1}", {std::to_string(decode_gradient(encode_gradient(row.a)))});
          out_of_range.push_back(m);
        }
        continue;
      case RowKind::kAdhesion:
        if (row.a < 0 || row.a > 255) {
          m.kind = "out-of-range";
          m.title = tr("adhesion {1} does not fit its cell field", {std::to_string(row.a)});
          m.info = tr("stored as {1}", {std::to_string(decode_adhesion(encode_adhesion(row.a)))});
          out_of_range.push_back(m);
        }
        continue;
      case RowKind::kCurve: {
        // The reader lays a curve from where the plan has got to: a curve that starts inside
        // the one before is laid only from that one's end, and one wholly inside it not at all.
        const int64_t end = int64_t(row.position) + row.a;
        const int64_t from = std::max<int64_t>(curve_cursor, int64_t(row.position) + 1);
        const bool laid = from <= end;
        if (laid) curve_cursor = end + 1;
        const bool overlaps = curve_seen && row.position < curve_end;
        curve_seen = true;
        curve_end = std::max(curve_end, end);
        const int64_t radius = row.b == 0 ? 0 : std::llround(10000.0 / std::abs(double(row.b)));
        const char* side = row.b < 0 ? "left" : "right";
        m.kind = "curve";
        m.title = curve_title(row.b < 0, radius);
        m.info = tr("from {1} m to {2} m ({3} m)",
                    {std::to_string(row.position), std::to_string(end), std::to_string(row.a)});
        m.extra = {{"to", std::max<int64_t>(end, row.position)},
                   {"radius", radius},
                   {"side", side},
                   {"curvature", row.b}};
        if (overlaps) m.extra["overlaps"] = true;
        if (!laid) {
          m.info += "; ";
          m.info += tr("inside the curve before it: the reader lays none of it");
          m.extra["laid"] = nullptr;
        } else if (from > int64_t(row.position) + 1) {
          m.info += "; ";
          m.info += tr("the reader lays it only from {1} m, where the curve before it ends",
                       {std::to_string(from - 1)});
          m.extra["laid"] = from - 1;
        }
        break;
      }
      case RowKind::kSpeedLimit:
      case RowKind::kChainage:
        continue;
      case RowKind::kTunnel:
        m.kind = "tunnel";
        m.title = tr("tunnel, kind {1}", {std::to_string(row.b)});
        m.info = tr("{1} m long, to {2} m",
                    {std::to_string(row.a - row.position), std::to_string(row.a)});
        m.extra = {{"to", std::max(row.a, row.position)}};
        break;
      case RowKind::kSpeedIndicator: {
        m.kind = "speed-indicator";
        m.title = tr("speed board");
        if (const TrackCell* cell = cell_at(row.a)) m.info = speed_board_info(*cell);
        if (row.a >= 0 && size_t(row.a) < from_a_row.size()) from_a_row[row.a] = true;
        break;
      }
      case RowKind::kSignboard:
        m.kind = "signboard";
        m.title = tr("signboard");
        if (row.b >= 1 && row.b < kTableEntries) m.info = utf8_from_windows_1252(t[row.b].text);
        break;
      case RowKind::kSignal: {
        m.kind = "signal";
        m.title = tr("signal");
        if (const TrackCell* cell = cell_at(row.a)) {
          m.info = tr("aspects {1} {2} {3}, code {4}, waiting time {5}",
                      {std::to_string(cell->value_a), std::to_string(cell->value_b),
                       std::to_string(cell->value_c), std::to_string(cell->value_d),
                       std::to_string(cell->signal_time)});
        }
        break;
      }
      case RowKind::kSlowdown: {
        // Its start and end; and, past 1500 m, its warning point 1200 m before.
        const std::string speed =
            tr("{1} km/h over {2} m", {std::to_string(row.a), std::to_string(row.b)});
        Mark start = m;
        start.kind = "slowdown-start";
        start.title = tr("slowdown start");
        start.info = speed;
        start.extra = {{"to", int64_t(row.position) + row.b}, {"speed", row.a}};
        marks.push_back(start);
        Mark end = m;
        end.kind = "slowdown-end";
        end.title = tr("slowdown end");
        end.metres = int64_t(row.position) + row.b;
        end.info = speed;
        marks.push_back(end);
        if (slowdown_warned(row.position)) {
          m.kind = "slowdown-warning";
          m.title = tr("slowdown warning point");
          m.metres = slowdown_warning_position(row.position);
          m.info = speed;
          break;
        }
        continue;
      }
      case RowKind::kRestrictionPoint:
        m.kind = "abbattimento";
        m.title = row.a > 0 ? tr("speed restriction point ('abbattimento')")
                            : tr("'abbattimento' point without restriction");
        m.info = tr("value {1}", {std::to_string(row.a)});
        if (row.b >= 0 && size_t(row.b) < from_a_row.size()) from_a_row[row.b] = true;
        break;
      case RowKind::kStation: {
        if (row.a < 1 || row.a >= kTableEntries) continue;
        const TableEntry& e = t[row.a];
        m.kind = "station";
        m.title = tr("station {1}", {utf8_from_windows_1252(e.text)});
        m.info = tr("kind {1}, from {2} m to {3} m, at {4}",
                    {std::to_string(e.kind), std::to_string(e.start), std::to_string(e.end),
                     clock_text(e.time, ClockStyle::kTimeOfDay)});
        m.extra = {{"name", utf8_from_windows_1252(e.text)},
                   {"entry", row.a},
                   {"start", e.start},
                   {"end", e.end},
                   {"time", e.time}};
        if (const std::optional<TimetableStep>& step = steps[row.a]) {
          m.extra["scheduled"] = step->scheduled;
          m.extra["least"] = step->least ? Json(int64_t(std::ceil(*step->least))) : Json(nullptr);
          m.extra["short"] = step->too_short();
        }
        break;
      }
    }
    marks.push_back(m);
  }
  mark_stop_row();
  if (stop) {
    if (std::optional<Mark> refused = refused_mark(analysis, problems[*stop], *stop)) {
      marks.push_back(std::move(*refused));
    }
  }
  // Speed restriction points the signal-cell rules placed: no source line of their own.
  for (size_t i = 0; i < c.records.cells.size(); ++i) {
    if (c.records.cells[i].type != kCellSpeedRestriction || from_a_row[i]) continue;
    Mark m;
    m.kind = "restriction";
    m.metres = int64_t(i) * kCellMetres;
    m.title = tr("speed restriction point");
    m.info =
        tr("value {1}, cell {2}", {std::to_string(c.records.cells[i].value_a), std::to_string(i)});
    marks.push_back(m);
  }
  std::stable_sort(marks.begin(), marks.end(),
                   [](const Mark& a, const Mark& b) { return a.metres < b.metres; });

  Json data = {{"title", options.scenario.line_name + " " + options.scenario.train_number},
               {"route", t[kRouteEntry].end},
               {"total", total},
               {"errorCode", c.log.error.code},
               {"errorPosition", c.log.error.position}};
  const Chainage chainage = chainage_of_line(t);
  Json references = Json::array();
  for (const Chainage::Reference& r : chainage.references) {
    references.push_back({{"at", r.at}, {"value", r.value}});
  }
  data["chainageDirection"] = chainage.direction;
  data["chainage"] = std::move(references);
  // Shown first, unless asked for another range: from the start to a little past the line's end
  // and past the farthest mark (the margin the cells hold past the end is mostly empty), and the
  // row the compiler refused wherever it lies, up to the line's length once more either side.
  int64_t first_from = 0, farthest = std::clamp<int64_t>(t[kRouteEntry].end, 0, total);
  for (const Mark& m : marks) {
    const int64_t to = m.extra.contains("to") ? m.extra["to"].get<int64_t>() : m.metres;
    const bool refused = m.extra.contains("refused");
    farthest = std::max(farthest, std::min(refused ? 2 * total : total, std::max(m.metres, to)));
    if (refused) first_from = std::min(first_from, std::max(-total, m.metres));
  }
  const int64_t past = std::max<int64_t>(200, (farthest * 3 / 100 + 99) / 100 * 100);
  const int64_t from = std::max<int64_t>(first_from, options.from_metres.value_or(first_from));
  // Only a start given: up to that end, or to the cells' end when it starts past it.
  int64_t to = std::max<int64_t>(1, std::min(farthest + past, std::max(total, farthest)));
  if (options.to_metres) {
    to = std::min<int64_t>(std::max<int64_t>(total, 1), *options.to_metres);
  } else if (options.from_metres && from >= to) {
    to = std::max<int64_t>(total, 1);
  }
  data["range"] = {std::min(from, to), std::max(from + 200, to)};

  // The plan, one point every `step` metres (at most about 100,000 points), in whole
  // decimetres, each the difference from the one before.
  const std::vector<PlanPoint> points = plan_points(c.records.plan);
  const size_t step = std::max<size_t>(1, (points.size() + 99999) / 100000);
  Json xs = Json::array(), ys = Json::array();
  long long px = 0, py = 0;
  for (size_t i = 0; i < points.size(); i += step) {
    const long long x = std::llround(points[i].x * 10), y = std::llround(points[i].y * 10);
    xs.push_back(x - px);
    ys.push_back(y - py);
    px = x;
    py = y;
  }
  data["plan"] = {{"step", step}, {"x", std::move(xs)}, {"y", std::move(ys)}};

  Json gradient = Json::array(), speed = Json::array(), adhesion = Json::array();
  for (const TrackCell& cell : c.records.cells) {
    gradient.push_back(decode_gradient(cell.gradient));
    speed.push_back(decode_speed(cell.speed));
    adhesion.push_back(decode_adhesion(cell.adhesion));
  }
  data["cells"] = {{"gradient", std::move(gradient)},
                   {"speed", std::move(speed)},
                   {"adhesion", std::move(adhesion)}};

  Json mark_list = Json::array(), out_of_range_list = Json::array(), problem_list = Json::array();
  for (const Mark& m : marks) mark_list.push_back(json_mark(m));
  for (const Mark& m : out_of_range) out_of_range_list.push_back(json_mark(m));
  data["stop"] = stop_json(analysis, problems, stop);
  for (const Diagnostic& d : problems) problem_list.push_back(problem_json(d));
  data["marks"] = std::move(mark_list);
  data["rows"] = {{line_file, std::move(unmarked[0])}, {train_file, std::move(unmarked[1])}};
  data["outOfRange"] = std::move(out_of_range_list);
  data["problems"] = std::move(problem_list);
  // The sources by the names the page gives them, for links an editor opens.
  data["files"] = {{line_file, options.line_path}, {train_file, options.train_path}};
  data["editor"] = options.editor_url;
  data["watchScript"] = options.watch_script;
  data["watchStamp"] = options.watch_stamp;
  size_t errors = 0;
  for (const Diagnostic& d : problems) errors += d.level == Diagnostic::Level::kError ? 1 : 0;
  const size_t warnings = problems.size() - errors;
  // TRANSLATORS: the heading of the page's list of problems: {1} "N errors", {2} "N warnings".
  data["problemsTitle"] =
      tr("Problems: {1}, {2}",
         {tr_n("{1} error", "{1} errors", errors, {std::to_string(errors)}),
          tr_n("{1} warning", "{1} warnings", warnings, {std::to_string(warnings)})});
  data["texts"] = page_texts();

  return filled_page(options.scenario, data);
}

std::vector<std::string> view_page_texts() {
  return std::vector<std::string>(std::begin(kPageTexts), std::end(kPageTexts));
}
