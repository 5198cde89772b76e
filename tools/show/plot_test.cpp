#include "tools/show/plot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "bench/maximal_scenario.h"
#include "common/file_io.h"
#include "test_support/temp_dir.h"
#include "tools/testing/tool_fixture.h"

namespace {

// A small XML reader, enough to check that a picture is well-formed and to find its elements.
struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;   // the text directly inside the element
  std::string group;  // the id of the innermost <g> holding it
};

std::string decoded(std::string text) {
  for (const auto& [entity, character] : std::map<std::string, std::string>{
           {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}}) {
    text = replace_all(text, entity, character);
  }
  return text;
}

// Every element of `xml` in document order; fails the test on badly formed XML.
std::vector<Element> parse_xml(const std::string& xml) {
  std::vector<Element> elements;
  std::vector<size_t> open;
  size_t at = 0;
  while ((at = xml.find('<', at)) != std::string::npos) {
    const size_t end = xml.find('>', at);
    if (end == std::string::npos) {
      ADD_FAILURE() << "unclosed tag at " << at;
      break;
    }
    const std::string tag = xml.substr(at + 1, end - at - 1);
    if (!open.empty()) {
      const size_t text_start = xml.rfind('>', at - 1) + 1;
      elements[open.back()].text += decoded(xml.substr(text_start, at - text_start));
    }
    at = end + 1;
    if (tag[0] == '?' || tag[0] == '!') continue;
    if (tag[0] == '/') {
      if (open.empty() || elements[open.back()].name != tag.substr(1)) {
        ADD_FAILURE() << "mismatched </" << tag.substr(1) << ">";
        break;
      }
      open.pop_back();
      continue;
    }
    Element e;
    std::istringstream in(tag);
    in >> e.name;
    size_t pos = tag.find(e.name) + e.name.size();
    while (true) {
      const size_t eq = tag.find('=', pos);
      if (eq == std::string::npos) break;
      const size_t name_start = tag.find_first_not_of(' ', pos);
      const size_t q1 = tag.find('"', eq);
      const size_t q2 = tag.find('"', q1 + 1);
      e.attributes[tag.substr(name_start, eq - name_start)] =
          decoded(tag.substr(q1 + 1, q2 - q1 - 1));
      pos = q2 + 1;
    }
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
      if (elements[*it].name == "g" && elements[*it].attributes.count("id")) {
        e.group = elements[*it].attributes.at("id");
        break;
      }
    }
    elements.push_back(e);
    if (tag.back() != '/') open.push_back(elements.size() - 1);
  }
  EXPECT_TRUE(open.empty()) << "unclosed elements";
  return elements;
}

size_t characters(const std::string& utf8) {
  size_t n = 0;
  for (char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// Two text labels whose boxes overlap, described; empty when no two do. A box is estimated from
// the label's start, baseline and font size: 0.6 of the size across a character, 0.8 of it
// above the baseline and 0.2 below.
std::string overlapping_labels(const std::vector<Element>& elements) {
  struct Box {
    double left, top, right, bottom;
    std::string text;
  };
  std::vector<Box> boxes;
  for (const Element& e : elements) {
    if (e.name != "text") continue;
    for (const char* attribute : {"x", "y", "font-size"}) {
      if (!e.attributes.count(attribute)) return "'" + e.text + "' has no " + attribute;
    }
    const double x = std::stod(e.attributes.at("x")), y = std::stod(e.attributes.at("y"));
    const double size = std::stod(e.attributes.at("font-size"));
    boxes.push_back(
        {x, y - 0.8 * size, x + 0.6 * size * characters(e.text), y + 0.2 * size, e.text});
  }
  for (size_t i = 0; i < boxes.size(); ++i) {
    for (size_t j = i + 1; j < boxes.size(); ++j) {
      const Box &a = boxes[i], &b = boxes[j];
      if (a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom) {
        return "'" + a.text + "' overlaps '" + b.text + "'";
      }
    }
  }
  return "";
}

// The texts of the group `group`, one a line.
std::string texts_in(const std::vector<Element>& elements, const std::string& group) {
  std::string texts;
  for (const Element& e : elements) {
    if (e.name == "text" && e.group == group) texts += e.text + "\n";
  }
  return texts;
}

// The picture `plot` draws of the compiled files in `dir`, with `options`.
std::vector<Element> plotted(const TempDir& dir, const std::vector<std::string>& options) {
  std::vector<std::string> args = {"plot", dir.path(), "-o", dir.file("line.svg")};
  args.insert(args.end(), options.begin(), options.end());
  const ProcessResult result = run_tool(args);
  EXPECT_EQ(result.exit_status, 0) << result.err;
  return parse_xml(read_file_bytes(dir.file("line.svg")));
}

const char* const kShippedStations[] = {"VITERBO P. F.",     "Montefiascone",
                                        "Grotte S. Stefano", "Sipicciano S. Nicola",
                                        "Sipicciano",        "ATTIGLIANO"};

}  // namespace

TEST(PlotTest, ThePictureHoldsTheLineAndEveryStation) {
  TempDir dir;
  write_shipped_sources(dir);
  ASSERT_EQ(run_tool({"compile", dir.path()}).exit_status, 0);
  const std::string svg_path = dir.file("line.svg");
  const ProcessResult result = run_tool({"plot", dir.path(), "-o", svg_path});
  ASSERT_EQ(result.exit_status, 0) << result.err;
  const std::vector<Element> elements = parse_xml(read_file_bytes(svg_path));
  ASSERT_FALSE(elements.empty());
  EXPECT_EQ(elements[0].name, "svg");

  std::vector<std::pair<double, double>> points;
  std::string texts;
  for (const Element& e : elements) {
    if (e.name == "text") texts += e.text + "\n";
    if (e.name == "polyline" && e.attributes.count("id") && e.attributes.at("id") == "plan") {
      std::istringstream in(e.attributes.at("points"));
      double x, y;
      char comma;
      while (in >> x >> comma >> y) points.emplace_back(x, y);
    }
  }
  // Thinned, but every stretch of the line is there: the shipped line runs 56,998 m north
  // with a 143 m swing west and 8 km east.
  EXPECT_GE(points.size(), 1000u);
  EXPECT_LE(points.size(), size_t(kMaxPlanPoints) + 1);
  ASSERT_FALSE(points.empty());
  double min_x = 1e9, max_x = -1e9, min_y = 1e9, max_y = -1e9;
  for (const auto& [x, y] : points) {
    min_x = std::min(min_x, x);
    max_x = std::max(max_x, x);
    min_y = std::min(min_y, y);
    max_y = std::max(max_y, y);
  }
  EXPECT_NEAR((max_x - min_x) / (max_y - min_y), (8182.5 + 143.5) / 54847.8, 0.01);
  EXPECT_DOUBLE_EQ(points.front().second, max_y) << "the line starts at its southern end";
  EXPECT_DOUBLE_EQ(points.back().second, min_y) << "and ends at its northern end";

  // Every station named, on the plan as well as along the line.
  const std::string on_plan = texts_in(elements, "plan-view");
  for (const char* name : kShippedStations) {
    EXPECT_NE(texts.find(std::string(name) + "\n"), std::string::npos) << name;
    EXPECT_NE(on_plan.find("\n" + std::string(name) + "\n"), std::string::npos) << name;
  }
}

TEST(PlotTest, NoTwoLabelsOverlap) {
  TempDir shipped, maximal;
  write_shipped_sources(shipped);
  ASSERT_EQ(run_tool({"compile", shipped.path()}).exit_status, 0);
  // The largest line there can be: 1,000,000 m, stations filling the table, hundreds of
  // signals and slowdowns.
  const ScenarioSources sources = maximal_scenario(1);
  write_file_bytes(maximal.file("Massimo_linea.txt"), sources.line_source);
  write_file_bytes(maximal.file("Massimo_1-.txt"), sources.train_source);
  const std::vector<std::string> massimo = {"--line", "Massimo", "--train", "1"};
  std::vector<std::string> compile_maximal = {"compile", maximal.path()};
  compile_maximal.insert(compile_maximal.end(), massimo.begin(), massimo.end());
  ASSERT_EQ(run_tool(compile_maximal).exit_status, 0);

  const struct {
    const TempDir& dir;
    std::vector<std::string> options;
  } cases[] = {{shipped, {}}, {shipped, {"--from", "30", "--to", "20"}}, {maximal, massimo}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dir.path() + " " + (c.options.empty() ? "" : c.options[1]));
    const std::vector<Element> elements = plotted(c.dir, c.options);
    EXPECT_EQ(overlapping_labels(elements), "");
    EXPECT_LT(read_file_bytes(c.dir.file("line.svg")).size(), 600u * 1024);
    if (&c.dir == &maximal) {
      // Most of its stations get their names even so.
      size_t named = 0;
      const std::string on_plan = texts_in(elements, "plan-view");
      for (size_t at = on_plan.find("Stazione"); at != std::string::npos;
           at = on_plan.find("Stazione", at + 1)) {
        ++named;
      }
      EXPECT_GE(named, 20u);
    }
  }
}

TEST(PlotTest, ProfileAxesFitTheValues) {
  TempDir dir;
  write_file_bytes(dir.file("Viterbo_Attigliano_linea.txt"),
                   "[generale]\r\nlunghezza percorso, 5000\r\n[curve]\r\n[fine]\r\n");
  write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"), "[generale]\r\n[fine]\r\n");
  ASSERT_EQ(run_tool({"compile", dir.path()}).exit_status, 0);
  CompiledScenario compiled;
  ASSERT_TRUE(load_compiled(dir.path(), {"Viterbo_Attigliano", "7545"}, &compiled).ok());
  const struct {
    int gradient_low, gradient_high, speed_low, speed_high;
    bool at_field_limits;
  } cases[] = {{-60, 60, 50, 200, false}, {-100, 155, 5, 1275, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.gradient_high);
    // Half the cells at the low values, half at the high ones.
    for (size_t i = 0; i < compiled.cells.size(); ++i) {
      const bool high = i % 20 < 10;
      compiled.cells[i].gradient = uint8_t((high ? c.gradient_high : c.gradient_low) + 100);
      compiled.cells[i].speed = uint8_t((high ? c.speed_high : c.speed_low) / 5);
    }
    const std::vector<Element> elements =
        parse_xml(plot_svg(compiled, {"Viterbo_Attigliano", "7545"}));
    const struct {
      const char* group;
      int low, high;
    } profiles[] = {{"gradient", c.gradient_low, c.gradient_high},
                    {"speed", c.speed_low, c.speed_high}};
    for (const auto& profile : profiles) {
      SCOPED_TRACE(profile.group);
      // The axis's scale from its labelled values, and from it the values the profile shows.
      std::vector<std::pair<double, double>> ticks;  // value, baseline
      double lowest = 1e9, highest = -1e9;
      bool limit_marked = false;
      for (const Element& e : elements) {
        if (e.group != profile.group) continue;
        if (e.name == "text" && e.text.find("limit of the cell field") != std::string::npos) {
          limit_marked = true;
        } else if (e.name == "text" && !e.text.empty() &&
                   e.text.find_first_not_of("-0123456789") == std::string::npos) {
          ticks.emplace_back(std::stod(e.text), std::stod(e.attributes.at("y")));
        }
        if (e.name != "polyline") continue;
        std::istringstream in(e.attributes.at("points"));
        double x, y;
        char comma;
        while (in >> x >> comma >> y) {
          lowest = std::min(lowest, y);
          highest = std::max(highest, y);
        }
      }
      // A labelled value lies on the grid line nearest its label.
      std::vector<double> grid;
      for (const Element& e : elements) {
        if (e.group == profile.group && e.name == "line" &&
            e.attributes.at("y1") == e.attributes.at("y2")) {
          grid.push_back(std::stod(e.attributes.at("y1")));
        }
      }
      ASSERT_FALSE(grid.empty());
      for (auto& [value, y] : ticks) {
        const double label = y;
        y = *std::min_element(grid.begin(), grid.end(), [label](double a, double b) {
          return std::abs(a - label) < std::abs(b - label);
        });
      }
      ASSERT_GE(ticks.size(), 2u);
      const auto value_at = [&](double y) {
        const auto& [v0, y0] = ticks.front();
        const auto& [v1, y1] = ticks.back();
        return v0 + (y - y0) * (v1 - v0) / (y1 - y0);
      };
      EXPECT_NEAR(value_at(highest), profile.low, 1);
      EXPECT_NEAR(value_at(lowest), profile.high, 1);
      EXPECT_EQ(limit_marked, c.at_field_limits);
    }
  }
}

TEST(PlotTest, DrawsOnlyTheStretchAsked) {
  TempDir dir;
  write_shipped_sources(dir);
  ASSERT_EQ(run_tool({"compile", dir.path()}).exit_status, 0);
  // The shipped chainage falls along the line, from km 39+150 at Viterbo: km 30 to km 20 holds
  // Montefiascone only; from km 10 on come the Sipicciano stations and Attigliano.
  const struct {
    std::vector<std::string> options;
    std::vector<std::string> stations;
  } cases[] = {
      {{"--from", "30", "--to", "20"}, {"Montefiascone"}},
      {{"--from", "20", "--to", "30"}, {"Montefiascone"}},
      {{"--from", "30+000", "--to", "20.000"}, {"Montefiascone"}},
      {{"--from", "10"}, {"Sipicciano S. Nicola", "Sipicciano", "ATTIGLIANO"}},
      {{"--to", "12.5"}, {"VITERBO P. F.", "Montefiascone", "Grotte S. Stefano"}},
  };
  std::string first;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options[1]);
    const std::vector<Element> elements = plotted(dir, c.options);
    for (const char* group : {"plan-view", "objects"}) {
      const std::string texts = "\n" + texts_in(elements, group);
      for (const char* name : kShippedStations) {
        const bool drawn =
            std::find(c.stations.begin(), c.stations.end(), name) != c.stations.end();
        EXPECT_EQ(texts.find("\n" + std::string(name) + "\n") != std::string::npos, drawn)
            << group << ": " << name;
      }
    }
    if (c.options.size() == 4) {
      // The same stretch however it is written, and its km labels within it.
      const std::string svg = read_file_bytes(dir.file("line.svg"));
      if (first.empty()) first = svg;
      EXPECT_EQ(svg, first);
      for (const Element& e : elements) {
        if (e.name != "text" || e.group != "objects" || e.text.rfind("km ", 0) != 0) continue;
        const int km = std::stoi(e.text.substr(3));
        EXPECT_TRUE(km >= 20 && km <= 30) << e.text;
      }
    }
  }
}

TEST(PlotTest, RefusesAStretchNotOnTheLine) {
  TempDir dir;
  write_shipped_sources(dir);
  ASSERT_EQ(run_tool({"compile", dir.path()}).exit_status, 0);
  const std::vector<std::vector<std::string>> cases = {{"--from", "abc"},
                                                       {"--from", "-3"},
                                                       {"--from", "37+1000"},
                                                       {"--to", "37+"},
                                                       {"--from", "500"},

                                                       {"--from", "30", "--to", "30"},
                                                       {"--from", "30", "--to", "30+000"}};
  for (const std::vector<std::string>& options : cases) {
    SCOPED_TRACE(options[1]);
    std::vector<std::string> args = {"plot", dir.path(), "-o", dir.file("x.svg")};
    args.insert(args.end(), options.begin(), options.end());
    const ProcessResult result = run_tool(args);
    EXPECT_EQ(result.exit_status, 1) << result.err;
    EXPECT_FALSE(file_exists(dir.file("x.svg")));
  }
}

TEST(PlotTest, NeedsALinePlan) {
  TempDir dir;
  write_shipped_sources(dir);
  ASSERT_EQ(run_tool({"compile", dir.path(), "--no-plan"}).exit_status, 0);
  const ProcessResult result = run_tool({"plot", dir.path(), "-o", dir.file("x.svg")});
  EXPECT_EQ(result.exit_status, 4);
  EXPECT_NE(result.err.find("no line plan"), std::string::npos) << result.err;
  EXPECT_FALSE(file_exists(dir.file("x.svg")));
}

TEST(PlotTest, DistanceLabelsStayFewOnAnyRoute) {
  TempDir dir;
  write_file_bytes(dir.file("Viterbo_Attigliano_linea.txt"),
                   "[generale]\r\nlunghezza percorso, 1000\r\n[curve]\r\n[fine]\r\n");
  write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"), "[generale]\r\n[fine]\r\n");
  ASSERT_EQ(run_tool({"compile", dir.path()}).exit_status, 0);
  CompiledScenario compiled;
  ASSERT_TRUE(load_compiled(dir.path(), {"Viterbo_Attigliano", "7545"}, &compiled).ok());
  // The route's length as a scenario table may give it, up to the largest it can hold.
  for (const int32_t route : {1000, 1000000, 2147483647}) {
    SCOPED_TRACE(route);
    compiled.table[kRouteEntry].end = route;
    const std::string svg = plot_svg(compiled, {"Viterbo_Attigliano", "7545"});
    size_t labels = 0;
    for (size_t at = svg.find(" km</text>"); at != std::string::npos;
         at = svg.find(" km</text>", at + 1)) {
      ++labels;
    }
    EXPECT_GE(labels, 1u);
    EXPECT_LE(labels, 41u);
  }
}

// The picture's titles in Italian, their accents written once as UTF-8; what plot says too.
TEST(PlotTest, TitlesInItalian) {
  TempDir dir;
  write_shipped_sources(dir);
  ASSERT_EQ(run_tool({"compile", dir.path()}).exit_status, 0);
  const ProcessResult drew =
      run_tool({"plot", dir.path(), "-o", dir.file("line.svg"), "--lang=it", "--to", "10"});
  EXPECT_EQ(drew.out, "disegnato " + dir.file("line.svg") + "\n");
  const std::vector<Element> elements = parse_xml(read_file_bytes(dir.file("line.svg")));
  std::string texts;
  for (const Element& e : elements) {
    if (e.name == "text") texts += e.text + "\n";
  }
  for (const char* title : {"Planimetria (nord in alto)\n", "Pendenza (per mille)\n",
                            "Velocit\xC3\xA0 di linea (km/h)\n", "Tratto da 0 a "}) {
    EXPECT_NE(texts.find(title), std::string::npos) << title << "\n" << texts;
  }
  const ProcessResult off =
      run_tool({"plot", dir.path(), "-o", dir.file("x.svg"), "--lang=it", "--from", "90"});
  EXPECT_NE(off.err.find("km 90+000 non è sulla linea, che va dal "), std::string::npos) << off.err;
}
