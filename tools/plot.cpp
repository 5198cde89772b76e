#include "tools/plot.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tools/failed_compilation.h"
#include "tools/words.h"

namespace {

constexpr double kWidth = 1400;
constexpr double kMargin = 60;
constexpr double kPlanTop = 60, kPlanHeight = 560;
constexpr double kGradientTop = 680, kBandHeight = 130;
constexpr double kSpeedTop = 850;
constexpr double kObjectsTop = 1020, kObjectsHeight = 170;
constexpr double kHeight = 1230;

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

// Distance along the line to the x of the lower panels.
struct DistanceAxis {
  double metres;
  double x(double m) const { return kMargin + (kWidth - 2 * kMargin) * m / metres; }
};

std::string plan_view(const CompiledScenario& c) {
  const LinePlanPoints& p = c.plan;
  const int32_t last = p.computed_end - 1;
  if (last < 1) return "";
  const double min_x = *std::min_element(p.x.begin(), p.x.begin() + last + 1);
  const double max_x = *std::max_element(p.x.begin(), p.x.begin() + last + 1);
  const double min_y = *std::min_element(p.y.begin(), p.y.begin() + last + 1);
  const double max_y = *std::max_element(p.y.begin(), p.y.begin() + last + 1);
  const double scale = std::min((kWidth - 2 * kMargin) / std::max(max_x - min_x, 1.0),
                                kPlanHeight / std::max(max_y - min_y, 1.0));
  // Centred across the width: a line running north leaves room either side.
  const double left = (kWidth - (max_x - min_x) * scale) / 2;
  auto sx = [&](double x) { return left + (x - min_x) * scale; };
  auto sy = [&](double y) { return kPlanTop + kPlanHeight - (y - min_y) * scale; };

  std::string out = "<g id=\"plan-view\">\n<text x=\"" + formatted("%.0f", kMargin) +
                    "\" y=\"40\" class=\"title\">Plan view (north up)</text>\n";
  // Thinned evenly: every step-th metre, and the last one.
  const int32_t step = std::max<int32_t>(1, (last + kMaxPlanPoints - 1) / (kMaxPlanPoints - 1));
  out += "<polyline id=\"plan\" class=\"line\" points=\"";
  for (int32_t m = 0; m <= last; m += step) out += formatted("%.1f,%.1f ", sx(p.x[m]), sy(p.y[m]));
  if (last % step != 0) out += formatted("%.1f,%.1f", sx(p.x[last]), sy(p.y[last]));
  out += "\"/>\n";
  // A mark at every whole kilometre of chainage (or of distance, without a reference).
  for (int32_t m = 0; m <= last; m += 50) {
    const std::string chainage = chainage_text(c.table, m);
    const bool whole = chainage.empty()
                           ? m % 1000 == 0
                           : chainage.size() > 4 && chainage.substr(chainage.size() - 4) == "+000";
    if (!whole) continue;
    const std::string label = chainage.empty() ? formatted("%d", m / 1000) : chainage.substr(3);
    out += formatted("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"2.5\" class=\"km\"/>", sx(p.x[m]),
                     sy(p.y[m]));
    // Every fifth kilometre gets its number.
    if (std::atoi(label.c_str()) % 5 == 0) {
      out += formatted("<text x=\"%.1f\" y=\"%.1f\" class=\"small\">km ", sx(p.x[m]) + 6,
                       sy(p.y[m]) + 3) +
             escaped(label) + "</text>";
    }
    out += "\n";
  }
  return out + "</g>\n";
}

std::string profile(const CompiledScenario& c, const DistanceAxis& axis, double top, const char* id,
                    const char* title, int (*value)(const TrackCell&), int low, int high) {
  auto y = [&](int v) {
    return top + kBandHeight -
           (double(std::clamp(v, low, high)) - low) / (high - low) * kBandHeight;
  };
  std::string out =
      formatted("<g id=\"%s\">\n<text x=\"%.0f\" y=\"%.0f\" class=\"title\">%s</text>\n", id,
                kMargin, top - 8, title);
  out += formatted("<line x1=\"%.0f\" y1=\"%.1f\" x2=\"%.0f\" y2=\"%.1f\" class=\"axis\"/>\n",
                   kMargin, y(low < 0 ? 0 : low), kWidth - kMargin, y(low < 0 ? 0 : low));
  out += formatted(
      "<text x=\"10\" y=\"%.1f\" class=\"small\">%d</text><text x=\"10\" y=\"%.1f\" "
      "class=\"small\">%d</text>\n",
      y(high) + 10, high, y(low), low);
  // The last cells of the line get no value from the sources: the profile stops before them.
  size_t written = c.cells.size();
  while (written > 0 && c.cells[written - 1].gradient == 0 && c.cells[written - 1].speed == 0) {
    --written;
  }
  out += "<polyline class=\"profile\" points=\"";
  for (size_t i = 0; i < written; ++i) {
    const int v = value(c.cells[i]);
    out += formatted("%.1f,%.1f %.1f,%.1f ", axis.x(i * 50.0), y(v), axis.x(i * 50.0 + 50), y(v));
  }
  return out + "\"/>\n</g>\n";
}

std::string objects(const CompiledScenario& c, const DistanceAxis& axis) {
  const double base = kObjectsTop + kObjectsHeight;
  std::string out = formatted(
      "<g id=\"objects\">\n<text x=\"%.0f\" y=\"%.0f\" class=\"title\">"
      "Stations, signals (S), slowdowns (W warning, start to end) and "
      "speed restriction points (R)</text>\n",
      kMargin, kObjectsTop - 8);
  out += formatted("<line x1=\"%.0f\" y1=\"%.0f\" x2=\"%.0f\" y2=\"%.0f\" class=\"axis\"/>\n",
                   kMargin, base, kWidth - kMargin, base);
  // A label every 5 km, or every 10, 20, 40 ... km on a longer axis: at most 40 labels whatever
  // route length the scenario table gives.
  double label_km = 5;
  while (axis.metres / (label_km * 1000) > 40) label_km *= 2;
  for (double km = 0; km * 1000 <= axis.metres; km += label_km) {
    out += formatted("<text x=\"%.1f\" y=\"%.0f\" class=\"small\">%.0f km</text>\n",
                     axis.x(km * 1000), base + 16, km);
  }
  // Stations: their extent and name.
  for (int e = kFirstStationEntry; e < kFirstSignboardEntry; ++e) {
    const TableEntry& s = c.table[e];
    if (s.text.empty() || (s.start == 0 && s.end == 0 && s.time == 0)) continue;
    const double x = axis.x(s.position);
    out += formatted("<rect x=\"%.1f\" y=\"%.0f\" width=\"%.1f\" height=\"8\" class=\"station\"/>",
                     axis.x(s.start), base - 8, std::max(1.0, axis.x(s.end) - axis.x(s.start)));
    out += formatted(
               "<text x=\"%.1f\" y=\"%.0f\" transform=\"rotate(-60 %.1f %.0f)\" "
               "class=\"name\">",
               x, base - 12, x, base - 12) +
           escaped(s.text) + "</text>\n";
  }
  // The first slowdown end after each cell, found in one pass from the last cell, so that a
  // start is drawn to its end without searching (many starts without ends would otherwise each
  // search to the last cell).
  std::vector<size_t> next_end(c.cells.size() + 1, c.cells.size());
  for (size_t i = c.cells.size(); i-- > 0;) {
    next_end[i] = c.cells[i].type == kCellSlowdownEnd ? i : next_end[i + 1];
  }
  for (size_t i = 0; i < c.cells.size(); ++i) {
    const TrackCell& cell = c.cells[i];
    const double x = axis.x(i * 50.0);
    switch (cell.type) {
      case kCellSignal:
        out +=
            formatted("<text x=\"%.1f\" y=\"%.0f\" class=\"signal\">S</text>\n", x - 3, base - 40);
        break;
      case kCellSlowdownWarning:
        out += formatted("<text x=\"%.1f\" y=\"%.0f\" class=\"slowdown\">W</text>\n", x - 4,
                         base - 60);
        break;
      case kCellSlowdownStart: {
        const size_t end = next_end[i + 1];
        out += formatted(
            "<rect x=\"%.1f\" y=\"%.0f\" width=\"%.1f\" height=\"6\" class=\"slowdown\"/>"
            "<text x=\"%.1f\" y=\"%.0f\" class=\"small\">%d km/h</text>\n",
            x, base - 72, std::max(2.0, axis.x(end * 50.0) - x), x, base - 78, cell.value_a);
        break;
      }
      case kCellSpeedRestriction:
        out += formatted("<text x=\"%.1f\" y=\"%.0f\" class=\"restriction\">R</text>\n", x - 3,
                         base - 24);
        break;
      default:
        break;
    }
  }
  return out + "</g>\n";
}

}  // namespace

std::string plot_svg(const CompiledScenario& c, const ScenarioIdentity& scenario) {
  if (!c.has_plan || c.plan.computed_end < 3) return "";
  const double route =
      c.table[kRouteEntry].end > 0 ? c.table[kRouteEntry].end : (c.cells.size() - 1) * 50.0;
  const DistanceAxis axis{std::max(route, (c.cells.size()) * 50.0)};
  std::string out = formatted(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" "
      "height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\">\n",
      kWidth, kHeight, kWidth, kHeight);
  out += "<title>" + escaped(scenario.line_name + " " + scenario.train_number) + "</title>\n";
  out +=
      "<style>text{font-family:sans-serif;font-size:13px}.title{font-size:15px;"
      "font-weight:bold}.small{font-size:10px;fill:#555}.name{font-size:11px}"
      ".line{fill:none;stroke:#1f4e99;stroke-width:2}.km{fill:#c00}"
      ".axis{stroke:#999;stroke-width:1}.profile{fill:none;stroke:#2a7b2a;stroke-width:1.2}"
      ".station{fill:#1f4e99}.signal{fill:#b00;font-weight:bold}.slowdown{fill:#e08000;"
      "font-weight:bold}.restriction{fill:#800080;font-size:11px}"
      ".failed{fill:#c00;font-weight:bold;text-anchor:end}</style>\n";
  out += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  out += plan_view(c);
  out += profile(
      c, axis, kGradientTop, "gradient", "Gradient (per mille)",
      [](const TrackCell& t) { return int(t.gradient) - 100; }, -40, 40);
  out += profile(
      c, axis, kSpeedTop, "speed", "Line speed (km/h)",
      [](const TrackCell& t) { return int(t.speed) * 5; }, 0, 160);
  out += objects(c, axis);
  // Files that a stopped compilation wrote are not drawn as if sound.
  double y = 20;
  for (const std::string& sign : signs_of_failed_compilation(c)) {
    out += formatted("<text x=\"%.0f\" y=\"%.0f\" class=\"failed\">", kWidth - 12, y) +
           escaped("Signs of a failed compilation: " + sign) + "</text>\n";
    y += 18;
  }
  return out + "</svg>\n";
}
