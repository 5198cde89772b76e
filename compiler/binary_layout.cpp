#include "compiler/binary_layout.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/little_endian.h"
#include "common/prefault.h"
#include "compiler/line_plan.h"

namespace {

constexpr size_t kPointBytes = 10;  // a tag and a double

// One half of the line plan file (the x or the y of every point) as it is filled, a piece at a
// time, each handed to the sink when full. Points are stored through a local pointer in the
// loops that fill a piece, so the writer's own state is only touched between pieces.
class HalfWriter {
 public:
  HalfWriter(PlacedPieceSink* sink, uint64_t offset) : sink_(sink), offset_(offset) { next(); }

  char* at() const { return p_; }
  void moved_to(char* p) { p_ = p; }
  // How many more points of kPointBytes fit in the piece.
  size_t room() const { return static_cast<size_t>(end_ - p_) / kPointBytes; }

  // Hands the piece over and starts the next one; false when the sink refused it.
  bool hand_over() {
    piece_.size = static_cast<size_t>(p_ - piece_.data());
    offset_ += piece_.size;
    if (!sink_->put(std::move(piece_))) return false;
    next();
    return true;
  }
  // Hands over what the last piece holds.
  bool finish() { return p_ == piece_.data() || hand_over(); }

 private:
  void next() {
    piece_ = sink_->take();
    piece_.offset = offset_;
    p_ = piece_.data();
    end_ = p_ + PlacedPiece::kCapacity;
  }

  PlacedPieceSink* sink_;
  uint64_t offset_;
  PlacedPiece piece_;
  char* p_ = nullptr;
  char* end_ = nullptr;
};

// Makes room for at least one point in both halves.
bool make_room(HalfWriter* x, HalfWriter* y) {
  return (x->room() > 0 || x->hand_over()) && (y->room() > 0 || y->hand_over());
}

// Both halves get the same run of `count` unset points.
bool put_unset(HalfWriter* x, HalfWriter* y, int64_t count) {
  for (int64_t i = 0; i < count; ++i) {
    if (!make_room(x, y)) return false;
    x->moved_to(store_u16(x->at(), kPointUnset));
    y->moved_to(store_u16(y->at(), kPointUnset));
  }
  return true;
}

// Lays the metres of `run` and puts each point into both halves.
template <bool kStraight>
bool put_run(const PlanRun& run, PlanStepper* stepper, HalfWriter* x, HalfWriter* y) {
  PlanStepper s = *stepper;
  const double k = run.k;
  int64_t left = int64_t(run.last) - run.first + 1;
  while (left > 0) {
    if (!make_room(x, y)) return false;
    const int64_t count = std::min<int64_t>(left, int64_t(std::min(x->room(), y->room())));
    char* px = x->at();
    char* py = y->at();
    for (int64_t i = 0; i < count; ++i) {
      if (kStraight) {
        s.straight();
      } else {
        s.curve(k);
      }
      px = store_f64(store_u16(px, kPointDouble), s.x1);
      py = store_f64(store_u16(py, kPointDouble), s.y1);
    }
    x->moved_to(px);
    y->moved_to(py);
    left -= count;
  }
  *stepper = s;
  return true;
}

}  // namespace

uint64_t line_plan_half_bytes(const LinePlan& plan) {
  const int64_t points = plan.points;
  const int64_t origin = std::min<int64_t>(points, 2);
  const int64_t computed = std::max<int64_t>(0, std::min<int64_t>(plan.computed_end, points) - 2);
  const int64_t unset = points - origin - computed;
  return uint64_t(origin * (plan.origin_set ? 4 : 2) + computed * 10 + unset * 2);
}

bool encode_line_plan(const LinePlan& plan, PlacedPieceSink* sink) {
  if (plan.points <= 0) return true;
  HalfWriter x(sink, 0);
  HalfWriter y(sink, line_plan_half_bytes(plan));
  const int64_t origin = std::min<int64_t>(plan.points, 2);
  if (plan.origin_set) {
    // The line leaves the origin along +y: metre 0 at (0, 0), metre 1 at (0, 1).
    for (int metre = 0; metre < origin; ++metre) {
      x.moved_to(store_u16(store_u16(x.at(), kPointWhole), 0));
      y.moved_to(store_u16(store_u16(y.at(), kPointWhole), static_cast<uint16_t>(metre)));
    }
  } else if (!put_unset(&x, &y, origin)) {
    return false;
  }
  PlanStepper stepper;
  for (const PlanRun& run : plan.runs) {
    const bool put =
        run.k == 0 ? put_run<true>(run, &stepper, &x, &y) : put_run<false>(run, &stepper, &x, &y);
    if (!put) return false;
  }
  const int64_t laid = origin + std::max<int64_t>(0, plan.computed_end - 2);
  return put_unset(&x, &y, plan.points - laid) && x.finish() && y.finish();
}

std::string encode_line_plan(const LinePlan& plan) {
  TextPieceSink sink;
  encode_line_plan(plan, &sink);
  return std::move(sink.text);
}

std::string encode_scenario_table(const ScenarioTable& table) {
  std::string bytes;
  LittleEndianWriter out(&bytes);
  for (const TableEntry& e : table) {
#define TABLE_ENTRY_FIELD(name, width) out.width(e.name);
#include "compiler/record_fields.def"
  }
  return bytes;
}

std::string encode_track_cells(const std::vector<TrackCell>& cells) {
  std::string bytes;
  bytes.reserve(cells.size() * kTrackCellBytes);
  prefault(&bytes[0], bytes.capacity());
  bytes.resize(cells.size() * kTrackCellBytes);
  char* p = &bytes[0];
  for (const TrackCell& c : cells) {
#define TRACK_CELL_FIELD(name, width) p = store_##width(p, c.name);
#include "compiler/record_fields.def"
  }
  return bytes;
}

namespace {

Status refuse(const std::string& name, const std::string& why) {
  return Status::Error(name + ": " + why);
}

}  // namespace

Status decode_track_cells(const std::string& bytes, const std::string& name,
                          std::vector<TrackCell>* cells) {
  if (bytes.empty() || bytes.size() % kTrackCellBytes != 0) {
    return refuse(
        name, std::to_string(bytes.size()) + " bytes is not a whole number of 15-byte track cells");
  }
  LittleEndianReader in(bytes);
  cells->assign(bytes.size() / kTrackCellBytes, TrackCell());
  for (TrackCell& c : *cells) {
#define TRACK_CELL_FIELD(name, width) c.name = in.width();
#include "compiler/record_fields.def"
  }
  return Status::Ok();
}

Status decode_scenario_table(const std::string& bytes, const std::string& name,
                             ScenarioTable* table) {
  LittleEndianReader in(bytes);
  for (int index = 0; index < kTableEntries; ++index) {
    TableEntry& e = (*table)[index];
#define TABLE_ENTRY_FIELD(name, width) e.name = in.width();
#include "compiler/record_fields.def"
    if (in.ran_out()) return refuse(name, "cut short in table entry " + std::to_string(index));
  }
  if (!in.done()) {
    return refuse(name, std::to_string(bytes.size() - in.at()) +
                            " bytes follow the 87 table entries: not a scenario table");
  }
  return Status::Ok();
}

Status decode_line_plan(const std::string& bytes, const std::string& name, LinePlanPoints* plan) {
  LittleEndianReader in(bytes);
  // Every point: whether it is set, and its value.
  std::vector<double> values;
  std::vector<uint16_t> tags;
  while (!in.done()) {
    if (!in.left(2)) return refuse(name, "cut short inside a point");
    const uint16_t tag = in.u16();
    if (tag == kPointUnset) {
      values.push_back(0);
    } else if (tag == kPointWhole && in.left(2)) {
      values.push_back(in.i16());
    } else if (tag == kPointDouble && in.left(8)) {
      values.push_back(in.f64());
    } else if (tag == kPointWhole || tag == kPointDouble) {
      return refuse(name, "cut short inside a point");
    } else {
      return refuse(name, "point type " + std::to_string(tag) + " at byte " +
                              std::to_string(in.at() - 2) + ": not a line plan");
    }
    tags.push_back(tag);
  }
  if (values.size() < 4 || values.size() % 2 != 0) {
    return refuse(name, std::to_string(values.size()) + " points do not make x and y halves");
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
