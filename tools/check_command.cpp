#include "tools/check_command.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/folder_lock.h"
#include "tools/author_sources.h"
#include "tools/console.h"
#include "tools/exit_status.h"
#include "tools/source_lint.h"
#include "tools/timetable.h"
#include "tools/words.h"
#include "tools/wrong_files.h"

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
// no row. Bounded: at most 30 rounds, for sources of at most 2 MiB.
std::vector<Diagnostic> further_problems(const CheckArguments& a, const Compilation& first,
                                         const ShownSource& line, const ShownSource& train,
                                         const std::string& cells_path) {
  std::vector<Diagnostic> found;
  if (first.log.error.code == 0 || line.text().size() + train.text().size() > (size_t(2) << 20)) {
    return found;
  }
  std::set<std::string> seen;
  for (const Problem& p : first.log.problems) seen.insert(problem_key(p));
  CompileOptions options = in_memory_options(a.common.scenario, line.text(), train.text());
  options.build_plan = !a.no_plan;
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
    bool changed = false;
    for (size_t i = from; i < to; ++i) {
      if (text[i] != ' ') changed = true;
      text[i] = ' ';
    }
    if (!changed) break;
    auto next = std::make_unique<Compilation>();
    memorizza_percorso(options, next.get());
    for (const Problem& p : next->log.problems) {
      if (!seen.insert(problem_key(p)).second) continue;
      Diagnostic d = problem_diagnostic(*next, p, line, train, cells_path);
      d.past_first_error = true;
      d.notes.insert(d.notes.begin(),
                     "past the first error: the compiler stops before this; it is met once the "
                     "rows at fault before it are mended");
      found.push_back(d);
    }
    round = std::move(next);
    previous = round.get();
  }
  return found;
}

// Checks the sources; with `compiling`, compiles them into their files too.
int compile_sources(const CheckArguments& a, const CompileArguments* compiling,
                    bool (*colour_terminal)()) {
  const CommonArguments& common = a.common;
  const bool write = compiling != nullptr;
  // Compiling writes: one run at a time in the folder, whatever its scenario, from before the
  // sources are read until the last file is written, so that the files written are those of
  // the sources read, even with the installer or another compile started in the same folder.
  // A compile ended by a signal takes the lock file and its temporary files with it (under
  // their first names; any other, the next run clears away).
  FolderLock lock;
  if (write) {
    const std::vector<std::string> written = {line_plan_name(common.scenario),
                                              scenario_table_name(common.scenario),
                                              track_cells_name(common.scenario)};
    lock.clean_up_on_signals(first_temporary_paths(common.directory, written));
    const Status locked =
        lock.acquire(path_in(common.directory, lock_file_name()), compiling->wait_milliseconds);
    if (!locked.ok()) return file_fault(locked.message());
    remove_leftover_temporaries(common.directory, written);
  }
  // The sources as they are before the compiler reads them, for the report. Their warnings are
  // kept as the lint gives them: each becomes a diagnostic only when the report is written.
  const ShownSource line = shown_source(common.directory, line_source_name(common.scenario));
  const ShownSource train = shown_source(common.directory, train_source_name(common.scenario));
  const std::vector<SourceWarning> line_warnings = lint_line_source(line.text(), !a.no_plan);
  const std::vector<SourceWarning> train_warnings = lint_train_source(train.text());

  // Compiled in memory first: the files are written only from sources that compile cleanly
  // (or when asked to with --force), so broken sources never replace good compiled files.
  const CompileOptions options = author_options(common, !a.no_plan, line, train);
  Compilation compiled;
  CompileResult result = memorizza_percorso(options, &compiled);
  const int32_t code = compiled.log.error.code;
  // A source that could not be read stops the run before the compiler has a result: it then
  // gives no error code, and the last line says nothing in its name.
  const bool compiler_ran = result.end != CompileEnd::kFileFault;
  // The timetable's warnings read the compiled stations: a compilation too large to keep its
  // rows gives none.
  const std::vector<Diagnostic> timetable = timetable_warnings(compiled, train);
  const bool refused =
      a.werror && (!line_warnings.empty() || !train_warnings.empty() || !timetable.empty());
  bool wrote = false;
  if (write && result.end == CompileEnd::kCompleted && !refused &&
      (code == 0 || compiling->force)) {
    result.status = write_compiled_files(options, compiled.records);
    if (!result.status.ok()) result.end = CompileEnd::kFileFault;
    wrote = result.status.ok();
  }
  const std::string cells_path = path_in(common.directory, track_cells_name(common.scenario));
  const std::vector<Diagnostic> further = further_problems(a, compiled, line, train, cells_path);
  // Every diagnostic in order, made one at a time for `take`: the warnings of each source, the
  // problems the compiler recorded, those past its first error; with --werror, warnings as
  // errors. A million warnings never stand as a million diagnostics at once.
  size_t errors = 0, warnings = 0;
  const auto each_diagnostic = [&](const std::function<void(const Diagnostic&)>& take) {
    const auto give = [&](Diagnostic&& d) {
      if (a.werror) apply_werror(&d);
      ++(d.level == Diagnostic::Level::kError ? errors : warnings);
      take(d);
    };
    each_warning_diagnostic(line_warnings, line, a.max_warnings, give);
    each_warning_diagnostic(train_warnings, train, a.max_warnings, give);
    each_warning_diagnostic(timetable, train.path(), a.max_warnings, give);
    for (const Problem& problem : compiled.log.problems) {
      give(problem_diagnostic(compiled, problem, line, train, cells_path));
    }
    for (const Diagnostic& d : further) give(Diagnostic(d));
  };

  // Results on standard output; diagnostics on standard error, or the whole report as JSON or
  // SARIF on standard output.
  std::string results;
  switch (result.end) {
    case CompileEnd::kIntegrityError:
      results += formatted(
          "Errore n. %d: %s; no compiled file written\n", result.integrity_error,
          result.integrity_error == 1250
              ? "the version slot of table entry 85 or of track cell 1 is already taken"
              : "the checksum slot of table entry 85 or of track cell 1 is already taken");
      break;
    case CompileEnd::kFileFault:
      write_output(Stream::kError, "scenario-tool: " + result.status.message() + "\n");
      break;
    case CompileEnd::kNothingCompiled:
      results += "nothing compiled: no compiled file written\n";
      break;
    case CompileEnd::kCompleted:
      if (wrote) {
        results += "wrote " +
                   (options.build_plan ? line_plan_name(common.scenario) + ", " : std::string()) +
                   scenario_table_name(common.scenario) + ", " + track_cells_name(common.scenario) +
                   " in " + common.directory + "\n";
      } else if (write) {
        results +=
            "no compiled file written: the sources gave " +
            std::string(refused && code == 0 ? "warnings, and --werror refuses them" : "an error") +
            "; the compiled files already in " + common.directory +
            " are kept (compile --force writes what the installer would)\n";
      } else {
        results += "checked in memory: nothing written\n";
      }
      break;
  }
  const FinalCode reported = final_code(compiled, line, train, cells_path);
  if (const std::unique_ptr<DiagnosticDocument> document =
          standard_output_document(a.format, kToolVersion)) {
    each_diagnostic([&document](const Diagnostic& d) { document->add(d); });
    if (result.end == CompileEnd::kFileFault) {
      // The document says what failed, as standard error does.
      Diagnostic fault;
      fault.code = "file";
      fault.message = result.status.message();
      document->add(fault);
    }
    document->finish(compiler_ran ? std::optional<int32_t>(code) : std::nullopt, reported.position);
  } else {
    const bool colour = colour_wanted(a.color, colour_terminal);
    std::string report;
    each_diagnostic([&](const Diagnostic& d) { report += render_text(d, colour); });
    if (errors + warnings > 0) {
      report += formatted("%zu error%s, %zu warning%s\n", errors, errors == 1 ? "" : "s", warnings,
                          warnings == 1 ? "" : "s");
    }
    write_output(Stream::kError, report);
    flush_output(Stream::kError);
    if (result.end == CompileEnd::kIntegrityError) {
      results += formatted("errore=%d\n", result.integrity_error);
    } else if (compiler_ran) {
      results += reported.words + "\n";
      results += formatted("error_code=%d error_position=%d\n", code, reported.position);
    }
    write_output(Stream::kOut, results);
  }
  if (result.end == CompileEnd::kIntegrityError) return kExitIntegrity;
  if (result.end == CompileEnd::kFileFault) return kExitFileFault;
  return code == 0 && !refused ? kExitClean : kExitSourceError;
}

}  // namespace

int check(const CheckArguments& a, bool (*colour_terminal)()) {
  return compile_sources(a, nullptr, colour_terminal);
}

int compile(const CompileArguments& a, bool (*colour_terminal)()) {
  return compile_sources(a.check, &a, colour_terminal);
}
