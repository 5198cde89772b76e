#include "compiler/compiled_records.h"

#include <optional>

#include "common/windows_1252.h"
#include "compiler/binary_layout.h"
#include "compiler/checked_math.h"

TrackCell& CompiledRecords::cell_at(int64_t index) {
  if (index < 0 || index > last_cell()) {
    throw RunTimeFailure("cell " + std::to_string(index) + " lies outside the track cells 0 to " +
                         std::to_string(last_cell()));
  }
  return cells[static_cast<size_t>(index)];
}

int32_t point_cell(int32_t position) {
  return nearest<int32_t>(position / double(kCellMetres) + 1, "cell");
}

int32_t area_cell(int32_t position) {
  return nearest<int32_t>(position / double(kCellMetres), "cell");
}

int32_t slowdown_end_cell(int32_t x, int32_t l) {
  return nearest<int32_t>(add32(x, l, "slowdown end") / double(kCellMetres) + 1,
                          "slowdown end cell");
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
