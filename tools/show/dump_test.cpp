#include "tools/show/dump.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>

#include "common/file_io.h"
#include "compiler/line_plan.h"
#include "compiler/scenario_compiler.h"
#include "test_support/temp_dir.h"
#include "tools/testing/tool_fixture.h"

namespace {

bool same(const TableEntry& a, const TableEntry& b) {
  return a.kind == b.kind && a.start == b.start && a.end == b.end && a.position == b.position &&
         a.flag_a == b.flag_a && a.text == b.text && a.value_1 == b.value_1 &&
         a.value_2 == b.value_2 && a.value_3 == b.value_3 && a.value_4 == b.value_4 &&
         a.value_5 == b.value_5 && a.flag_b == b.flag_b && a.flag_c == b.flag_c &&
         a.flag_d == b.flag_d && a.flag_e == b.flag_e && a.time == b.time;
}

bool same(const TrackCell& a, const TrackCell& b) {
  return a.type == b.type && a.value_a == b.value_a && a.value_b == b.value_b &&
         a.value_c == b.value_c && a.value_d == b.value_d && a.signal_time == b.signal_time &&
         a.marker == b.marker && a.tunnel_kind == b.tunnel_kind && a.speed == b.speed &&
         a.gradient == b.gradient && a.adhesion == b.adhesion;
}

const ScenarioIdentity kShipped{"Viterbo_Attigliano", "7545"};

// Compiles the shipped sources in `dir` into `compiler`, and reads the files back into
// `compiled`.
void compile_shipped(const TempDir& dir, Compilation* compiler, CompiledScenario* compiled) {
  write_shipped_sources(dir);
  CompileOptions options;
  options.directory = dir.path();
  options.scenario = kShipped;
  ASSERT_EQ(memorizza_percorso(options, compiler).end, CompileEnd::kCompleted);
  const Status status = load_compiled(dir.path(), kShipped, compiled);
  ASSERT_TRUE(status.ok()) << status.message();
}

}  // namespace

TEST(DumpTest, ReadsBackExactlyWhatTheCompilerHeld) {
  TempDir dir;
  Compilation compiler;
  CompiledScenario compiled;
  ASSERT_NO_FATAL_FAILURE(compile_shipped(dir, &compiler, &compiled));
  for (int e = 0; e < kTableEntries; ++e)
    EXPECT_TRUE(same(compiled.table[e], compiler.records.table[e])) << e;
  ASSERT_EQ(compiled.cells.size(), compiler.records.cells.size());
  for (size_t i = 0; i < compiled.cells.size(); ++i) {
    EXPECT_TRUE(same(compiled.cells[i], compiler.records.cells[i])) << i;
  }
  ASSERT_TRUE(compiled.has_plan);
  EXPECT_EQ(compiled.plan.computed_end, compiler.records.plan.computed_end);
  EXPECT_TRUE(compiled.plan.origin_set);
  const std::vector<PlanPoint> points = plan_points(compiler.records.plan);
  ASSERT_EQ(points.size(), size_t(compiler.records.plan.computed_end));
  for (int32_t m = 0; m < compiler.records.plan.computed_end; ++m) {
    ASSERT_EQ(compiled.plan.x[m], points[m].x) << m;
    ASSERT_EQ(compiled.plan.y[m], points[m].y) << m;
  }
}

TEST(DumpTest, ShowsTheShippedScenarioForPeople) {
  TempDir dir;
  write_shipped_sources(dir);
  ASSERT_EQ(run_tool({"compile", dir.path()}).exit_status, 0);
  const ProcessResult result = run_tool({"dump", dir.path()});
  ASSERT_EQ(result.exit_status, 0) << result.err;
  const std::string& out = result.out;
  for (const char* station :
       {"VITERBO P. F.: kind 12, at 0 m, from -200 to 250 m, time 13:08:00",
        "Montefiascone: kind 24, at 12450 m, from 12300 to 12600 m, time 13:18:30",
        "Grotte S. Stefano: kind 24", "Sipicciano S. Nicola: kind 27", "Sipicciano: kind 24",
        "ATTIGLIANO: kind 22, at 38950 m, from 38750 to 39150 m, time 13:46:30"}) {
    EXPECT_NE(out.find(station), std::string::npos) << station;
  }
  for (int cell : {200, 208, 215, 220, 234, 697, 704, 710}) {
    char line[64];
    std::snprintf(line, sizeof line, "cell %4d  %6d m", cell, cell * 50);
    const size_t at = out.find(line);
    ASSERT_NE(at, std::string::npos) << line;
    EXPECT_NE(out.substr(at, out.find('\n', at) - at).find("speed restriction point, 180"),
              std::string::npos);
  }
  size_t points = 0;
  for (size_t at = out.find("speed restriction point"); at != std::string::npos;
       at = out.find("speed restriction point", at + 1)) {
    ++points;
  }
  EXPECT_EQ(points, 8u);
  EXPECT_NE(out.find("checksum 33432 (matches the line name and train number)"), std::string::npos);
  EXPECT_NE(out.find("speed     cells 0-40: 70 km/h; cells 41-159: 100 km/h"), std::string::npos);

  const ProcessResult json = run_tool({"dump", dir.path(), "--json"});
  EXPECT_EQ(json.exit_status, 0);
  EXPECT_NE(json.out.find("\"checksums_match\": true"), std::string::npos);
  const nlohmann::json train = nlohmann::json::parse(json.out)["scenario_table"]["entries"][86];
  EXPECT_EQ(train["index"], 86);
  EXPECT_EQ(train["role"], "train");
  // Each field its role uses is named; the start clock is in values 3 to 5.
  EXPECT_EQ(train["meanings"]["value_3"], "start clock, hours");
  EXPECT_EQ(train["meanings"].size(), 8u);
  EXPECT_FALSE(train["meanings"].contains("value_2"));
  EXPECT_NE(json.out.find("\"text\": \"VITERBO P. F.\""), std::string::npos);
}

TEST(DumpTest, RefusesFilesThatAreCutShortOrForeign) {
  TempDir dir;
  write_shipped_sources(dir);
  ASSERT_EQ(run_tool({"compile", dir.path()}).exit_status, 0);
  const std::string cells = dir.file("Viterbo_Attigliano_7545.dat");
  const std::string table = dir.file("Viterbo_Attigliano_7545.sim");
  const std::string plan = dir.file("Viterbo_Attigliano_linea.dat");
  const std::string cells_bytes = read_file_bytes(cells);
  const std::string table_bytes = read_file_bytes(table);
  const std::string plan_bytes = read_file_bytes(plan);
  const struct {
    const char* what;
    std::string path;
    std::string bytes;
    std::string message;
  } cases[] = {
      {"cells cut short", cells, cells_bytes.substr(0, 1000),
       cells + ": 1000 bytes is not a whole number of 15-byte track cells"},
      {"no cells", cells, "", cells + ": 0 bytes is not a whole number of 15-byte track cells"},
      {"table cut short", table, table_bytes.substr(0, 2000),
       table + ": cut short in table entry 51"},
      {"table with bytes after it", table, table_bytes + "x",
       table + ": 1 bytes follow the 87 table entries: not a scenario table"},
      {"a foreign plan", plan, std::string("\x07\x00\x01\x02", 4),
       plan + ": point type 7 at byte 0: not a line plan"},
      {"plan cut short", plan, plan_bytes.substr(0, plan_bytes.size() - 3),
       plan + ": cut short inside a point"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string original = read_file_bytes(c.path);
    write_file_bytes(c.path, c.bytes);
    for (const char* format : {"--json", ""}) {
      std::vector<std::string> args = {"dump", dir.path()};
      if (*format) args.push_back(format);
      const ProcessResult result = run_tool(args);
      EXPECT_TRUE(result.exited);
      EXPECT_EQ(result.exit_status, 4);
      EXPECT_EQ(result.err, "scenario-tool: " + c.message + "\n");
    }
    write_file_bytes(c.path, original);
  }
}

TEST(DumpTest, SaysWhenTheFilesComeFromAFailedCompilation) {
  const std::string line_start = "[generale]\r\nlunghezza percorso, 50000\r\n";
  const std::string train_start = "[generale]\r\nvelocita, 0, 70\r\n";
  const struct {
    const char* what;
    std::string line, train;
    std::vector<std::string> signs;  // a piece of each expected sign, in order
  } cases[] = {
      {"a clean compilation",
       line_start + "[x]\r\npendenza, 0, 3\r\n[fine]\r\n",
       train_start + "[fine]\r\n",
       {}},
      {"a feature beyond the cells leaves the rest whole",
       line_start + "[x]\r\npendenza, 56950, 3\r\n[fine]\r\n",
       train_start + "[fine]\r\n",
       {}},
      {"the train source stopped by a station off the grid",
       line_start + "[fine]\r\nx\r\n",
       train_start + "stazione, 1010, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 10,0,0, A\r\n[fine]\r\n",
       {"no cell holds a line speed, short of cell 1137"}},
      {"the line source stopped by two signboards in one cell",
       line_start + "[x]\r\npendenza, 0, 3\r\ncartello_indicatore, 2100, (a)\r\n"
                    "cartello_indicatore, 2110, (b)\r\n[fine]\r\n",
       train_start + "[fine]\r\n",
       {"no cell holds a gradient", "no cell holds a line speed",
        "the line plan stops at metre 1 of 56998"}},
      {"a chainage reference off the grid",
       line_start + "progressiva chilometrica uno, 0, 39025, 0\r\n[fine]\r\nx\r\n",
       train_start + "[fine]\r\n",
       {"table entry 81 (0 m, chainage 39025 m) is off the 50 m grid"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_file_bytes(dir.file("Viterbo_Attigliano_linea.txt"), c.line);
    write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"), c.train);
    run_tool({"compile", dir.path(), "--force"});
    const ProcessResult dump = run_tool({"dump", dir.path()});
    const ProcessResult json = run_tool({"dump", dir.path(), "--json"});
    const ProcessResult plot = run_tool({"plot", dir.path(), "-o", dir.file("plot.svg")});
    EXPECT_EQ(dump.exit_status, 0);
    // A plan that stopped at its origin leaves nothing to draw: plot says so, with the signs.
    const bool drawn = plot.exit_status == 0;
    EXPECT_EQ(drawn, c.signs.empty() || c.signs.back().find("line plan") == std::string::npos);
    const std::string svg = drawn ? read_file_bytes(dir.file("plot.svg")) : "";
    size_t at = 0;
    for (const std::string& sign : c.signs) {
      at = dump.out.find(sign, at);
      EXPECT_NE(at, std::string::npos) << sign << "\n" << dump.out;
      EXPECT_NE(dump.err.find(sign), std::string::npos) << dump.err;
      EXPECT_NE(json.out.find(sign), std::string::npos) << sign;
      EXPECT_NE(drawn ? svg.find(sign) : plot.err.find(sign), std::string::npos) << sign;
    }
    if (c.signs.empty()) {
      EXPECT_EQ(dump.out.find("signs of a failed compilation"), std::string::npos) << dump.out;
      EXPECT_EQ(dump.err, "");
      EXPECT_NE(json.out.find("\"signs_of_failed_compilation\": []"), std::string::npos);
      EXPECT_EQ(svg.find("class=\"failed\""), std::string::npos);
    }
  }
}

TEST(DumpTest, JsonWrittenARecordAtATimeIsLaidOutAsOneDumpedWhole) {
  TempDir dir;
  Compilation compiler;
  CompiledScenario compiled;
  ASSERT_NO_FATAL_FAILURE(compile_shipped(dir, &compiler, &compiled));
  // With and without a line plan; with no cell that holds anything, and so no run of tunnels.
  CompiledScenario bare = compiled;
  bare.has_plan = false;
  bare.cells.assign(1, TrackCell());
  for (const CompiledScenario* c : {&compiled, &bare}) {
    const std::string text = dump_json(*c, kShipped);
    EXPECT_EQ(text, nlohmann::ordered_json::parse(text).dump(2) + "\n");
  }
}

// The report for people in Italian: its labels aligned as in English, each kind of line a
// whole sentence; the JSON document is the same in both languages.
TEST(DumpTest, ShowsTheShippedScenarioInItalian) {
  TempDir dir;
  write_shipped_sources(dir);
  ASSERT_EQ(run_tool({"compile", dir.path()}).exit_status, 0);
  const ProcessResult result = run_tool({"dump", dir.path(), "--lang=it"});
  ASSERT_EQ(result.exit_status, 0) << result.err;
  for (const char* line : {
           "tabella dello scenario Viterbo_Attigliano_7545.sim\n"
           "  linea     Viterbo_Attigliano, sfondi 0 1 0\n",
           "\n  percorso  50000 m, massa frenata 100 %, 5 vetture\n"
           "  versione  610, somma di controllo 33432 (corrisponde al nome della linea e al "
           "numero del treno)\n",
           "     1  VITERBO P. F.: tipo 12, a 0 m, da -200 a 250 m, orario 13:08:00, contrassegni "
           "1 0 1 0 0, valori 4 1 2 1 1\n",
           "  cella  200   10000 m  ",
           "\n  velocità  celle 0-40: 70 km/h; celle 41-159: 100 km/h",
           "\n  galleria  celle ",
       }) {
    EXPECT_NE(result.out.find(line), std::string::npos) << line << "\n" << result.out;
  }
  // The JSON document differs only in the entries' meanings, which are words for people.
  const auto without_meanings = [](const std::string& text, std::set<std::string>* meanings) {
    nlohmann::ordered_json document = nlohmann::ordered_json::parse(text);
    for (auto& entry : document["scenario_table"]["entries"]) {
      if (!entry.contains("meanings")) continue;
      for (const auto& meaning : entry["meanings"].items()) {
        meanings->insert(meaning.value().get<std::string>());
      }
      entry.erase("meanings");
    }
    return document.dump();
  };
  std::set<std::string> italian_meanings, english_meanings;
  EXPECT_EQ(without_meanings(run_tool({"dump", dir.path(), "--json", "--lang=it"}).out,
                             &italian_meanings),
            without_meanings(run_tool({"dump", dir.path(), "--json"}).out, &english_meanings));
  EXPECT_EQ(italian_meanings.count("orario, secondi dopo la mezzanotte"), 1u);
  EXPECT_EQ(english_meanings.count("orario, secondi dopo la mezzanotte"), 0u);
}
