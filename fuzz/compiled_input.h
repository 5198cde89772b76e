// How the harnesses of compiled files read one input as the three files: two bytes give the
// scenario table's length and four the track cells', little-endian; the table, the cells and
// the line plan follow, each cut short where the input ends.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

struct CompiledInput {
  std::string table;
  std::string cells;
  std::string plan;  // empty: no line plan
};

// False for an input too short to hold the two lengths.
inline bool split_compiled_input(const uint8_t* data, size_t size, CompiledInput* out) {
  if (size < 6) return false;
  const std::string input(reinterpret_cast<const char*>(data), size);
  size_t table_bytes = data[0] | data[1] << 8;
  size_t cell_bytes = uint32_t(data[2] | data[3] << 8 | data[4] << 16 | uint32_t(data[5]) << 24);
  size_t at = 6;
  table_bytes = std::min(table_bytes, size - at);
  out->table = input.substr(at, table_bytes);
  at += table_bytes;
  cell_bytes = std::min(cell_bytes, size - at);
  out->cells = input.substr(at, cell_bytes);
  at += cell_bytes;
  out->plan = input.substr(at);
  return true;
}
