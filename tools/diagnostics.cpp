#include "tools/diagnostics.h"

#include <algorithm>
#include <map>
#include <utility>

#include "compiler/error_codes.h"
#include "compiler/keywords.h"
#include "tools/words.h"

namespace {

// What stands in cell `cell` when the compilation ended, in words.
std::string occupant(const ScenarioCompiler& compiler, int32_t cell) {
  if (cell < 0 || cell > compiler.last_cell()) return "another object";
  return cell_type_name(compiler.cells[cell].type) + " (cell " + std::to_string(cell) + ")";
}

std::string same_cell(const std::string& what, const Problem& p, const std::string& met) {
  return "two objects in the same 50 m cell: " + what + " at " + std::to_string(p.position) +
         " m meets " + met + "; move one of them by 50 m or more";
}

// The excerpt of the line holding `offset`, and a caret under the offset's column.
std::string excerpt_lines(const ShownSource& source, size_t offset) {
  const Excerpt shown = source.excerpt(offset);
  std::string caret;
  for (size_t i = 0; i < shown.caret; ++i) caret.push_back(shown.text[i] == '\t' ? '\t' : ' ');
  return "    " + utf8_from_windows_1252(shown.text) + "\n    " + caret + "^\n";
}

std::string at_position(const ScenarioCompiler& compiler, const Problem& problem) {
  if (!problem.positioned) return "";
  std::string text = ", at " + std::to_string(problem.position) + " m";
  const std::string chainage = chainage_text(compiler.table, problem.position);
  if (!chainage.empty()) text += " (" + chainage + ")";
  return text;
}

// The objects in the cells around `cell`, for a problem that has no source line.
std::string cells_around(const ScenarioCompiler& compiler, int32_t cell) {
  std::string text;
  for (int32_t i = std::max(0, cell - 20); i <= std::min(compiler.last_cell(), cell + 12); ++i) {
    if (compiler.cells[i].type == kCellEmpty) continue;
    text += (text.empty() ? "" : ", ") + std::to_string(i) + " " +
            cell_type_name(compiler.cells[i].type);
  }
  return "    cells around " + std::to_string(cell) + ": " + (text.empty() ? "all empty" : text) +
         "\n";
}

}  // namespace

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
  if (from > start) shown.text = "...";
  shown.caret = shown.text.size() + (at - from);
  shown.text.append(text_, from, to - from);
  if (to < end) shown.text += "...";
  return shown;
}

LineAndColumn locate(const std::string& text, size_t offset) {
  return ShownSource("", text).locate(offset);
}

std::string problem_meaning(const ScenarioCompiler& c, const Problem& p) {
  // A store refused a cell that already held something: say what met what.
  static const struct {
    int32_t code;
    const char* what;
  } kRefusals[] = {
      {kSignboardCellTaken, "signboard"},
      {kRestrictionCellTaken, "'abbattimento' point"},
      {kSignalCellTaken, "signal"},
      {kWarningCellTaken, "the warning point (1200 m before) of the slowdown"},
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
        return "the slowdown starting in this cell has no end before the last cell";
      }
      // A tunnel is placed by its start; when only its end falls past the cells, say so.
      if (p.source == ProblemSource::kLineSource && c.tunnel_count > 0 &&
          c.tunnel_starts[c.tunnel_count] == p.position &&
          (double(p.position) + 100) / 50 <= c.last_cell()) {
        return "the tunnel starting at " + std::to_string(p.position) + " m ends at " +
               std::to_string(c.tunnel_ends[c.tunnel_count]) +
               " m, beyond the track cells, which cover 0 to " +
               std::to_string(c.last_cell() * 50) + " m for a route of " +
               std::to_string(c.table[kRouteEntry].end) + " m";
      }
      return "position " + std::to_string(p.position) + " m lies beyond the track cells, which " +
             "cover 0 to " + std::to_string(c.last_cell() * 50) + " m for a route of " +
             std::to_string(c.table[kRouteEntry].end) +
             " m (with what it needs before or after it)";
    case kRunTimeFailure:
      // The message may quote a whole field of the source: its middle is left out.
      return c.failure_message.empty()
                 ? error_meaning(p.code)
                 : "the reading stopped: " + printable(elided(c.failure_message, 160, 40));
    default:
      return error_meaning(p.code);
  }
}

std::string format_problem(const ScenarioCompiler& compiler, const Problem& problem,
                           const ShownSource& line_source, const ShownSource& train_source,
                           const std::string& cells_path) {
  const std::string what = "error " + std::to_string(problem.code) + ": " +
                           problem_meaning(compiler, problem) + at_position(compiler, problem);
  if (problem.source == ProblemSource::kTrackCells) {
    return cells_path + ": cell " + std::to_string(problem.cell) + ": " + what + "\n" +
           cells_around(compiler, problem.cell);
  }
  const ShownSource* source = problem.source == ProblemSource::kLineSource    ? &line_source
                              : problem.source == ProblemSource::kTrainSource ? &train_source
                                                                              : nullptr;
  if (source == nullptr) return what + "\n";
  if (problem.offset == Problem::kNoOffset || problem.offset > source->text().size()) {
    return source->path() + ": " + what + "\n";
  }
  const LineAndColumn at = source->locate(problem.offset);
  return source->path() + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " +
         what + "\n" + excerpt_lines(*source, problem.offset);
}

std::string format_warning(const SourceWarning& warning, const ShownSource& source) {
  const LineAndColumn at = source.locate(warning.offset);
  return source.path() + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) +
         ": warning: " + utf8_from_windows_1252(warning.message) + "\n" +
         excerpt_lines(source, warning.offset);
}

std::string format_warnings(const std::vector<SourceWarning>& warnings, const ShownSource& source,
                            size_t max_per_kind) {
  // Each kind with its count, in the order of their first warning.
  std::vector<std::pair<const std::string*, size_t>> kinds;
  std::map<std::string, size_t> kind_index;
  std::string out;
  for (const SourceWarning& warning : warnings) {
    const auto found = kind_index.emplace(warning.kind, kinds.size());
    if (found.second) kinds.emplace_back(&found.first->first, 0);
    const size_t count = ++kinds[found.first->second].second;
    if (max_per_kind == 0 || count <= max_per_kind) out += format_warning(warning, source);
  }
  for (const auto& kind : kinds) {
    if (max_per_kind == 0 || kind.second <= max_per_kind) continue;
    out += source.path() + ": warning: " + std::to_string(kind.second - max_per_kind) +
           " more warnings of the kind '" + *kind.first + "' not shown (--max-warnings " +
           std::to_string(max_per_kind) + " shows " + std::to_string(max_per_kind) +
           " of each kind, 0 shows all)\n";
  }
  return out;
}
