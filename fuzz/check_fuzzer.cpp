// libFuzzer harness for scenario-tool's check: arbitrary bytes as a line source and a train
// source (split at the first NUL byte, as for the compiler's harness), linted and compiled in
// memory, every warning and problem formatted as the tool prints them. Besides no crash and no
// sanitizer report, what the tool prints must stay bounded whatever the sources: each excerpt a
// window around its column with the caret under the very byte of the field, every printed line
// short, and at most the limit of warnings of each kind in full, the rest counted in one line.
// The warnings and the compiler read the same rows, with the line plan or without it: where the
// compiler's reading stopped on a field that is not a number, no warning but a tab's lies further
// on. A repair's edits lie within the source, in rising offsets, none overlapping the one before.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "compiler/error_codes.h"
#include "compiler/scenario_compiler.h"
#include "fuzz/require.h"
#include "tools/analysis/diagnostics.h"
#include "tools/analysis/source_lint.h"
#include "tools/render/diagnostic_output.h"

namespace {

// Small, so that the lines counting what is left out come often.
constexpr size_t kMaxWarnings = 3;

size_t longest_line(const std::string& text, size_t* lines) {
  size_t longest = 0;
  *lines = 0;
  for (size_t at = 0; at < text.size(); ++*lines) {
    const size_t end = std::min(text.find('\n', at), text.size());
    longest = std::max(longest, end - at);
    at = end + 1;
  }
  return longest;
}

bool line_end(char c) {
  return c == '\r' || c == '\n';
}

// What the report shows of each warning's place: a bounded excerpt with the caret under the
// field's first byte, and (for the first few, by a plain scan back to the line's start) the
// column.
void check_places(const std::vector<SourceWarning>& warnings, const ShownSource& source) {
  const std::string& text = source.text();
  size_t scanned = 0;
  for (const SourceWarning& w : warnings) {
    REQUIRE(w.offset <= text.size());
    const Excerpt shown = source.excerpt(w.offset);
    REQUIRE(shown.text.size() <= 2 * kExcerptReach + 6 && shown.caret <= shown.text.size());
    if (w.offset == text.size() || line_end(text[w.offset])) continue;
    REQUIRE(shown.caret < shown.text.size() && shown.text[shown.caret] == text[w.offset]);
    if (scanned++ < 16) {
      size_t start = w.offset;
      while (start > 0 && !line_end(text[start - 1])) --start;
      REQUIRE(source.locate(w.offset).column == int(w.offset - start + 1));
    }
  }
}

void check_fix(const std::optional<Fix>& fix, const std::string& text) {
  if (!fix) return;
  REQUIRE(!fix->edits.empty() && !fix->description.empty());
  size_t end = 0;
  for (const FixEdit& edit : fix->edits) {
    REQUIRE(edit.offset >= end && edit.offset <= text.size() &&
            edit.length <= text.size() - edit.offset);
    end = edit.offset + edit.length;
  }
  REQUIRE(fix->repaired_line.size() <= 4 * (2 * kExcerptReach + 6) + 64);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const ShownSource line("L", input.substr(0, split));
  const ShownSource train("T",
                          split == std::string::npos ? std::string() : input.substr(split + 1));

  // With the line plan or without it, as the input's length has it.
  const bool plan = size % 2 == 0;
  const std::vector<SourceWarning> line_warnings = lint_line_source(line.text(), plan);
  const std::vector<SourceWarning> train_warnings = lint_train_source(train.text());
  std::string report;
  for (const ShownSource* source : {&line, &train}) {
    const std::vector<SourceWarning>& warnings = source == &line ? line_warnings : train_warnings;
    check_places(warnings, *source);
    std::set<std::string> kinds;
    for (const SourceWarning& w : warnings) kinds.insert(w.kind);
    std::string shown;
    each_warning_diagnostic(warnings, *source, kMaxWarnings, [&](Diagnostic&& d) {
      check_fix(d.fix, source->text());
      shown += render_text(d, false);
    });
    // Three lines for each warning shown and two for its repair, one for each kind that had
    // more.
    size_t lines;
    longest_line(shown, &lines);
    REQUIRE(lines <= kinds.size() * (5 * kMaxWarnings + 1));
    report += shown;
  }

  CompileOptions options =
      in_memory_options({"Viterbo_Attigliano", "7545"}, line.text(), train.text());
  options.build_plan = plan;
  Compilation compiled;
  memorizza_percorso(options, &compiled);
  for (const Problem& problem : compiled.log.problems) {
    const Diagnostic d = problem_diagnostic(compiled, problem, line, train, "C");
    check_fix(d.fix, problem.source == ProblemSource::kTrainSource ? train.text() : line.text());
    report += render_text(d, false);
  }
  // The warnings walk the rows as the compiler does: where its reading stopped on a field that
  // is not a number, theirs stopped too, so none lies past that field, but for the tabs, each
  // named at its own place so that one round of repairs mends them all.
  for (const Problem& problem : compiled.log.problems) {
    if (problem.code != kRunTimeFailure || problem.offset == Problem::kNoOffset ||
        compiled.log.failure_message.find("is not a number") == std::string::npos) {
      continue;
    }
    const bool in_line = problem.source == ProblemSource::kLineSource;
    const std::string& text = in_line ? line.text() : train.text();
    size_t end = problem.offset;
    while (end < text.size() && text[end] != ' ' && text[end] != ',' && !line_end(text[end])) ++end;
    for (const SourceWarning& w : in_line ? line_warnings : train_warnings) {
      REQUIRE(w.offset <= end || w.kind == "tab in a field");
    }
  }
  // The longest is a list of the objects around a cell.
  size_t lines;
  REQUIRE(longest_line(report, &lines) <= 2048);
  return 0;
}
