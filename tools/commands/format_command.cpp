#include "tools/commands/format_command.h"

#include "common/file_io.h"
#include "common/file_path.h"
#include "compiler/scenario_compiler.h"
#include "tools/commands/exit_status.h"
#include "tools/commands/source_writer.h"
#include "tools/language/translation.h"
#include "tools/recover/source_layout.h"
#include "tools/render/console.h"

int format(const FormatArguments& a) {
  const std::string& directory = a.common.directory;
  const std::string names[2] = {line_source_name(a.common.scenario),
                                train_source_name(a.common.scenario)};
  // Rewriting the sources: one run at a time in the folder, as check --fix, from before they
  // are read until they are written. --check only reads them.
  FolderLock lock;
  if (!a.check) {
    const Status locked = lock.hold_for_writing(
        directory, rewritten_files(directory, {names[0], names[1]}), kLockWaitMilliseconds);
    if (!locked.ok()) return file_fault(locked.message());
  }
  std::string paths[2], texts[2];
  for (int f = 0; f < 2; ++f) {
    paths[f] = path_in(directory, names[f]);
    const Status read = read_file(paths[f], &texts[f]);
    if (!read.ok()) return file_fault(read.message() + tr("; nothing formatted"));
  }
  const FormattedSources formatted = format_sources(a.common.scenario, texts[0], texts[1]);
  if (!formatted.same_compilation) {
    return file_fault(
        tr("laid out, the sources would compile to other bytes; nothing formatted (this is the "
           "tool's fault: please report it with the sources)"));
  }
  const FormattedSource* results[2] = {&formatted.line, &formatted.train};
  std::string report, problems;
  bool stopped = false, changed = false, unwritten = false;
  for (int f = 0; f < 2; ++f) {
    const FormattedSource& result = *results[f];
    if (result.stopped_line != 0) {
      stopped = true;
      // TRANSLATORS: {1} is why the reading stops ("error 1203: ...").
      problems += paths[f] + ":" + std::to_string(result.stopped_line) + ": " +
                  tr("formatted only up to this line: the reading stops at its row ({1}); from "
                     "here on the source is left as it was",
                     {result.stopped_why}) +
                  "\n";
    }
    if (!result.changed) {
      if (!a.check && result.stopped_line == 0)
        report += tr("{1}: formatted already", {paths[f]}) + "\n";
      continue;
    }
    changed = true;
    if (a.check) {
      report += tr("would format {1}", {paths[f]}) + "\n";
      continue;
    }
    const std::string refusal = rewrite_refusal(directory, names[f], "format");
    if (!refusal.empty()) {
      problems += tr("not formatted {1}: {2}", {paths[f], refusal}) + "\n";
      unwritten = true;
      continue;
    }
    const std::string backup = backup_name(directory, names[f]);
    const Status written = rewrite_source(directory, names[f], backup, texts[f], result.text);
    if (!written.ok()) {
      problems += "scenario-tool: " + written.message() + "\n";
      unwritten = true;
      continue;
    }
    report += tr("formatted {1}; its old bytes are in {2}", {paths[f], backup}) + "\n";
  }
  write_output(Stream::kOut, report);
  flush_output(Stream::kOut);
  write_output(Stream::kError, problems);
  if (unwritten) return kExitFileFault;
  if (a.check && changed) return kExitUnformatted;
  return stopped ? kExitSourceError : kExitClean;
}
