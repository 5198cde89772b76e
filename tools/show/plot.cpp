#include "tools/show/plot.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <tuple>
#include <vector>

#include "common/windows_1252.h"
#include "compiler/field_codec.h"
#include "compiler/records.h"
#include "tools/analysis/words.h"
#include "tools/language/translation.h"
#include "tools/show/failed_compilation.h"

namespace {

constexpr double kWidth = 1400;
constexpr double kMargin = 60;
constexpr double kPlanTop = 60, kPlanHeight = 560;
constexpr double kGradientTop = 680, kBandHeight = 130;
constexpr double kSpeedTop = 850;
constexpr double kObjectsTop = 1020;
constexpr double kObjectsBase = kObjectsTop + 120;  // the distance axis of the objects lane
constexpr double kHeight = 1240;
constexpr double kCellLength = kCellMetres;  // in the drawing's arithmetic, which is in doubles

// The range each cell field can hold: a gradient is stored plus 100 in one byte, a speed
// divided by 5 in one byte.
constexpr int kGradientFieldLow = kLowestGradient, kGradientFieldHigh = kHighestGradient;
constexpr int kSpeedFieldHigh = kHighestSpeed;
// A speed of 0 is no limit to mark: the lowest speed is often the line's unset end.
constexpr int kNoFieldLimit = -1;

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : utf8_from_windows_1252(text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A text in the tool's language (UTF-8) as the labels take it: Windows-1252, which holds every
// letter of the languages the tool speaks.
std::string label_text(const std::string& utf8) {
  return windows_1252_from_utf8(utf8).value_or(utf8);
}

// Characters (not bytes) of Windows-1252 text as shown.
size_t shown_length(const std::string& text) {
  size_t n = 0;
  for (char c : utf8_from_windows_1252(text)) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// Where text labels already are, so that the next one goes where it collides with none. A
// label's box is estimated from its font size and length: sans-serif glyphs average about
// 0.55 of the font size across, so 0.62 leaves room.
class Labels {
 public:
  struct Box {
    double left, top, right, bottom;
  };
  static Box box_of(double x, double y, double size, size_t characters) {
    return {x - 1, y - 0.85 * size - 1, x + 0.62 * size * characters + 1, y + 0.25 * size + 1};
  }
  bool fits(const Box& b) const {
    if (b.left < 0 || b.right > kWidth || b.top < 0 || b.bottom > kHeight) return false;
    for (const Box& o : boxes_) {
      if (b.left < o.right && o.left < b.right && b.top < o.bottom && o.top < b.bottom) {
        return false;
      }
    }
    return true;
  }
  // The text element itself; `text` is Windows-1252.
  std::string put(double x, double y, double size, const std::string& text, const char* cls) {
    boxes_.push_back(box_of(x, y, size, shown_length(text)));
    return formatted("<text x=\"%.1f\" y=\"%.1f\" font-size=\"%.0f\" class=\"%s\">", x, y, size,
                     cls) +
           escaped(text) + "</text>";
  }
  // At the first of `candidates` (x, y of the text's start) where it collides with nothing;
  // false when none is free.
  bool place(const std::vector<std::pair<double, double>>& candidates, double size,
             const std::string& text, const char* cls, std::string* out, size_t* chosen) {
    for (size_t i = 0; i < candidates.size(); ++i) {
      const auto [x, y] = candidates[i];
      if (!fits(box_of(x, y, size, shown_length(text)))) continue;
      *out += put(x, y, size, text, cls);
      *chosen = i;
      return true;
    }
    return false;
  }

 private:
  std::vector<Box> boxes_;
};

double text_width(double size, const std::string& text) {
  return 0.62 * size * shown_length(text);
}

// The stretch of the route drawn, and its x on the panels below the plan.
struct DistanceAxis {
  double from, to;
  double x(double m) const { return kMargin + (kWidth - 2 * kMargin) * (m - from) / (to - from); }
};

// The line's chainage over [from, to] as straight pieces: over [start, end] the chainage is
// value + direction * (m - start). Without references the chainage is the distance itself.
struct ChainagePiece {
  double start, end, value;
  int direction;
};
std::vector<ChainagePiece> chainage_pieces(const Chainage& chainage, double from, double to) {
  if (chainage.references.empty()) return {{from, to, from, 1}};
  // As Chainage::at_metres counts: from the nearest reference at or before the position (the
  // references come farthest first); positions before the nearest reference count from it.
  std::vector<ChainagePiece> pieces;
  double end = to;
  for (size_t i = 0; i < chainage.references.size(); ++i) {
    const Chainage::Reference& r = chainage.references[i];
    const bool nearest = i + 1 == chainage.references.size();
    const double start = nearest ? from : std::max<double>(from, r.at);
    if (start <= end) {
      pieces.push_back(
          {start, end, r.value + chainage.direction * (start - r.at), chainage.direction});
    }
    end = std::min<double>(end, r.at);
    if (end < from) break;
  }
  std::reverse(pieces.begin(), pieces.end());
  return pieces;
}

// Positions in [from, to] where the chainage is a whole multiple of `every` metres, with that
// chainage.
std::vector<std::pair<double, int64_t>> chainage_marks(const Chainage& chainage, double from,
                                                       double to, int64_t every) {
  std::vector<std::pair<double, int64_t>> marks;
  for (const ChainagePiece& p : chainage_pieces(chainage, from, to)) {
    const double v0 = p.value, v1 = p.value + p.direction * (p.end - p.start);
    const double low = std::max(0.0, std::min(v0, v1)), high = std::max(v0, v1);
    const int64_t first = static_cast<int64_t>(std::ceil(low / every));
    for (int64_t k = first; double(k) * every <= high; ++k) {
      const double m = p.start + p.direction * (double(k) * every - p.value);
      if (m < p.start || m > p.end) continue;
      if (!marks.empty() && marks.back().first == m) continue;
      marks.push_back({m, k * every});
    }
  }
  return marks;
}

// A km label's text: "km 37" on the line's chainage, "12 km" of distance without one.
std::string km_label(const Chainage& chainage, int64_t value) {
  const long long km = static_cast<long long>(value / 1000), m = value % 1000;
  if (chainage.references.empty()) {
    return m == 0 ? formatted("%lld km", km) : formatted("%lld.%03lld km", km, m);
  }
  return m == 0 ? formatted("km %lld", km) : formatted("km %lld+%03lld", km, m);
}

// Every `step` metres of chainage, for at most about `count` labels over `metres`.
int64_t label_spacing(double metres, double count) {
  int64_t step = 1000;
  for (int i = 0; metres / double(step) > count; i = (i + 1) % 3) {
    step = i == 1 ? step / 2 * 5 : step * 2;  // 1, 2, 5, 10, 20, 50 ... km
  }
  return step;
}

// Cells drawn in the profiles: the last cells of the line get no value from the sources, the
// profiles stop before them.
size_t cells_with_values(const CompiledScenario& c) {
  size_t written = c.cells.size();
  while (written > 0 && c.cells[written - 1].gradient == 0 && c.cells[written - 1].speed == 0) {
    --written;
  }
  return written;
}

// The cells [first, last) that lie over the stretch.
std::pair<size_t, size_t> cells_over(const DistanceAxis& axis, size_t count) {
  const double first = std::max(0.0, std::floor(axis.from / kCellLength));
  const double last = std::min(double(count), std::ceil(axis.to / kCellLength));
  if (last <= first) return {0, 0};
  return {size_t(first), size_t(last)};
}

std::string plan_view(const CompiledScenario& c, const DistanceAxis& axis, const Chainage& chainage,
                      Labels* labels) {
  const LinePlanPoints& p = c.plan;
  std::string out = "<g id=\"plan-view\">\n" +
                    labels->put(kMargin, 40, 15, label_text(tr("Plan view (north up)")), "title") +
                    "\n";
  const int32_t plan_last = p.computed_end - 1;
  const int32_t first = static_cast<int32_t>(std::clamp(axis.from, 0.0, double(plan_last)));
  const int32_t last = static_cast<int32_t>(std::clamp(axis.to, 0.0, double(plan_last)));
  if (last - first < 1) {
    return out +
           labels->put(kMargin, kPlanTop + 30, 13, label_text(tr("No line plan over this stretch")),
                       "note") +
           "\n</g>\n";
  }
  const double min_x = *std::min_element(p.x.begin() + first, p.x.begin() + last + 1);
  const double max_x = *std::max_element(p.x.begin() + first, p.x.begin() + last + 1);
  const double min_y = *std::min_element(p.y.begin() + first, p.y.begin() + last + 1);
  const double max_y = *std::max_element(p.y.begin() + first, p.y.begin() + last + 1);
  const double scale = std::min((kWidth - 2 * kMargin) / std::max(max_x - min_x, 1.0),
                                kPlanHeight / std::max(max_y - min_y, 1.0));
  // Centred across the width: a line running north leaves room either side.
  const double left = (kWidth - (max_x - min_x) * scale) / 2;
  auto sx = [&](int32_t m) { return left + (p.x[m] - min_x) * scale; };
  auto sy = [&](int32_t m) { return kPlanTop + kPlanHeight - (p.y[m] - min_y) * scale; };

  // Thinned evenly: every step-th metre, and the last one.
  const int32_t span = last - first;
  const int32_t step = std::max<int32_t>(1, (span + kMaxPlanPoints - 1) / (kMaxPlanPoints - 1));
  out += "<polyline id=\"plan\" class=\"line\" points=\"";
  for (int32_t m = first; m <= last; m += step) out += formatted("%.1f,%.1f ", sx(m), sy(m));
  if (span % step != 0) out += formatted("%.1f,%.1f", sx(last), sy(last));
  out += "\"/>\n";

  // Tunnels: the runs of cells under a tunnel, over the line, thinned as the line is.
  std::string tunnels;
  const auto [cell_first, cell_last] = cells_over(axis, c.cells.size());
  for (size_t i = cell_first; i < cell_last;) {
    if (c.cells[i].tunnel_kind == 0) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < cell_last && c.cells[j].tunnel_kind != 0) ++j;
    const int32_t a = std::clamp<int32_t>(int32_t(i * kCellLength), first, last);
    const int32_t b = std::clamp<int32_t>(int32_t(j * kCellLength), first, last);
    if (b > a) {
      tunnels += formatted("M%.1f,%.1f", sx(a), sy(a));
      for (int32_t m = a + step; m < b; m += step) tunnels += formatted("L%.1f,%.1f", sx(m), sy(m));
      tunnels += formatted("L%.1f,%.1f ", sx(b), sy(b));
    }
    i = j;
  }
  if (!tunnels.empty()) out += "<path id=\"tunnels\" class=\"tunnel\" d=\"" + tunnels + "\"/>\n";

  // Signals and slowdowns as small marks, one a pixel whatever their number.
  std::set<std::tuple<int, int, int>> marked;
  for (size_t i = cell_first; i < cell_last; ++i) {
    const uint8_t type = c.cells[i].type;
    const char* cls = type == kCellSignal                                      ? "signal"
                      : type == kCellSlowdownStart || type == kCellSlowdownEnd ? "slowdown"
                      : type == kCellSlowdownWarning                           ? "warning"
                                                                               : nullptr;
    const int32_t m = int32_t(i * kCellLength);
    if (cls == nullptr || m < first || m > last) continue;
    if (!marked.insert({type, int(sx(m)), int(sy(m))}).second) continue;
    out +=
        formatted("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"1.5\" class=\"%s\"/>\n", sx(m), sy(m), cls);
  }

  // Stations first, then the kilometres, so that names win the room.
  for (int e = kFirstStationEntry; e < kFirstSignboardEntry; ++e) {
    const TableEntry& s = c.table[e];
    if (s.text.empty() || (s.start == 0 && s.end == 0 && s.time == 0)) continue;
    if (s.position < first || s.position > last) continue;
    const double x = sx(s.position), y = sy(s.position);
    const double w = text_width(11, s.text);
    out += formatted("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"4\" class=\"station\"/>", x, y);
    const std::vector<std::pair<double, double>> candidates = {
        {x + 7, y + 4},   {x - 7 - w, y + 4},   {x - w / 2, y - 8}, {x - w / 2, y + 16},
        {x + 7, y - 8},   {x + 7, y + 16},      {x - 7 - w, y - 8}, {x - 7 - w, y + 16},
        {x + 30, y - 24}, {x - 30 - w, y - 24}, {x + 30, y + 32},   {x - 30 - w, y + 32},
        {x + 60, y - 48}, {x - 60 - w, y - 48}, {x + 60, y + 56},   {x - 60 - w, y + 56}};
    size_t chosen = 0;
    if (labels->place(candidates, 11, s.text, "name", &out, &chosen) && chosen >= 8) {
      // Far from its point: a leader line to it.
      const auto [lx, ly] = candidates[chosen];
      out += formatted("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" class=\"leader\"/>",
                       x, y, lx < x ? lx + w : lx, ly - 4);
    }
    out += "\n";
  }
  const double metres = std::max(1.0, double(last - first));
  // A dot at every whole kilometre, or every 2, 5, 10 ... on a long line: at most about 100.
  const int64_t spacing = label_spacing(metres, 8);
  const int64_t dot_spacing = label_spacing(metres, 100);
  std::set<std::pair<int, int>> dots;
  for (const auto& [m, value] : chainage_marks(chainage, first, last, dot_spacing)) {
    const int32_t at = static_cast<int32_t>(std::lround(m));
    if (!dots.insert({int(sx(at)), int(sy(at))}).second) continue;
    out += formatted("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"2\" class=\"km\"/>", sx(at), sy(at));
    if (value % spacing == 0) {
      size_t chosen = 0;
      labels->place({{sx(at) + 6, sy(at) + 3},
                     {sx(at) - 6 - text_width(10, km_label(chainage, value)), sy(at) + 3}},
                    10, km_label(chainage, value), "small", &out, &chosen);
    }
    out += "\n";
  }
  return out + "</g>\n";
}

// Round steps for an axis: 1, 2 or 5 times a power of ten.
double nice_step(double span) {
  const double rough = span / 4;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (double f : {1.0, 2.0, 5.0}) {
    if (f * power >= rough) return f * power;
  }
  return 10 * power;
}

std::string profile(const CompiledScenario& c, const DistanceAxis& axis, double top, const char* id,
                    const std::string& title, int (*value)(const TrackCell&), bool from_zero,
                    int field_low, int field_high, Labels* labels) {
  std::string out =
      formatted("<g id=\"%s\">\n", id) + labels->put(kMargin, top - 8, 15, title, "title") + "\n";
  const auto [first, last] = cells_over(axis, cells_with_values(c));
  // The axis fits what is drawn, with zero on it, and a margin.
  int low = 0, high = 0;
  for (size_t i = first; i < last; ++i) {
    low = std::min(low, value(c.cells[i]));
    high = std::max(high, value(c.cells[i]));
  }
  if (from_zero) low = 0;
  // Out to the next round value beyond a margin, so that the outer grid lines frame the data.
  const double margin = std::max(1.0, (high - low) * 0.08);
  const double tick = nice_step(high - low + 2 * margin);
  const double bottom_value = from_zero ? 0 : std::floor((low - margin) / tick) * tick;
  const double top_value = std::ceil((high + margin) / tick) * tick;
  auto y = [&](double v) {
    return top + kBandHeight - (v - bottom_value) / (top_value - bottom_value) * kBandHeight;
  };
  for (double k = std::ceil(bottom_value / tick); k * tick <= top_value; ++k) {
    const double v = k * tick;
    out += formatted("<line x1=\"%.0f\" y1=\"%.1f\" x2=\"%.0f\" y2=\"%.1f\" class=\"%s\"/>",
                     kMargin, y(v), kWidth - kMargin, y(v), v == 0 ? "axis" : "grid");
    size_t chosen = 0;
    labels->place({{8, y(v) + 3.5}}, 10, formatted("%.0f", v), "small", &out, &chosen);
    out += "\n";
  }
  // The limits of the cell field, where the data reaches them: a value there may stand for one
  // the field could not hold.
  for (const int limit : {field_low, field_high}) {
    if (limit != low && limit != high) continue;
    out += formatted("<line x1=\"%.0f\" y1=\"%.1f\" x2=\"%.0f\" y2=\"%.1f\" class=\"limit\"/>",
                     kMargin, y(limit), kWidth - kMargin, y(limit));
    size_t chosen = 0;
    labels->place({{kWidth - kMargin - 200, y(limit) - 3}, {kWidth - kMargin - 200, y(limit) + 11}},
                  10, label_text(tr("limit of the cell field: {1}", {std::to_string(limit)})),
                  "limit-text", &out, &chosen);
    out += "\n";
  }
  // A step a cell where the cells are wider than a pixel; else, a pixel column at a time, the
  // least and greatest value in it.
  out += "<polyline class=\"profile\" points=\"";
  const double columns = kWidth - 2 * kMargin;
  if (last > first && double(last - first) <= columns) {
    for (size_t i = first; i < last;) {
      const int v = value(c.cells[i]);
      size_t j = i + 1;
      while (j < last && value(c.cells[j]) == v) ++j;
      const double a = std::max(axis.from, i * kCellLength), b = std::min(axis.to, j * kCellLength);
      out += formatted("%.1f,%.1f %.1f,%.1f ", axis.x(a), y(v), axis.x(b), y(v));
      i = j;
    }
  } else if (last > first) {
    size_t i = first;
    for (int column = 0; column < int(columns) && i < last; ++column) {
      const double column_end = axis.from + (axis.to - axis.from) * (column + 1) / columns;
      int lo = value(c.cells[i]), hi = lo;
      for (; i < last && i * kCellLength < column_end; ++i) {
        lo = std::min(lo, value(c.cells[i]));
        hi = std::max(hi, value(c.cells[i]));
      }
      const double x = kMargin + column + 0.5;
      out += column % 2 == 0 ? formatted("%.1f,%.1f %.1f,%.1f ", x, y(lo), x, y(hi))
                             : formatted("%.1f,%.1f %.1f,%.1f ", x, y(hi), x, y(lo));
    }
  }
  return out + "\"/>\n</g>\n";
}

std::string objects(const CompiledScenario& c, const DistanceAxis& axis, const Chainage& chainage,
                    Labels* labels) {
  const double base = kObjectsBase;
  std::string out =
      "<g id=\"objects\">\n" +
      labels->put(kMargin, kObjectsTop - 8, 15,
                  label_text(tr("Stations; below the axis: signals, slowdown warnings, slowdowns "
                                "(start to end) and speed restriction points")),
                  "title") +
      "\n";
  out += formatted("<line x1=\"%.0f\" y1=\"%.0f\" x2=\"%.0f\" y2=\"%.0f\" class=\"axis\"/>\n",
                   kMargin, base, kWidth - kMargin, base);
  // Km labels spaced for at most about 20 over the stretch, whatever its length.
  const int64_t spacing = label_spacing(axis.to - axis.from, 20);
  for (const auto& [m, value] : chainage_marks(chainage, axis.from, axis.to, spacing)) {
    const std::string label = km_label(chainage, value);
    size_t chosen = 0;
    if (labels->place({{axis.x(m) - text_width(10, label) / 2, base + 14}}, 10, label, "small",
                      &out, &chosen)) {
      out += formatted("<line x1=\"%.1f\" y1=\"%.0f\" x2=\"%.1f\" y2=\"%.0f\" class=\"axis\"/>",
                       axis.x(m), base, axis.x(m), base + 4);
    }
    out += "\n";
  }
  // Stations: their extent, and their name on the first free row above it.
  for (int e = kFirstStationEntry; e < kFirstSignboardEntry; ++e) {
    const TableEntry& s = c.table[e];
    if (s.text.empty() || (s.start == 0 && s.end == 0 && s.time == 0)) continue;
    if (s.end < axis.from || s.start > axis.to) continue;
    const double x0 = std::max(axis.x(std::max<double>(s.start, axis.from)), kMargin);
    const double x1 = std::min(axis.x(std::min<double>(s.end, axis.to)), kWidth - kMargin);
    out += formatted("<rect x=\"%.1f\" y=\"%.0f\" width=\"%.1f\" height=\"8\" class=\"station\"/>",
                     x0, base - 8, std::max(1.0, x1 - x0));
    const double x = std::clamp(axis.x(s.position), kMargin, kWidth - kMargin);
    // Rows upward, the name starting at the station or ending there.
    std::vector<std::pair<double, double>> rows;
    for (int row = 0; row < 8; ++row) {
      rows.push_back({x, base - 13 - 13.0 * row});
      rows.push_back({x - text_width(11, s.text), base - 13 - 13.0 * row});
    }
    size_t chosen = 0;
    if (labels->place(rows, 11, s.text, "name", &out, &chosen) && chosen > 1) {
      out += formatted("<line x1=\"%.1f\" y1=\"%.0f\" x2=\"%.1f\" y2=\"%.1f\" class=\"leader\"/>",
                       x, base - 8, x, rows[chosen].second + 2);
    }
    out += "\n";
  }
  // The first slowdown end after each cell, found in one pass from the last cell, so that a
  // start is drawn to its end without searching (many starts without ends would otherwise each
  // search to the last cell).
  std::vector<size_t> next_end(c.cells.size() + 1, c.cells.size());
  for (size_t i = c.cells.size(); i-- > 0;) {
    next_end[i] = c.cells[i].type == kCellSlowdownEnd ? i : next_end[i + 1];
  }
  // Marks below the axis, one a pixel column whatever their number.
  std::set<std::pair<int, int>> marked;
  const auto [first, last] = cells_over(axis, c.cells.size());
  for (size_t i = first; i < last; ++i) {
    const TrackCell& cell = c.cells[i];
    const double x = axis.x(std::max(axis.from, i * kCellLength));
    if (!marked.insert({cell.type, int(x)}).second) continue;
    switch (cell.type) {
      case kCellSignal:
        out += formatted("<path d=\"M%.1f,%.0fl-3,6h6z\" class=\"signal\"/>\n", x, base + 22);
        break;
      case kCellSlowdownWarning:
        out += formatted("<path d=\"M%.1f,%.0fl-3,6h6z\" class=\"warning\"/>\n", x, base + 32);
        break;
      case kCellSlowdownStart: {
        const double end = std::min(axis.to, next_end[i + 1] * kCellLength);
        out += formatted(
            "<rect x=\"%.1f\" y=\"%.0f\" width=\"%.1f\" height=\"5\" class=\"slowdown\"/>", x,
            base + 42, std::max(2.0, axis.x(end) - x));
        size_t chosen = 0;
        labels->place({{x, base + 58}, {x, base + 70}}, 10, formatted("%d km/h", cell.value_a),
                      "small", &out, &chosen);
        out += "\n";
        break;
      }
      case kCellSpeedRestriction:
        out += formatted(
            "<rect x=\"%.1f\" y=\"%.0f\" width=\"4\" height=\"4\" class=\"restriction\"/>\n", x - 2,
            base + 76);
        break;
      default:
        break;
    }
  }
  return out + "</g>\n";
}

// The length of the distance axis: the route, or the cells where they run farther.
double axis_end(const CompiledScenario& c) {
  const double route = c.table[kRouteEntry].end > 0 ? c.table[kRouteEntry].end
                                                    : (double(c.cells.size()) - 1) * kCellLength;
  return std::max({route, c.cells.size() * kCellLength, kCellLength});
}

std::string km_text(int64_t chainage) {
  return formatted("km %lld+%03lld", static_cast<long long>(chainage / 1000),
                   static_cast<long long>(chainage % 1000));
}

}  // namespace

std::string plot_stretch(const CompiledScenario& c, std::optional<int64_t> from_chainage,
                         std::optional<int64_t> to_chainage, PlotStretch* stretch) {
  const Chainage chainage = chainage_of_line(c.table);
  const double end = axis_end(c);
  std::optional<int64_t> metres[2];
  const std::optional<int64_t> given[2] = {from_chainage, to_chainage};
  for (int i = 0; i < 2; ++i) {
    if (!given[i]) continue;
    metres[i] = chainage.references.empty() ? *given[i] : chainage.metres_at(*given[i]);
    if (*metres[i] < 0 || double(*metres[i]) > end) {
      const std::optional<int64_t> start = chainage.at_metres(0);
      const std::optional<int64_t> finish = chainage.at_metres(int64_t(end));
      // TRANSLATORS: {1} is a place given with --from or --to, {2} and {3} the line's ends.
      return tr("{1} is not on the line, which runs from {2} to {3}",
                {km_text(*given[i]), start ? km_text(*start) : "km 0+000",
                 finish ? km_text(*finish) : km_text(int64_t(end))});
    }
  }
  if (metres[0] && metres[1] && *metres[0] > *metres[1]) std::swap(metres[0], metres[1]);
  const int64_t from = metres[0].value_or(0);
  const int64_t to = metres[1].value_or(int64_t(end));
  if (to <= from) return tr("--from and --to give no stretch of the line between them");
  stretch->from_metres = from;
  stretch->to_metres = to;
  return "";
}

std::string plot_svg(const CompiledScenario& c, const ScenarioIdentity& scenario,
                     const PlotStretch& stretch) {
  if (!c.has_plan || c.plan.computed_end < 3) return "";
  const double end = axis_end(c);
  DistanceAxis axis{0, end};
  if (stretch.from_metres) axis.from = std::clamp(double(*stretch.from_metres), 0.0, end);
  if (stretch.to_metres) axis.to = std::clamp(double(*stretch.to_metres), 0.0, end);
  if (axis.to <= axis.from) axis = {0, end};
  const Chainage chainage = chainage_of_line(c.table);
  Labels labels;
  std::string out = formatted(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" "
      "height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\">\n",
      kWidth, kHeight, kWidth, kHeight);
  out += "<title>" + escaped(scenario.line_name + " " + scenario.train_number) + "</title>\n";
  out +=
      "<style>text{font-family:sans-serif}.title{font-weight:bold}.small{fill:#555}"
      ".line{fill:none;stroke:#1f4e99;stroke-width:2}.km{fill:white;stroke:#c00;stroke-width:1}"
      ".tunnel{fill:none;stroke:#333;stroke-width:6;stroke-opacity:0.45}"
      ".axis{stroke:#999;stroke-width:1}.grid{stroke:#ddd;stroke-width:1}"
      ".limit{stroke:#c00;stroke-width:1;stroke-dasharray:4 3}.limit-text{fill:#c00}"
      ".leader{stroke:#777;stroke-width:0.7}"
      ".profile{fill:none;stroke:#2a7b2a;stroke-width:1.2}"
      ".station{fill:#1f4e99}.signal{fill:#b00}.slowdown{fill:#e08000}.warning{fill:#f0b000}"
      ".restriction{fill:#800080}.failed{fill:#c00;font-weight:bold}.note{fill:#555}</style>\n";
  out += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  // Files that a stopped compilation wrote are not drawn as if sound.
  double y = 20;
  for (const std::string& sign : signs_of_failed_compilation(c)) {
    const std::string text = label_text(tr("Signs of a failed compilation: {1}", {sign}));
    out +=
        labels.put(std::max(0.0, kWidth - 12 - text_width(13, text)), y, 13, text, "failed") + "\n";
    y += 18;
  }
  if (axis.from > 0 || axis.to < end) {
    const std::optional<int64_t> a = chainage.at_metres(int64_t(axis.from));
    const std::optional<int64_t> b = chainage.at_metres(int64_t(axis.to));
    const std::string from = formatted("%.0f", axis.from), to = formatted("%.0f", axis.to);
    const std::string text =
        label_text(a && b ? tr("Stretch {1} to {2} m along the line ({3} to {4})",
                               {from, to, km_text(*a), km_text(*b)})
                          : tr("Stretch {1} to {2} m along the line", {from, to}));
    size_t chosen = 0;
    labels.place({{kMargin + 200, 40}, {kMargin, kPlanTop + 15}}, 12, text, "note", &out, &chosen);
    out += "\n";
  }
  out += plan_view(c, axis, chainage, &labels);
  out += profile(
      c, axis, kGradientTop, "gradient", label_text(tr("Gradient (per mille)")),
      [](const TrackCell& t) { return decode_gradient(t.gradient); }, false, kGradientFieldLow,
      kGradientFieldHigh, &labels);
  out += profile(
      c, axis, kSpeedTop, "speed", label_text(tr("Line speed (km/h)")),
      [](const TrackCell& t) { return decode_speed(t.speed); }, true, kNoFieldLimit,
      kSpeedFieldHigh, &labels);
  out += objects(c, axis, chainage, &labels);
  return out + "</svg>\n";
}
