#include "tools/commands/dump_command.h"

#include <cstdio>
#include <string>

#include "common/file_io.h"
#include "tools/commands/exit_status.h"
#include "tools/language/translation.h"
#include "tools/render/console.h"
#include "tools/show/compiled_files.h"
#include "tools/show/dump.h"
#include "tools/show/failed_compilation.h"
#include "tools/show/plot.h"

namespace {

// Says on standard error when the compiled files look like the output of a stopped compilation.
void warn_of_failed_compilation(const CompiledScenario& compiled, const std::string& directory) {
  for (const std::string& sign : signs_of_failed_compilation(compiled)) {
    // TRANSLATORS: {1} is a folder, {2} what looks wrong in its compiled files.
    write_output(Stream::kError,
                 "scenario-tool: " +
                     tr("warning: the compiled files in {1} show signs of a failed compilation: "
                        "{2}; 'scenario-tool check' on their sources shows the error",
                        {directory, sign}) +
                     "\n");
  }
}

}  // namespace

int dump(const DumpArguments& a) {
  CompiledScenario compiled;
  const Status status = load_compiled(a.common.directory, a.common.scenario, &compiled);
  if (!status.ok()) return file_fault(status.message());
  warn_of_failed_compilation(compiled, a.common.directory);
  if (a.json) {
    // Written as it is made, straight to standard output.
    dump_json(compiled, a.common.scenario,
              [](const std::string& text) { write_output(Stream::kOut, text); });
  } else {
    const std::string text = dump_text(compiled, a.common.scenario);
    write_output(Stream::kOut, text);
  }
  return kExitClean;
}

int plot(const PlotArguments& a) {
  if (a.output.empty()) return usage_error(tr("plot needs -o FILE.svg"));
  CompiledScenario compiled;
  const Status status = load_compiled(a.common.directory, a.common.scenario, &compiled);
  if (!status.ok()) return file_fault(status.message());
  PlotStretch stretch;
  const std::string no_stretch = plot_stretch(compiled, a.from_chainage, a.to_chainage, &stretch);
  if (!no_stretch.empty()) return usage_error(no_stretch);
  warn_of_failed_compilation(compiled, a.common.directory);
  const std::string svg = plot_svg(compiled, a.common.scenario, stretch);
  if (svg.empty()) return file_fault(tr("no line plan to draw: compile without --no-plan"));
  const Status written = replace_file(a.output, svg);
  if (!written.ok()) return file_fault(written.message());
  write_output(Stream::kOut, tr("drew {1}", {a.output}) + "\n");
  return kExitClean;
}
