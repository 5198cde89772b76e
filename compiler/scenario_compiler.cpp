#include "compiler/scenario_compiler.h"

#include <utility>

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/windows_1252.h"
#include "compiler/binary_layout.h"
#include "compiler/checked_math.h"
#include "compiler/error_codes.h"

std::string line_plan_name(const ScenarioIdentity& s) {
  return s.line_name + "_linea.dat";
}

std::string scenario_table_name(const ScenarioIdentity& s) {
  return s.line_name + "_" + s.train_number + ".sim";
}

std::string track_cells_name(const ScenarioIdentity& s) {
  return s.line_name + "_" + s.train_number + ".dat";
}

std::string table_text(const std::string& text) {
  if (text.size() > kMaxTextBytes) {
    throw RunTimeFailure("a text of " + std::to_string(text.size()) +
                         " bytes is longer than a table entry holds (65535)");
  }
  return text;
}

std::string scenario_text(const std::string& name) {
  std::optional<std::string> bytes = windows_1252_from_utf8(name);
  if (!bytes) throw RunTimeFailure("the name \"" + name + "\" has no Windows-1252 form");
  return *bytes;
}

int32_t point_cell(int32_t position) {
  return nearest<int32_t>(position / 50.0 + 1, "cell");
}

int32_t area_cell(int32_t position) {
  return nearest<int32_t>(position / 50.0, "cell");
}

TrackCell& ScenarioCompiler::cell_at(int64_t index) {
  if (index < 0 || index > last_cell()) {
    throw RunTimeFailure("cell " + std::to_string(index) + " lies outside the track cells 0 to " +
                         std::to_string(last_cell()));
  }
  return cells[static_cast<size_t>(index)];
}

void ScenarioCompiler::record_problem(ProblemSource source, size_t offset, bool positioned,
                                      int32_t cell, size_t field_offset) {
  Problem problem;
  problem.code = error.code;
  problem.position = error.position;
  problem.positioned = positioned;
  problem.source = source;
  problem.offset = offset;
  problem.field_offset = field_offset;
  problem.cell = cell >= 0 ? cell : refused_cell;
  problems.push_back(problem);
  refused_cell = -1;
}

ScenarioCompiler::ScenarioCompiler(std::string directory_in, ScenarioIdentity scenario_in)
    : directory(std::move(directory_in)), scenario(std::move(scenario_in)) {}

std::string ScenarioCompiler::line_source_path() const {
  return path_in(directory, line_source_name(scenario));
}

std::string ScenarioCompiler::train_source_path() const {
  return path_in(directory, train_source_name(scenario));
}

namespace {

// A file operation that failed while the sources were read: not a problem of the sources, so
// the reading step's handler lets it through, and the compilation ends with it.
class SourceFileFault {
 public:
  explicit SourceFileFault(Status status) : status(std::move(status)) {}
  Status status;
};

}  // namespace

void ScenarioCompiler::delete_source(const std::string& path) {
  if (!delete_sources || line_source_text || train_source_text) return;
  const Status status = delete_file(path, *files);
  if (!status.ok()) throw SourceFileFault(status);
}

std::string ScenarioCompiler::source_text(const std::optional<std::string>& in_memory,
                                          const std::string& path, bool* exists) {
  if (in_memory) {
    *exists = true;
    return *in_memory;
  }
  std::string text;
  *exists = is_regular_file(path, *files);
  if (!*exists) return text;
  const Status status = read_file(path, &text, *files);
  if (!status.ok()) throw SourceFileFault(status);
  return text;
}

void ScenarioCompiler::memorizza_dati() {
  try {
    if (read_line_source() == ReadingGoesOn::kNo) return;
    read_train_source();
  } catch (const SourceFileFault& fault) {
    file_fault_ = fault.status;
  } catch (const RunTimeFailure& failure) {
    // The one handler of the reading step: whatever failed, both sources go and the reading
    // ends with error 25. Every source is read whole, so no file is left open.
    failure_message = failure.what();
    error.set(kRunTimeFailure);
    record_problem(failure_source_, failure_offset_, false);
    problems.back().row_offset = failure_row_offset_;
    try {
      for (const std::string& path : {line_source_path(), train_source_path()}) {
        if (is_regular_file(path, *files)) delete_source(path);
      }
    } catch (const SourceFileFault& fault) {
      file_fault_ = fault.status;
    }
  }
}

CompileResult ScenarioCompiler::memorizza_percorso(int32_t& j_in) {
  j = j_in;
  error.code = 0;
  table = ScenarioTable();
  // Records of an earlier compilation must not pass for this one's.
  cells.clear();
  plan = LinePlan();
  tunnel_count = 0;
  total_metres = 0;
  hand_over = LineHandOver();
  failure_message.clear();
  problems.clear();
  rows.clear();
  refused_cell = -1;
  failure_source_ = ProblemSource::kNone;
  failure_offset_ = Problem::kNoOffset;
  failure_row_offset_ = Problem::kNoOffset;

  file_fault_ = Status::Ok();
  memorizza_dati();
  CompileResult result;
  if (!file_fault_.ok()) {
    result.end = CompileEnd::kFileFault;
    result.status = file_fault_;
    return result;
  }
  // Without a header cell there is nothing the simulator could load: keep the files it has.
  if (last_cell() < kHeaderCell) {
    result.end = CompileEnd::kNothingCompiled;
    return result;
  }
  apply_signal_cell_rules();

  TableEntry& line = table[kLineEntry];
  TrackCell& header = cells[kHeaderCell];
  if (line.value_1 != 0 || header.value_a != 0) {
    result.end = CompileEnd::kIntegrityError;
    result.integrity_error = 1250;
    return result;
  }
  line.value_1 = 610;
  header.value_a = 5121;
  if (line.time != 0 || header.value_b != 0) {
    result.end = CompileEnd::kIntegrityError;
    result.integrity_error = 1251;
    return result;
  }
  line.time = codice_gara_st();
  header.value_b = static_cast<int16_t>(codice_gara_og());
  if (!write_files) return result;
  result.status = write_compiled_files();
  if (!result.status.ok()) result.end = CompileEnd::kFileFault;
  return result;
}

Status ScenarioCompiler::write_compiled_files() const {
  Status status;
  if (j != 0) {
    // The plan goes out piece by piece as it is computed: the longest route's takes 20 MB.
    status = replace_file_in_placed_pieces(
        path_in(directory, line_plan_name(scenario)), 2 * line_plan_half_bytes(plan),
        [this](PlacedPieceSink& sink) { return encode_line_plan(plan, &sink); }, *files);
  }
  if (status.ok()) {
    status = replace_file(path_in(directory, scenario_table_name(scenario)),
                          encode_scenario_table(table), *files);
  }
  if (status.ok()) {
    status = replace_file(path_in(directory, track_cells_name(scenario)), encode_track_cells(cells),
                          *files);
  }
  return status;
}
