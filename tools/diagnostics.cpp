#include "tools/diagnostics.h"

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

// The source line holding `offset`, and a caret under the offset's column.
std::string source_excerpt(const std::string& text, size_t offset) {
  size_t start = offset;
  while (start > 0 && text[start - 1] != '\n' && text[start - 1] != '\r') --start;
  size_t end = offset;
  while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
  const std::string line = text.substr(start, end - start);
  std::string caret;
  for (size_t i = start; i < offset; ++i) caret.push_back(text[i] == '\t' ? '\t' : ' ');
  return "    " + utf8_from_windows_1252(line) + "\n    " + caret + "^\n";
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

LineAndColumn locate(const std::string& text, size_t offset) {
  LineAndColumn at = {1, 1};
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' && i + 1 < offset) ++i;
      ++at.line;
      at.column = 1;
    } else {
      ++at.column;
    }
  }
  return at;
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
      return c.failure_message.empty() ? error_meaning(p.code)
                                       : "the reading stopped: " + c.failure_message;
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
  if (problem.offset == Problem::kNoOffset || problem.offset > source->text.size()) {
    return source->path + ": " + what + "\n";
  }
  const LineAndColumn at = locate(source->text, problem.offset);
  return source->path + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " +
         what + "\n" + source_excerpt(source->text, problem.offset);
}

std::string format_warning(const SourceWarning& warning, const ShownSource& source) {
  const LineAndColumn at = locate(source.text, warning.offset);
  return source.path + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) +
         ": warning: " + utf8_from_windows_1252(warning.message) + "\n" +
         source_excerpt(source.text, warning.offset);
}
