#include "tools/compiled_files.h"

#include <cstring>

#include "common/file_io.h"
#include "compiler/binary_layout.h"

namespace {

// Little-endian fields from a byte string, refusing to read past its end.
class LittleEndianReader {
 public:
  explicit LittleEndianReader(const std::string& bytes) : bytes_(bytes) {}

  bool left(size_t count) const { return bytes_.size() - at_ >= count; }
  bool done() const { return at_ == bytes_.size(); }
  size_t at() const { return at_; }

  uint64_t take(int count) {
    uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | uint8_t(bytes_[at_ + i]);
    at_ += count;
    return value;
  }
  uint8_t u8() { return uint8_t(take(1)); }
  uint16_t u16() { return uint16_t(take(2)); }
  int16_t i16() { return int16_t(uint16_t(take(2))); }
  int32_t i32() { return int32_t(uint32_t(take(4))); }
  double f64() {
    const uint64_t bits = take(8);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  std::string text(size_t count) {
    std::string value = bytes_.substr(at_, count);
    at_ += count;
    return value;
  }

 private:
  const std::string& bytes_;
  size_t at_ = 0;
};

Status refuse(const std::string& path, const std::string& why) {
  return Status::Error(path + ": " + why);
}

}  // namespace

Status read_track_cells(const std::string& path, std::vector<TrackCell>* cells) {
  std::string bytes;
  const Status status = read_file(path, &bytes);
  if (!status.ok()) return status;
  return parse_track_cells(bytes, path, cells);
}

Status parse_track_cells(const std::string& bytes, const std::string& path,
                         std::vector<TrackCell>* cells) {
  if (bytes.empty() || bytes.size() % kTrackCellBytes != 0) {
    return refuse(
        path, std::to_string(bytes.size()) + " bytes is not a whole number of 15-byte track cells");
  }
  LittleEndianReader in(bytes);
  cells->assign(bytes.size() / kTrackCellBytes, TrackCell());
  for (TrackCell& c : *cells) {
    c.type = in.u8();
    c.value_a = in.i16();
    c.value_b = in.i16();
    c.value_c = in.i16();
    c.value_d = in.i16();
    c.signal_time = in.u8();
    c.marker = in.u8();
    c.tunnel_kind = in.u8();
    c.speed = in.u8();
    c.gradient = in.u8();
    c.adhesion = in.u8();
  }
  return Status::Ok();
}

Status read_scenario_table(const std::string& path, ScenarioTable* table) {
  std::string bytes;
  const Status status = read_file(path, &bytes);
  if (!status.ok()) return status;
  return parse_scenario_table(bytes, path, table);
}

Status parse_scenario_table(const std::string& bytes, const std::string& path,
                            ScenarioTable* table) {
  LittleEndianReader in(bytes);
  for (int index = 0; index < kTableEntries; ++index) {
    TableEntry& e = (*table)[index];
    if (!in.left(16)) return refuse(path, "cut short in table entry " + std::to_string(index));
    e.kind = in.u8();
    e.start = in.i32();
    e.end = in.i32();
    e.position = in.i32();
    e.flag_a = in.u8();
    const uint16_t length = in.u16();
    if (!in.left(size_t(length) + 18)) {
      return refuse(path, "cut short in table entry " + std::to_string(index));
    }
    e.text = in.text(length);
    e.value_1 = in.i16();
    e.value_2 = in.i16();
    e.value_3 = in.i16();
    e.value_4 = in.i16();
    e.value_5 = in.i16();
    e.flag_b = in.u8();
    e.flag_c = in.u8();
    e.flag_d = in.u8();
    e.flag_e = in.u8();
    e.time = in.i32();
  }
  if (!in.done()) {
    return refuse(path, std::to_string(bytes.size() - in.at()) +
                            " bytes follow the 87 table entries: not a scenario table");
  }
  return Status::Ok();
}

Status read_line_plan(const std::string& path, LinePlanPoints* plan) {
  std::string bytes;
  const Status status = read_file(path, &bytes);
  if (!status.ok()) return status;
  return parse_line_plan(bytes, path, plan);
}

Status parse_line_plan(const std::string& bytes, const std::string& path, LinePlanPoints* plan) {
  LittleEndianReader in(bytes);
  // Every point: whether it is set, and its value.
  std::vector<double> values;
  std::vector<uint16_t> tags;
  while (!in.done()) {
    if (!in.left(2)) return refuse(path, "cut short inside a point");
    const uint16_t tag = in.u16();
    if (tag == kPointUnset) {
      values.push_back(0);
    } else if (tag == kPointWhole && in.left(2)) {
      values.push_back(in.i16());
    } else if (tag == kPointDouble && in.left(8)) {
      values.push_back(in.f64());
    } else if (tag == kPointWhole || tag == kPointDouble) {
      return refuse(path, "cut short inside a point");
    } else {
      return refuse(path, "point type " + std::to_string(tag) + " at byte " +
                              std::to_string(in.at() - 2) + ": not a line plan");
    }
    tags.push_back(tag);
  }
  if (values.size() < 4 || values.size() % 2 != 0) {
    return refuse(path, std::to_string(values.size()) + " points do not make x and y halves");
  }
  const size_t half = values.size() / 2;
  plan->x.assign(values.begin(), values.begin() + half);
  plan->y.assign(values.begin() + half, values.end());
  plan->origin_set = tags[0] == kPointWhole;
  int32_t end = 2;
  while (size_t(end) < half && tags[end] == kPointDouble) ++end;
  plan->computed_end = end;
  return Status::Ok();
}
