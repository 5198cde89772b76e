#include "tools/commands/diff_command.h"

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/file_system.h"
#include "compiler/binary_layout.h"
#include "compiler/scenario_compiler.h"
#include "tools/commands/exit_status.h"
#include "tools/commands/extract_command.h"
#include "tools/language/translation.h"
#include "tools/recover/scenario_diff.h"
#include "tools/render/console.h"
#include "tools/show/compiled_files.h"

namespace {

// What stops the comparison: a message for standard error, "" when there is none.
using Trouble = std::string;

// The scenario compiled in memory from `line` and `train`, its rows kept for the places.
Trouble compile_side(const ScenarioIdentity& scenario, const std::string& line,
                     const std::string& train, DiffSide* side) {
  CompileOptions options = in_memory_options(scenario, line, train);
  options.keep_rows = true;
  Compilation out;
  if (memorizza_percorso(options, &out).end != CompileEnd::kCompleted)
    return tr("its sources compile to nothing");
  LinePlanPoints plan;
  if (!decode_line_plan(encode_line_plan(out.records.plan), "plan", &plan).ok())
    return tr("its line plan cannot be read back");
  side->scenario =
      recover_scenario(out.records.table, out.records.cells, &plan.x, &plan.y, plan.computed_end);
  side->chainage = chainage_of_line(out.records.table);
  side->rows = std::move(out.rows);
  side->has_sources = true;
  side->line_text = line;
  side->train_text = train;
  return "";
}

// The one scenario whose compiled files `folder` holds: a <line>_linea.dat with one
// <line>_<train>.sim beside it.
Trouble only_scenario(const std::string& folder, ScenarioIdentity* scenario) {
  std::vector<std::string> names;
  if (platform_file_system().list_directory(folder, &names))
    return tr("cannot list the folder {1}", {folder});
  const std::string line_end = "_linea.dat";
  std::vector<ScenarioIdentity> found;
  for (const std::string& plan : names) {
    if (plan.size() <= line_end.size() ||
        plan.compare(plan.size() - line_end.size(), line_end.size(), line_end) != 0)
      continue;
    const std::string line = plan.substr(0, plan.size() - line_end.size());
    for (const std::string& sim : names) {
      if (sim.size() > line.size() + 5 && sim.compare(0, line.size() + 1, line + "_") == 0 &&
          sim.compare(sim.size() - 4, 4, ".sim") == 0)
        found.push_back({line, sim.substr(line.size() + 1, sim.size() - line.size() - 5)});
    }
  }
  if (found.size() != 1) {
    // TRANSLATORS: {1} is a folder, {2} a count (0, or 2 and more).
    return tr(
        "{1} holds {2} compiled scenarios (<line>_linea.dat with <line>_<train>.sim): give "
        "--line and --train",
        {folder, std::to_string(found.size())});
  }
  const std::string refused =
      scenario_names_refusal(found[0], tr("its line name"), tr("its train number"));
  if (!refused.empty()) return folder + ": " + refused;
  *scenario = found[0];
  return "";
}

// One operand: a folder with compiled files (and perhaps its sources), or an installer.
Trouble load_side(const std::string& operand, const ScenarioIdentity& given, DiffSide* side) {
  if (is_regular_file(operand)) {
    ScenarioPayload payload;
    const InstallerRead read = read_installer(operand, &payload);
    if (!read.ok()) return read.message;
    side->line_path = operand + ":" + line_source_name(payload.scenario);
    side->train_path = operand + ":" + train_source_name(payload.scenario);
    const Trouble t =
        compile_side(payload.scenario, payload.line_source, payload.train_source, side);
    return t.empty() ? t : operand + ": " + t;
  }
  if (!file_exists(operand)) return tr("{1}: no such folder or installer", {operand});
  ScenarioIdentity scenario = given;
  if (!file_exists(path_in(operand, scenario_table_name(scenario)))) {
    const Trouble t = only_scenario(operand, &scenario);
    if (!t.empty()) return t;
  }
  CompiledScenario compiled;
  const Status status = load_compiled(operand, scenario, &compiled);
  if (!status.ok()) return status.message();
  if (compiled.cells.empty()) return tr("{1} holds no cells", {track_cells_name(scenario)});
  side->scenario = recover_scenario(
      compiled.table, compiled.cells, compiled.has_plan ? &compiled.plan.x : nullptr,
      compiled.has_plan ? &compiled.plan.y : nullptr, compiled.plan.computed_end);
  side->chainage = chainage_of_line(compiled.table);
  // Its sources, when there: their rows give each change its source lines.
  side->line_path = path_in(operand, line_source_name(scenario));
  side->train_path = path_in(operand, train_source_name(scenario));
  if (!is_regular_file(side->line_path) || !is_regular_file(side->train_path)) return "";
  std::string line, train;
  if (!read_file(side->line_path, &line).ok() || !read_file(side->train_path, &train).ok())
    return "";
  CompileOptions options = in_memory_options(scenario, line, train);
  options.keep_rows = true;  // the curves' rows too: the plan is built, in memory
  Compilation out;
  if (memorizza_percorso(options, &out).end != CompileEnd::kCompleted) return "";
  side->chainage = chainage_of_line(out.records.table);
  side->rows = std::move(out.rows);
  side->has_sources = true;
  side->line_text = std::move(line);
  side->train_text = std::move(train);
  return "";
}

}  // namespace

int diff(const DiffArguments& a) {
  DiffSide sides[2];
  const std::string operands[2] = {a.common.directory, a.second};
  for (int i = 0; i < 2; ++i) {
    const Trouble t = load_side(operands[i], a.common.scenario, &sides[i]);
    if (!t.empty()) {
      write_output(Stream::kError, "scenario-tool: " + t + "\n");
      return kExitDiffTrouble;
    }
  }
  const std::vector<Change> changes = compare_scenarios(sides[0], sides[1]);
  write_output(Stream::kOut,
               a.format == "json" ? diff_json(changes) : diff_text(changes, sides[0].chainage));
  return changes.empty() ? kExitClean : kExitDiffFound;
}
