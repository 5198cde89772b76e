#include "compiler/binary_layout.h"

#include "compiler/little_endian.h"

namespace {

constexpr size_t kPieceBytes = 1 << 20;

// One coordinate of every point, metre 0 first, emitted piece by piece. `whole` gives the
// whole-number value of metres 0 and 1.
bool encode_coordinate(const LinePlan& plan, const std::vector<double>& values,
                       const int16_t whole[2], std::string* piece,
                       const std::function<bool(const std::string&)>& emit) {
  LittleEndianWriter out(piece);
  for (int32_t metre = 0; metre <= plan.last_metre(); ++metre) {
    if (metre < 2 && plan.origin_set) {
      out.u16(kPointWhole);
      out.i16(whole[metre]);
    } else if (metre >= 2 && metre < plan.computed_end) {
      out.u16(kPointDouble);
      out.f64(values[metre]);
    } else {
      out.u16(kPointUnset);
    }
    if (piece->size() >= kPieceBytes) {
      if (!emit(*piece)) return false;
      piece->clear();
    }
  }
  return true;
}

}  // namespace

bool encode_line_plan(const LinePlan& plan, const std::function<bool(const std::string&)>& emit) {
  std::string piece;
  piece.reserve(kPieceBytes + 16);
  // The line leaves the origin along +y: metre 0 at (0, 0), metre 1 at (0, 1).
  const int16_t origin_x[2] = {0, 0};
  const int16_t origin_y[2] = {0, 1};
  return encode_coordinate(plan, plan.x, origin_x, &piece, emit) &&
         encode_coordinate(plan, plan.y, origin_y, &piece, emit) &&
         (piece.empty() || emit(piece));
}

std::string encode_line_plan(const LinePlan& plan) {
  std::string bytes;
  encode_line_plan(plan, [&bytes](const std::string& piece) {
    bytes += piece;
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
