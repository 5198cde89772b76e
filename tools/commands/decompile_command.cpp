#include "tools/commands/decompile_command.h"

#include "common/file_io.h"
#include "common/file_path.h"
#include "compiler/scenario_compiler.h"
#include "tools/commands/exit_status.h"
#include "tools/commands/extract_command.h"
#include "tools/language/translation.h"
#include "tools/recover/decompile.h"
#include "tools/render/console.h"

namespace {

// The compiled files of `scenario` in `directory`, as bytes; the line plan only when there.
Status read_compiled_bytes(const std::string& directory, const ScenarioIdentity& scenario,
                           CompiledBytes* files) {
  Status status = read_file(path_in(directory, scenario_table_name(scenario)), &files->table);
  if (status.ok())
    status = read_file(path_in(directory, track_cells_name(scenario)), &files->cells);
  const std::string plan = path_in(directory, line_plan_name(scenario));
  files->has_plan = status.ok() && file_exists(plan);
  if (files->has_plan) status = read_file(plan, &files->plan);
  return status;
}

}  // namespace

int decompile(const DecompileArguments& a) {
  if (a.output.empty()) return usage_error(tr("decompile needs -o OUT, the folder to write into"));
  const std::string refused = folder_to_write_refusal(a.output);
  if (!refused.empty()) return usage_error(refused);
  const ScenarioIdentity& scenario = a.common.scenario;
  CompiledBytes files;
  const Status status = read_compiled_bytes(a.common.directory, scenario, &files);
  if (!status.ok()) return file_fault(status.message());
  const Decompiled result = decompile_scenario(files, scenario);
  if (!result.read) return file_fault(result.refused + tr("; nothing written"));
  const int written = write_scenario_texts(a.output,
                                           {{line_source_name(scenario), result.line_source},
                                            {train_source_name(scenario), result.train_source}},
                                           a.force);
  if (written != kExitClean) return written;
  if (!files.has_plan) {
    write_output(Stream::kOut,
                 tr("no line plan {1} (compiled with --no-plan): the curves cannot be known, the "
                    "[curve] section is left empty; compile the sources with --no-plan",
                    {line_plan_name(scenario)}) +
                     "\n");
  }
  if (result.exact) {
    write_output(
        Stream::kOut,
        std::string(files.has_plan ? tr("checked: the sources compile to the same three files, "
                                        "byte for byte")
                                   : tr("checked: the sources compile to the same two files, byte "
                                        "for byte")) +
            "\n");
    return kExitClean;
  }
  std::string report = "scenario-tool: " +
                       std::string(tr("no source that this tool writes gives these files back; "
                                      "the nearest sources were written, and compiling them "
                                      "would differ here:")) +
                       "\n";
  for (const std::string& line : result.differences) report += "  " + line + "\n";
  write_output(Stream::kError, report);
  return kExitNotExact;
}
