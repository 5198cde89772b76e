#include "tools/commands/view_command.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/file_io.h"
#include "common/file_path.h"
#include "tools/analysis/words.h"
#include "tools/commands/author_sources.h"
#include "tools/commands/exit_status.h"
#include "tools/language/translation.h"
#include "tools/render/console.h"
#include "tools/render/diagnostic_output.h"
#include "tools/show/plot.h"
#include "tools/show/view.h"

namespace {

// `path` made absolute against the working folder, as a URL path: its file URI's path, '/'
// first (a drive letter follows a '/'), %-escaped so that no name can end or change the link it
// is put in.
std::string url_path(const std::string& path) {
  const std::string uri = file_uri(absolute_path(path));
  return uri.rfind("file://", 0) == 0 ? uri.substr(7) : "/" + uri;
}

// Builds the route view of the sources in DIR into the page given with -o; with a stamp, for a
// page that 'view --watch' keeps up to date. The problems the page lists go to standard error
// as check gives them, uncoloured.
Status write_view(const ViewArguments& view, const std::string& stamp) {
  const PlotArguments& a = view.page;
  ShownSource line = shown_source(a.common.directory, line_source_name(a.common.scenario));
  ShownSource train = shown_source(a.common.directory, train_source_name(a.common.scenario));
  const CompileOptions compile_options = author_options(a.common, !view.no_plan, line, train);
  std::unique_ptr<Analysis> analysis = analyse(compile_options, std::move(line), std::move(train));
  const CompileResult& result = analysis->result;
  std::vector<Diagnostic> problems;
  if (result.end == CompileEnd::kFileFault) {
    // A page made once fails with its source. A watched one shows why it has nothing to show,
    // and is made again once the source is mended.
    if (stamp.empty()) return result.status;
    analysis->compiled = Compilation();
    Diagnostic unread;
    // TRANSLATORS: the place of a problem that is in no file and no cell: the sources as a whole.
    unread.place = tr("sources");
    unread.message = result.status.message();
    problems.push_back(unread);
  } else {
    problems = view_problems(*analysis);
  }
  const Compilation& compiled = analysis->compiled;
  const ShownSource& line_shown = analysis->line;
  const ShownSource& train_shown = analysis->train;
  ViewOptions options;
  options.scenario = a.common.scenario;
  options.line_path = url_path(line_shown.path());
  options.train_path = url_path(train_shown.path());
  if (!view.editor_url.empty()) options.editor_url = view.editor_url;
  const Chainage chainage = chainage_of_line(compiled.records.table);
  const auto metres_of = [&chainage](std::optional<int64_t> value) -> std::optional<int64_t> {
    if (!value || chainage.references.empty()) return value;
    return chainage.metres_at(*value);
  };
  options.from_metres = metres_of(a.from_chainage);
  options.to_metres = metres_of(a.to_chainage);
  if (options.from_metres && options.to_metres && *options.from_metres > *options.to_metres) {
    std::swap(options.from_metres, options.to_metres);
  }
  if (!stamp.empty()) {
    options.watch_script = file_name_of(a.output) + ".stamp.js";
    options.watch_stamp = stamp;
  }
  const Status written = replace_file(a.output, view_page(*analysis, problems, options));
  if (!written.ok()) return written;
  size_t errors = 0;
  std::string report;
  for (const Diagnostic& d : problems) {
    if (d.level == Diagnostic::Level::kError) ++errors;
    report += render_text(d, false);
  }
  write_output(Stream::kError, report);
  flush_output(Stream::kError);
  const size_t warnings = problems.size() - errors;
  // TRANSLATORS: {1} is the page's file, {2} "N errors", {3} "N warnings".
  std::string said =
      tr("wrote {1}: {2}, {3}",
         {a.output, tr_n("{1} error", "{1} errors", errors, {std::to_string(errors)}),
          tr_n("{1} warning", "{1} warnings", warnings, {std::to_string(warnings)})});
  if (result.end == CompileEnd::kFileFault) {
    said += tr("; the sources could not be read");
    said += "\n";
  } else if (result.end == CompileEnd::kIntegrityError) {
    said += formatted("; errore=%d\n", result.integrity_error);
  } else {
    const FinalCode reported = analysis->final_code();
    said += formatted("; error_code=%d error_position=%d\n", reported.code, reported.position);
  }
  write_output(Stream::kOut, said);
  flush_output(Stream::kOut);
  return Status::Ok();
}

// What 'view --watch' compares to tell that a source changed: each source's bytes, or why it
// cannot be read (deleted, a FIFO, grown past the limit), so that a source that becomes
// unreadable, and one mended again, both make the page again.
std::string sources_state(const CommonArguments& a) {
  std::string state;
  for (const std::string& name : {line_source_name(a.scenario), train_source_name(a.scenario)}) {
    std::string text;
    const Status read = read_file(path_in(a.directory, name), &text);
    state += read.ok() ? "+" + text : "-" + read.message();
    state += '\0';
  }
  return state;
}

}  // namespace

int view(const ViewArguments& view) {
  const PlotArguments& a = view.page;
  if (a.output.empty()) return usage_error(tr("view needs -o FILE.html"));
  if (!view.watch) {
    const Status status = write_view(view, "");
    return status.ok() ? kExitClean : file_fault(status.message());
  }
  // Watching: the page again, and its stamp beside it, each time a source changes; the page
  // polls the stamp and reloads itself, keeping its place.
  const std::string stamp_path = a.output + ".stamp.js";
  for (long build = 1;; ++build) {
    const std::string seen = sources_state(a.common);
    const std::string stamp = std::to_string(build);
    Status status = write_view(view, stamp);
    if (status.ok()) {
      status = replace_file(stamp_path,
                            "window.__viewStamp && window.__viewStamp(\"" + stamp + "\");\n");
    }
    // A page that cannot be written at all ends the watch; one that fails later (a full disk, a
    // folder made read-only) is said, and tried again at the next change.
    if (!status.ok() && build == 1) return file_fault(status.message());
    if (!status.ok()) write_output(Stream::kError, "scenario-tool: " + status.message() + "\n");
    write_output(Stream::kOut,
                 tr("watching {1} for changes (Ctrl+C ends)", {a.common.directory}) + "\n");
    flush_output(Stream::kOut);
    do {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    } while (sources_state(a.common) == seen);
  }
}
