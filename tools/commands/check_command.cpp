#include "tools/commands/check_command.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/folder_lock.h"
#include "tools/analysis/analysis.h"
#include "tools/analysis/source_lint.h"
#include "tools/analysis/timetable.h"
#include "tools/analysis/words.h"
#include "tools/analysis/wrong_files.h"
#include "tools/commands/author_sources.h"
#include "tools/commands/exit_status.h"
#include "tools/commands/source_writer.h"
#include "tools/language/translation.h"
#include "tools/render/console.h"
#include "tools/render/diagnostic_output.h"

namespace {

// --fix: the repairs of both sources, each checked in memory before it is kept.

// One diagnostic of a state of the sources, as a repair is weighed against it: its kind (an
// error's code, a warning's kind), for an error its code and words (which name metres and
// fields, not bytes, so that they compare across repairs that move bytes), and its place.
struct Weighed {
  std::string kind;
  std::string error;  // empty for a warning
  int source;         // 0 the line source, 1 the train source, -1 neither
  int line;
};

// What one state of the two sources gives: its diagnostics, and each source's that carry a fix.
struct SourcesState {
  std::vector<Weighed> diagnostics;
  std::vector<Diagnostic> fixes[2];

  std::multiset<std::string> errors() const {
    std::multiset<std::string> all;
    for (const Weighed& w : diagnostics) {
      if (!w.error.empty()) all.insert(w.error);
    }
    return all;
  }
};

SourcesState check_in_memory(const CheckArguments& a, const std::string (&paths)[2],
                             const std::string (&texts)[2]) {
  SourcesState state;
  CompileOptions options = in_memory_options(a.common.scenario, texts[0], texts[1]);
  options.directory = a.common.directory;
  options.build_plan = !a.no_plan;
  const std::unique_ptr<Analysis> analysis =
      analyse(std::move(options), ShownSource(paths[0], texts[0]), ShownSource(paths[1], texts[1]));
  // Every diagnostic, none left out for the display's limit, and every repeat of the problems
  // past the first error that a report folds into one: each carries its own repair, and --fix
  // mends them all.
  const auto weigh = [&](Diagnostic&& d) {
    const int f = analysis->source_index(d.file);
    state.diagnostics.push_back(
        {d.code, d.level == Diagnostic::Level::kError ? d.code + " " + d.message : "", f, d.line});
    // Only sure repairs: one that is a guess is the author's to make.
    if (f >= 0 && d.fix && d.fix->sure && !d.fix->edits.empty())
      state.fixes[f].push_back(std::move(d));
  };
  analysis->each_diagnostic(0, weigh);
  for (const Diagnostic& d : analysis->repeated) weigh(Diagnostic(d));
  return state;
}

// `text` with the fixes of `fixes` made, all together: sorted by their first edit, those that
// overlap one taken before them left out (in `dropped`: the next round tries them again, when
// their diagnostic is still there). `taken` gets those made.
std::string with_fixes(const std::string& text, std::vector<Diagnostic> fixes,
                       std::vector<Diagnostic>* taken, std::vector<Diagnostic>* dropped) {
  // Each fix by the offset of its first edit.
  std::vector<std::pair<size_t, size_t>> order;
  for (size_t i = 0; i < fixes.size(); ++i) order.emplace_back(fixes[i].fix->edits[0].offset, i);
  std::stable_sort(order.begin(), order.end());
  bool any = false;                      // whether an edit was taken
  size_t last_end = 0, last_length = 0;  // where the last edit taken ends, and its length
  for (const auto& entry : order) {
    Diagnostic& d = fixes[entry.second];
    // Within the text, in rising offsets, each past the one before: two edits touching the
    // same byte, or two insertions at one place, overlap.
    bool fits = true, seen = any;
    size_t end = last_end, length = last_length;
    for (const FixEdit& edit : d.fix->edits) {
      fits = fits && edit.offset <= text.size() && edit.length <= text.size() - edit.offset &&
             (!seen || edit.offset > end || (edit.offset == end && length > 0 && edit.length > 0));
      seen = true;
      end = edit.offset + edit.length;
      length = edit.length;
    }
    if (!fits) {
      dropped->push_back(std::move(d));
      continue;
    }
    any = true;
    last_end = end;
    last_length = length;
    taken->push_back(std::move(d));
  }
  std::vector<const FixEdit*> edits;
  for (const Diagnostic& d : *taken) {
    for (const FixEdit& edit : d.fix->edits) edits.push_back(&edit);
  }
  std::string repaired;
  size_t at = 0;
  for (const FixEdit* edit : edits) {
    repaired.append(text, at, edit->offset - at);
    repaired += edit->replacement;
    at = edit->offset + edit->length;
  }
  return repaired + text.substr(at);
}

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// Applies to the sources in DIR the repairs their diagnostics carry, under the folder's lock
// (held by the caller). A source's repairs are made in memory all together, then the two
// sources are checked in memory: they are kept only when that gives no error the sources did
// not have on a line they touched, and fewer diagnostics there of the kinds they mend;
// otherwise that source keeps its bytes, and the report says why. Repairs may bring to light what a
// stopped reading hid (a comma inserted lets the reading go on to the rows after it): the rounds go
// on while they mend something, however many faults the report would show. A UTF-8 byte order
// mark at the start of a source is taken out with its repairs (the sources are Windows-1252).
// Each source changed is written as a whole, its old bytes first kept beside it under
// backup_name(), written whole and read back before the source is replaced. A source that is a
// symbolic link is never written: the repaired text would replace the link, not the file it
// leads to, which may lie outside the folder and its lock. Each change is reported in `report`;
// `changed` says whether a source was written; false when a file could not be written.
bool fix_sources(const CheckArguments& a, std::string* report, bool* changed) {
  const std::string names[2] = {line_source_name(a.common.scenario),
                                train_source_name(a.common.scenario)};
  std::string paths[2], texts[2], originals[2], backups[2];
  bool open[2];                     // whether the source may be repaired
  bool marked[2] = {false, false};  // whether it starts with a byte order mark
  std::string refusals[2];
  for (int f = 0; f < 2; ++f) {
    paths[f] = path_in(a.common.directory, names[f]);
    open[f] = read_file(paths[f], &texts[f]).ok();
    originals[f] = texts[f];
    if (!open[f]) continue;  // the check after this says why
    marked[f] = texts[f].compare(0, 3, kByteOrderMark) == 0;
    backups[f] = backup_name(a.common.directory, names[f]);
    refusals[f] = rewrite_refusal(a.common.directory, names[f], "--fix");
    if (refusals[f].empty() && marked[f]) texts[f].erase(0, 3);
  }
  SourcesState state = check_in_memory(a, paths, texts);
  // A source that cannot be repaired is named only when it has something to repair.
  for (int f = 0; f < 2; ++f) {
    if (refusals[f].empty()) continue;
    open[f] = false;
    if (!state.fixes[f].empty() || marked[f])
      // TRANSLATORS: {1} is a source's path, {2} why it cannot be written.
      *report += tr("not fixed {1}: {2}", {paths[f], refusals[f]}) + "\n";
  }
  for (int f = 0; f < 2; ++f) {
    if (open[f] && marked[f]) {
      *report += tr("fixed {1}:1: remove the UTF-8 byte order mark (the sources are Windows-1252)",
                    {paths[f]}) +
                 "\n";
    }
  }
  const std::multiset<std::string> first_errors = state.errors();
  // Each round mends at least one fault, and a sure repair adds no line: as many rounds as the
  // sources have lines, and a few more, are a bound no real run meets.
  const size_t most_rounds = size_t(std::count(texts[0].begin(), texts[0].end(), '\n')) +
                             size_t(std::count(texts[1].begin(), texts[1].end(), '\n')) + 10;
  for (size_t round = 0; round < most_rounds; ++round) {
    bool mended = false;
    for (int f = 0; f < 2; ++f) {
      if (!open[f] || state.fixes[f].empty()) continue;
      std::vector<Diagnostic> taken, dropped;
      std::string candidates[2] = {texts[0], texts[1]};
      candidates[f] = with_fixes(texts[f], state.fixes[f], &taken, &dropped);
      SourcesState next = check_in_memory(a, paths, candidates);
      const std::multiset<std::string> next_errors = next.errors();
      std::multiset<std::string> new_errors;
      std::set_difference(next_errors.begin(), next_errors.end(), first_errors.begin(),
                          first_errors.end(), std::inserter(new_errors, new_errors.end()));
      const ShownSource shown(paths[f], texts[f]);
      // A repair is at fault for a new error on a line it touched. One elsewhere was there
      // before, hidden behind a reading that stopped (a comma inserted lets the reading go on):
      // it is not the repair's, and the check after this reports it. The repairs change no line
      // ends, so lines are the same before and after them; one that did would answer for any
      // new error.
      std::set<int> touched;
      bool moves_lines = false;
      for (const Diagnostic& d : taken) {
        for (const FixEdit& edit : d.fix->edits) {
          const std::string gone = texts[f].substr(edit.offset, edit.length);
          moves_lines = moves_lines || gone.find_first_of("\r\n") != std::string::npos ||
                        edit.replacement.find_first_of("\r\n") != std::string::npos;
          touched.insert(shown.locate(edit.offset).line);
        }
      }
      const auto at_repair = [&](const Weighed& w) {
        return w.source == f && (moves_lines || touched.count(w.line) > 0);
      };
      for (auto e = new_errors.begin(); e != new_errors.end();) {
        bool at_a_repair = moves_lines;
        for (const Weighed& w : next.diagnostics) at_a_repair |= w.error == *e && at_repair(w);
        e = at_a_repair ? std::next(e) : new_errors.erase(e);
      }
      // What the repairs mend must lessen on the lines they touched.
      std::set<std::string> kinds;
      for (const Diagnostic& d : taken) kinds.insert(d.code);
      const auto count_mended = [&](const SourcesState& of) {
        size_t count = 0;
        for (const Weighed& w : of.diagnostics) count += kinds.count(w.kind) > 0 && at_repair(w);
        return count;
      };
      const size_t before = count_mended(state), after = count_mended(next);
      const auto place = [&shown](const Diagnostic& d) {
        return shown.path() + ":" + std::to_string(shown.locate(d.fix->edits.front().offset).line);
      };
      if (!new_errors.empty() || after >= before) {
        *report += (!new_errors.empty()
                        // TRANSLATORS: {2} is an error's code and message: "6 the position ...".
                        ? tr("not fixed {1}: with its repairs it would give an error it did not: "
                             "error {2}; it is left as it is",
                             {paths[f], *new_errors.begin()})
                        : tr("not fixed {1}: its repairs would not lessen what they mend; it is "
                             "left as it is",
                             {paths[f]})) +
                   "\n";
        open[f] = false;
        continue;
      }
      for (const Diagnostic& d : dropped) {
        // TRANSLATORS: {1} is a place, "path:line"; {2} what the repair does.
        *report += tr("put off {1}: {2} (it overlaps a repair made there; tried again after it)",
                      {place(d), d.fix->description}) +
                   "\n";
      }
      for (const Diagnostic& d : taken)
        *report += tr("fixed {1}: {2}", {place(d), d.fix->description}) + "\n";
      texts[f] = candidates[f];
      state = std::move(next);
      mended = true;
    }
    if (!mended) break;
  }
  for (int f = 0; f < 2; ++f) {
    if (texts[f] == originals[f]) continue;
    const Status written =
        rewrite_source(a.common.directory, names[f], backups[f], originals[f], texts[f]);
    if (!written.ok()) {
      write_output(Stream::kError, "scenario-tool: " + written.message() + "\n");
      return false;
    }
    *report += tr("wrote {1}; its old bytes are in {2}", {paths[f], backups[f]}) + "\n";
    *changed = true;
  }
  return true;
}

// Checks the sources; with `compiling`, compiles them into their files too.
// `fixed`: check --fix wrote repaired sources before this.
int compile_sources(const CheckArguments& a, const CompileArguments* compiling,
                    bool (*colour_terminal)(), bool fixed = false) {
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
    const Status locked =
        lock.hold_for_writing(common.directory, written, compiling->wait_milliseconds);
    if (!locked.ok()) return file_fault(locked.message());
  }
  // The sources as they are before the compiler reads them, for the report.
  ShownSource line = shown_source(common.directory, line_source_name(common.scenario));
  ShownSource train = shown_source(common.directory, train_source_name(common.scenario));
  // Compiled in memory first: the files are written only from sources that compile cleanly
  // (or when asked to with --force), so broken sources never replace good compiled files.
  const CompileOptions options = author_options(common, !a.no_plan, line, train);
  const std::unique_ptr<Analysis> analysis = analyse(options, std::move(line), std::move(train));
  const Compilation& compiled = analysis->compiled;
  CompileResult result = analysis->result;
  const int32_t code = compiled.log.error.code;
  // A source that could not be read stops the run before the compiler has a result: it then
  // gives no error code, and the last line says nothing in its name.
  const bool compiler_ran = analysis->compiler_ran();
  const bool refused = a.werror && analysis->any_warning();
  bool wrote = false;
  if (write && result.end == CompileEnd::kCompleted && !refused &&
      (code == 0 || compiling->force)) {
    result.status = write_compiled_files(options, compiled.records);
    if (!result.status.ok()) result.end = CompileEnd::kFileFault;
    wrote = result.status.ok();
  }
  // Every diagnostic in order, made one at a time for `take`; with --werror, warnings as errors.
  size_t errors = 0, warnings = 0;
  const auto each_diagnostic = [&](const std::function<void(const Diagnostic&)>& take) {
    analysis->each_diagnostic(a.max_warnings, [&](Diagnostic&& d) {
      if (a.werror) apply_werror(&d);
      ++(d.level == Diagnostic::Level::kError ? errors : warnings);
      take(d);
    });
  };

  // Results on standard output; diagnostics on standard error, or the whole report as JSON or
  // SARIF on standard output.
  const FinalCode reported = analysis->final_code();
  std::string results;
  switch (result.end) {
    case CompileEnd::kIntegrityError:
      // TRANSLATORS: {1} is what the integrity error says: "Errore n. 1250: ...".
      results += tr("{1}; no compiled file written", {reported.words}) + "\n";
      break;
    case CompileEnd::kFileFault:
      write_output(Stream::kError, "scenario-tool: " + result.status.message() + "\n");
      break;
    case CompileEnd::kNothingCompiled:
      results += std::string(tr("nothing compiled: no compiled file written")) + "\n";
      break;
    case CompileEnd::kCompleted:
      if (wrote) {
        results +=
            // TRANSLATORS: {1} is the compiled files' names, "a.dat, b.sim, c.dat"; {2} a folder.
            tr("wrote {1} in {2}",
               {(options.build_plan ? line_plan_name(common.scenario) + ", " : std::string()) +
                    scenario_table_name(common.scenario) + ", " + track_cells_name(common.scenario),
                common.directory}) +
            "\n";
      } else if (write) {
        results += (refused && code == 0
                        // TRANSLATORS: {1} is a folder.
                        ? tr("no compiled file written: the sources gave warnings, and --werror "
                             "refuses them; the compiled files already in {1} are kept (compile "
                             "--force writes what the installer would)",
                             {common.directory})
                        : tr("no compiled file written: the sources gave an error; the compiled "
                             "files already in {1} are kept (compile --force writes what the "
                             "installer would)",
                             {common.directory})) +
                   "\n";
      } else {
        results += std::string(fixed ? tr("checked the repaired sources in memory: nothing "
                                          "else written")
                                     : tr("checked in memory: nothing written")) +
                   "\n";
      }
      break;
  }
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
    document->finish(compiler_ran ? std::optional<int32_t>(reported.code) : std::nullopt,
                     reported.position);
  } else {
    const bool colour = colour_wanted(a.color, colour_terminal);
    std::string report;
    each_diagnostic([&](const Diagnostic& d) { report += render_text(d, colour); });
    if (errors + warnings > 0) {
      // TRANSLATORS: the summary under the diagnostics: {1} is "2 errors", {2} "1 warning".
      report += tr("{1}, {2}",
                   {tr_n("{1} error", "{1} errors", errors, {std::to_string(errors)}),
                    tr_n("{1} warning", "{1} warnings", warnings, {std::to_string(warnings)})}) +
                "\n";
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
  if (!a.fix) return compile_sources(a, nullptr, colour_terminal);
  // --fix writes the sources: one run at a time in the folder, as compile, from before they are
  // read until they are checked as repaired.
  // The backups' names as they are before the lock is held: the run that held it before this
  // one may take them, and then this one's backups have the next names, whose temporary files a
  // signal does not take away (a later run clears those).
  const std::vector<std::string> written =
      rewritten_files(a.common.directory,
                      {line_source_name(a.common.scenario), train_source_name(a.common.scenario)});
  FolderLock lock;
  const Status locked = lock.hold_for_writing(a.common.directory, written, kLockWaitMilliseconds);
  if (!locked.ok()) return file_fault(locked.message());
  std::string report;
  bool changed = false;
  const bool wrote = fix_sources(a, &report, &changed);
  // The changes are results, on standard output, unless it holds a JSON or SARIF document.
  write_output(a.format == "text" ? Stream::kOut : Stream::kError, report);
  flush_output(a.format == "text" ? Stream::kOut : Stream::kError);
  if (!wrote) return kExitFileFault;
  return compile_sources(a, nullptr, colour_terminal, changed);
}

int compile(const CompileArguments& a, bool (*colour_terminal)()) {
  return compile_sources(a.check, &a, colour_terminal);
}
