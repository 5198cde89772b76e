#include "tools/commands/package_command.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/file_system.h"
#include "common/same_folder.h"
#include "common/scenario_payload.h"
#include "tools/analysis/analysis.h"
#include "tools/analysis/diagnostics.h"
#include "tools/analysis/source_lint.h"
#include "tools/analysis/words.h"
#include "tools/analysis/wrong_files.h"
#include "tools/commands/exit_status.h"
#include "tools/language/translation.h"
#include "tools/package/package.h"
#include "tools/render/console.h"
#include "tools/render/diagnostic_output.h"

namespace {

// The shipped installer program for `windows` or Linux: given, or beside this tool, or in the
// build tree's app folder next to the tool's folder.
std::string installer_program(const PackageArguments& a, bool windows) {
  if (!a.installer.empty()) return a.installer;
  const std::string name =
      std::string(kShippedLineName) + "_" + kShippedTrainNumber + (windows ? ".exe" : "");
  std::string tool;
  if (platform_file_system().own_executable_path(&tool)) return name;
  const std::string here = directory_of(tool);
  for (const std::string& candidate :
       {path_in(here, name), path_in(path_in(directory_of(here), "app"), name)}) {
    if (is_regular_file(candidate)) return candidate;
  }
  return path_in(here, name);
}

}  // namespace

int package(const PackageArguments& a, bool (*colour_terminal)()) {
  const CommonArguments& common = a.common;
  if (a.notes.empty() || a.sheet.empty() || a.slowdowns.empty()) {
    return usage_error(tr("package needs --notes FILE, --sheet FILE and --slowdowns FILE"));
  }
  if (a.target != "windows" && a.target != "linux") {
    return usage_error(tr("--target is windows or linux, not {1}", {a.target}));
  }
  const bool windows = a.target == "windows";
  const std::string output = !a.output.empty()
                                 ? a.output
                                 : common.scenario.line_name + "_" + common.scenario.train_number +
                                       (windows ? ".exe" : "");
  // Run in the sources' folder, the installer would write its sources over them, then delete
  // them: it never goes there, however that folder is spelt (".", "..", a link, another case).
  // The output's folder must exist to be told apart, as it must to be written at all.
  bool beside_sources = false;
  const Status compared = same_folder(folder_of(output), common.directory, &beside_sources);
  if (!compared.ok()) return file_fault(tr("cannot make {1}: {2}", {output, compared.message()}));
  if (beside_sources) {
    return usage_error(
        tr("the installer would lie beside the sources it carries, and running it "
           "there would replace and then delete them: give -o a path in another "
           "folder"));
  }

  // Diagnostics on standard error as check and compile give them, results on standard output;
  // or, with --format json or sarif, every diagnostic in one document on standard output, written
  // as it is made, and no results beside it.
  const std::unique_ptr<DiagnosticDocument> document =
      standard_output_document(a.format, kToolVersion);
  const bool colour = colour_wanted(a.color, colour_terminal);
  const auto report = [&document, colour](const Diagnostic& d) {
    if (document) {
      document->add(d);
    } else {
      const std::string text = render_text(d, colour);
      write_output(Stream::kError, text);
    }
  };
  const auto say = [&document](const std::string& result) {
    if (!document) write_output(Stream::kOut, result);
  };
  // The end of the document: the compiler's code and position, when it had the sources.
  std::optional<int32_t> error_code;
  int32_t error_position = 0;
  const auto finish = [&]() {
    if (document) document->finish(error_code, error_position);
  };
  // A file that cannot be read or written ends the run; the document says so too.
  const auto fault = [&](const std::string& message) {
    Diagnostic d;
    d.code = "file";
    d.message = message;
    if (document) document->add(d);
    finish();
    return file_fault(message);
  };

  // Every text in the form the installer writes; a character it cannot hold is refused here.
  ScenarioPayload payload;
  payload.scenario = common.scenario;
  const struct {
    std::string path;
    std::string* written;
  } texts[] = {
      {path_in(common.directory, line_source_name(common.scenario)), &payload.line_source},
      {path_in(common.directory, train_source_name(common.scenario)), &payload.train_source},
      {a.notes, &payload.notes},
      {a.slowdowns, &payload.slowdown_order},
      {a.sheet, &payload.train_sheet}};
  bool refused = false;
  for (const auto& text : texts) {
    std::string bytes;
    const Status read = read_file(text.path, &bytes);
    if (!read.ok()) return fault(read.message());
    Diagnostic problem;
    const std::optional<std::string> written = text_as_written(bytes, text.path, &problem);
    if (!written) {
      report(problem);
      refused = true;
      continue;
    }
    *text.written = *written;
  }
  if (refused) {
    say(std::string(tr("not packaged: a text cannot be written as the installer writes it")) +
        "\n");
    finish();
    return kExitSourceError;
  }

  // The sources as the installer will write them must compile cleanly, and with --werror give
  // no warning: the same analysis as check's, of the texts the installer will carry.
  CompileOptions options =
      in_memory_options(common.scenario, payload.line_source, payload.train_source);
  options.directory = common.directory;
  const std::unique_ptr<Analysis> analysis =
      analyse(std::move(options), ShownSource(texts[0].path, payload.line_source),
              ShownSource(texts[1].path, payload.train_source));
  // With --werror the warnings are reported as the errors they make, as check reports them.
  analysis->each_diagnostic(a.max_warnings, [&](Diagnostic&& d) {
    if (a.werror) apply_werror(&d);
    report(d);
  });
  const CompileResult& result = analysis->result;
  const FinalCode reported = analysis->final_code();
  if (analysis->compiler_ran()) {
    error_code = reported.code;
    error_position = reported.position;
  }
  if (result.end == CompileEnd::kIntegrityError) {
    // TRANSLATORS: "Errore n." is the installer's own word for its errors, as it shows them.
    say(tr("not packaged: Errore n. {1}", {std::to_string(result.integrity_error)}) + "\n" +
        formatted("errore=%d\n", result.integrity_error));
    finish();
    return kExitIntegrity;
  }
  if (reported.code != 0 || result.end != CompileEnd::kCompleted) {
    // TRANSLATORS: {1} is the summary of the error: "error code 6 (position 100 m): ...".
    say(tr("not packaged: the sources gave {1}", {reported.words}) + "\n" +
        formatted("error_code=%d error_position=%d\n", reported.code, reported.position));
    finish();
    return kExitSourceError;
  }
  if (a.werror && analysis->any_warning()) {
    const size_t warnings = analysis->line_warnings.size() + analysis->train_warnings.size() +
                            analysis->timetable.size();
    say(tr_n("not packaged: {1} warning, and --werror makes each an error",
             "not packaged: {1} warnings, and --werror makes each an error", warnings,
             {std::to_string(warnings)}) +
        "\n");
    finish();
    return kExitSourceError;
  }

  std::string installer;
  const std::string program = installer_program(a, windows);
  // Without --installer, the shipped program is looked for beside the tool: say where it goes.
  if (a.installer.empty() && !file_exists(program)) {
    return fault(
        // TRANSLATORS: {1} is the installer program's file name, {2} where it was looked for.
        tr("no installer program to start from: the shipped {1} is not beside scenario-tool "
           "({2}); copy it there, or give --installer PROGRAM",
           {file_name_of(program), program}));
  }
  const Status made = make_installer(program, windows, payload, &installer);
  if (!made.ok()) return fault(made.message());
  const Status written = replace_file(output, installer);
  if (!written.ok()) return fault(written.message());
  if (!windows) {
    const Status executable = make_executable(output);
    if (!executable.ok()) return fault(executable.message());
  }
  // TRANSLATORS: {1} is the installer's path, {2} the line's name, {3} the train's number.
  say((windows ? tr("made {1}: the Windows installer of {2} {3}",
                    {output, common.scenario.line_name, common.scenario.train_number})
               : tr("made {1}: the Linux installer of {2} {3}",
                    {output, common.scenario.line_name, common.scenario.train_number})) +
      "\n");
  finish();
  return kExitClean;
}
