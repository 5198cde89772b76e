#include "compiler/scenario_compiler.h"

#include <utility>

#include "common/file_io.h"
#include "common/file_path.h"
#include "compiler/binary_layout.h"
#include "compiler/checked_math.h"
#include "compiler/checksums.h"
#include "compiler/error_codes.h"
#include "compiler/signal_cell_rules.h"
#include "compiler/source_reading.h"

std::string line_plan_name(const ScenarioIdentity& s) {
  return s.line_name + "_linea.dat";
}

std::string scenario_table_name(const ScenarioIdentity& s) {
  return s.line_name + "_" + s.train_number + ".sim";
}

std::string track_cells_name(const ScenarioIdentity& s) {
  return s.line_name + "_" + s.train_number + ".dat";
}

namespace {

// The names are joined to the folder to make every path the compilation reads, writes or
// deletes: a name that could lead out of the folder, or mean anything there but a plain file,
// stops it before any file is touched, whoever the caller.
Status names_refused(const CompileOptions& options) {
  const std::string refused = scenario_names_refusal(options.scenario, "line name", "train number");
  if (refused.empty()) return Status::Ok();
  return Status::Error("cannot compile in " + options.directory + ": " + refused);
}

}  // namespace

CompileResult memorizza_percorso(const CompileOptions& options, Compilation* out) {
  // Records of an earlier compilation must not pass for this one's.
  *out = Compilation();
  CompileResult result;
  if (options.sources != SourceHandling::kInMemory || options.write_files) {
    result.status = names_refused(options);
  }
  if (result.status.ok()) result.status = memorizza_dati(options, out);
  if (!result.status.ok()) {
    result.end = CompileEnd::kFileFault;
    return result;
  }
  CompiledRecords& records = out->records;
  // Without a header cell there is nothing the simulator could load: keep the files it has.
  if (records.last_cell() < kHeaderCell) {
    result.end = CompileEnd::kNothingCompiled;
    return result;
  }
  apply_signal_cell_rules(records, out->log);

  result.integrity_error = stamp_version_and_checksums(records.table, records.cells[kHeaderCell]);
  if (result.integrity_error != 0) {
    result.end = CompileEnd::kIntegrityError;
    return result;
  }
  if (!options.write_files) return result;
  result.status = write_compiled_files(options, records);
  if (!result.status.ok()) result.end = CompileEnd::kFileFault;
  return result;
}

Status write_compiled_files(const CompileOptions& options, const CompiledRecords& records) {
  const std::string& directory = options.directory;
  const ScenarioIdentity& scenario = options.scenario;
  Status status = names_refused(options);
  if (!status.ok()) return status;
  if (options.build_plan) {
    // The plan goes out piece by piece as it is computed: the longest route's takes 20 MB.
    status = replace_file_in_placed_pieces(
        path_in(directory, line_plan_name(scenario)), 2 * line_plan_half_bytes(records.plan),
        [&records](PlacedPieceSink& sink) { return encode_line_plan(records.plan, &sink); },
        *options.files);
  }
  if (status.ok()) {
    status = replace_file(path_in(directory, scenario_table_name(scenario)),
                          encode_scenario_table(records.table), *options.files);
  }
  if (status.ok()) {
    status = replace_file(path_in(directory, track_cells_name(scenario)),
                          encode_track_cells(records.cells), *options.files);
  }
  return status;
}
