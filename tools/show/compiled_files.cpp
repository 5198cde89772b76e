#include "tools/show/compiled_files.h"

#include "common/file_io.h"
#include "common/file_path.h"
#include "compiler/scenario_compiler.h"

namespace {

// The file at `path`, decoded by `decode`.
template <typename Record, typename Decoder>
Status read_and_decode(const std::string& path, Record* record, Decoder decode) {
  std::string bytes;
  const Status status = read_file(path, &bytes);
  if (!status.ok()) return status;
  return decode(bytes, path, record);
}

}  // namespace

Status read_track_cells(const std::string& path, std::vector<TrackCell>* cells) {
  return read_and_decode(path, cells, decode_track_cells);
}

Status read_scenario_table(const std::string& path, ScenarioTable* table) {
  return read_and_decode(path, table, decode_scenario_table);
}

Status read_line_plan(const std::string& path, LinePlanPoints* plan) {
  return read_and_decode(path, plan, decode_line_plan);
}

Status load_compiled(const std::string& directory, const ScenarioIdentity& scenario,
                     CompiledScenario* compiled) {
  Status status =
      read_scenario_table(path_in(directory, scenario_table_name(scenario)), &compiled->table);
  if (!status.ok()) return status;
  status = read_track_cells(path_in(directory, track_cells_name(scenario)), &compiled->cells);
  if (!status.ok()) return status;
  const std::string plan = path_in(directory, line_plan_name(scenario));
  compiled->has_plan = file_exists(plan);
  if (compiled->has_plan) return read_line_plan(plan, &compiled->plan);
  return Status::Ok();
}
