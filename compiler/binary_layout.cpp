#include "compiler/binary_layout.h"

#include <cstring>

#include "compiler/little_endian.h"

namespace {

constexpr size_t kPieceBytes = 1 << 20;

// Little-endian stores into a byte buffer; compilers turn these into single stores.
char* put_u16(char* p, uint16_t value) {
  p[0] = static_cast<char>(value & 0xff);
  p[1] = static_cast<char>(value >> 8);
  return p + 2;
}

char* put_f64(char* p, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<char>((bits >> (8 * i)) & 0xff);
  return p + 8;
}

// One coordinate of every point, metre 0 first, emitted a piece at a time from `piece` (room
// for kPieceBytes and one point more). `whole` gives the whole-number value of metres 0 and 1.
bool encode_coordinate(const LinePlan& plan, const LinePlan::Coordinates& values,
                       const int16_t whole[2], char* piece, char** end,
                       const std::function<bool(const char*, size_t)>& emit) {
  char* p = *end;
  for (int32_t metre = 0; metre <= plan.last_metre(); ++metre) {
    if (metre >= 2 && metre < plan.computed_end) {
      p = put_f64(put_u16(p, kPointDouble), values[metre]);
    } else if (metre < 2 && plan.origin_set) {
      p = put_u16(put_u16(p, kPointWhole), static_cast<uint16_t>(whole[metre]));
    } else {
      p = put_u16(p, kPointUnset);
    }
    if (size_t(p - piece) >= kPieceBytes) {
      if (!emit(piece, size_t(p - piece))) return false;
      p = piece;
    }
  }
  *end = p;
  return true;
}

}  // namespace

bool encode_line_plan(const LinePlan& plan,
                      const std::function<bool(const char* data, size_t size)>& emit) {
  std::vector<char> buffer(kPieceBytes + 16);
  char* piece = buffer.data();
  char* end = piece;
  // The line leaves the origin along +y: metre 0 at (0, 0), metre 1 at (0, 1).
  const int16_t origin_x[2] = {0, 0};
  const int16_t origin_y[2] = {0, 1};
  return encode_coordinate(plan, plan.x, origin_x, piece, &end, emit) &&
         encode_coordinate(plan, plan.y, origin_y, piece, &end, emit) &&
         (end == piece || emit(piece, size_t(end - piece)));
}

std::string encode_line_plan(const LinePlan& plan) {
  std::string bytes;
  encode_line_plan(plan, [&bytes](const char* data, size_t size) {
    bytes.append(data, size);
    return true;
  });
  return bytes;
}

std::string encode_scenario_table(const ScenarioTable& table) {
  std::string bytes;
  LittleEndianWriter out(&bytes);
  for (const TableEntry& e : table) {
    out.u8(e.kind);
    out.i32(e.start);
    out.i32(e.end);
    out.i32(e.position);
    out.u8(e.flag_a);
    out.u16(static_cast<uint16_t>(e.text.size()));
    out.bytes(e.text);
    out.i16(e.value_1);
    out.i16(e.value_2);
    out.i16(e.value_3);
    out.i16(e.value_4);
    out.i16(e.value_5);
    out.u8(e.flag_b);
    out.u8(e.flag_c);
    out.u8(e.flag_d);
    out.u8(e.flag_e);
    out.i32(e.time);
  }
  return bytes;
}

std::string encode_track_cells(const std::vector<TrackCell>& cells) {
  std::string bytes;
  bytes.reserve(cells.size() * kTrackCellBytes);
  LittleEndianWriter out(&bytes);
  for (const TrackCell& c : cells) {
    out.u8(c.type);
    out.i16(c.value_a);
    out.i16(c.value_b);
    out.i16(c.value_c);
    out.i16(c.value_d);
    out.u8(c.signal_time);
    out.u8(c.marker);
    out.u8(c.tunnel_kind);
    out.u8(c.speed);
    out.u8(c.gradient);
    out.u8(c.adhesion);
  }
  return bytes;
}
