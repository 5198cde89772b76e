#include "compiler/compiled_records.h"

#include <optional>

#include "common/windows_1252.h"
#include "compiler/binary_layout.h"
#include "compiler/checked_math.h"

TrackCell& CompiledRecords::cell_at(int64_t index) {
  if (index < 0 || index > last_cell()) {
    throw RunTimeFailure(tr_mark("cell {1} lies outside the track cells 0 to {2}"),
                         {std::to_string(index), std::to_string(last_cell())});
  }
  return cells[static_cast<size_t>(index)];
}

int32_t point_cell(int32_t position) {
  return nearest<int32_t>(position / double(kCellMetres) + 1, tr_mark("cell"));
}

int32_t area_cell(int32_t position) {
  return nearest<int32_t>(position / double(kCellMetres), tr_mark("cell"));
}

int32_t slowdown_end_cell(int32_t x, int32_t l) {
  return nearest<int32_t>(add32(x, l, tr_mark("slowdown end")) / double(kCellMetres) + 1,
                          tr_mark("slowdown end cell"));
}

std::string table_text(const std::string& text) {
  if (text.size() > kMaxTextBytes) {
    throw RunTimeFailure(tr_mark("a text of {1} bytes is longer than a table entry holds (65535)"),
                         {std::to_string(text.size())});
  }
  return text;
}

std::string scenario_text(const std::string& name) {
  std::optional<std::string> bytes = windows_1252_from_utf8(name);
  if (!bytes) throw RunTimeFailure(tr_mark("the name \"{1}\" has no Windows-1252 form"), {name});
  return *bytes;
}
