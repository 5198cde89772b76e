#include "tools/plot.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "common/file_io.h"
#include "test_support/temp_dir.h"
#include "tools/tool_fixture.h"

namespace {

// A small XML reader, enough to check that a picture is well-formed and to find its elements.
struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;  // the text directly inside the element
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
    elements.push_back(e);
    if (tag.back() != '/') open.push_back(elements.size() - 1);
  }
  EXPECT_TRUE(open.empty()) << "unclosed elements";
  return elements;
}

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

  for (const char* name : {"VITERBO P. F.", "Montefiascone", "Grotte S. Stefano",
                           "Sipicciano S. Nicola", "Sipicciano", "ATTIGLIANO"}) {
    EXPECT_NE(texts.find(std::string(name) + "\n"), std::string::npos) << name;
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
