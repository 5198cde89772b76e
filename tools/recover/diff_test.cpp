#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "common/file_io.h"
#include "common/scenario_identity.h"
#include "common/scenario_payload.h"
#include "compiler/scenario_compiler.h"
#include "tools/commands/exit_status.h"
#include "tools/testing/tool_fixture.h"

namespace {

const ScenarioIdentity kShipped{kShippedLineName, kShippedTrainNumber};

std::string read_bytes(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(read_file(path, &bytes).ok()) << path;
  return bytes;
}

// The shipped sources in `dir`, with `from` replaced by `to` in the one that holds it, compiled
// there.
void compiled_with_edit(const TempDir& dir, const std::string& from = "",
                        const std::string& to = "") {
  write_shipped_sources(dir);
  if (!from.empty()) {
    bool edited = false;
    for (const std::string& name : {line_source_name(kShipped), train_source_name(kShipped)}) {
      const std::string text = read_bytes(dir.file(name));
      if (text.find(from) == std::string::npos) continue;
      ASSERT_TRUE(replace_file(dir.file(name), replace_all(text, from, to)).ok());
      edited = true;
    }
    ASSERT_TRUE(edited) << from;
  }
  ASSERT_EQ(run_tool({"compile", dir.path()}).exit_status, kExitClean) << from;
}

}  // namespace

TEST(DiffTest, EachSingleEditIsNamed) {
  struct Case {
    const char* from;
    const char* to;
    const char* named;  // in the report
    const char* place;  // a source line it names
  };
  const Case cases[] = {
      {"stazione,   38950, 22", "stazione,   38850, 22",
       "station ATTIGLIANO moved: km 0+200 → km 0+300", "_7545-.txt:23"},
      {", Montefiascone", ", Montefiascone Z",
       "station Montefiascone Z renamed at km 26+700: Montefiascone → Montefiascone Z",
       "_7545-.txt:19"},
      {"13,46,30, ATTIGLIANO", "13,47,30, ATTIGLIANO",
       "station ATTIGLIANO retimed at km 0+200: 13:46:30 → 13:47:30", "_7545-.txt:23"},
      {"velocita,    8000,    75", "velocita,    8000,    60",
       "speed limit changed from km 31+150 to km 26+500: 75 km/h → 60 km/h", "_7545-.txt:11"},
      {"pendenza,  6350,   -15", "pendenza,  6350,   -12",
       "gradient changed from km 32+800 to km 31+400: -15 per mille → -12 per mille",
       "_linea.txt:61"},
      {"aderenza,   0,    100", "aderenza,   0,    100\r\naderenza,   20000,    80",
       "adhesion changed from km 19+150 to ", "_7545-.txt:8"},
      {"segnale,   10000,",
       "segnale,   15000,   2, 4, 1,  0, 0,    0,  0,0,0, 0\r\nsegnale,   10000,",
       "signal added at km 24+150: 2, 4, 1, 0, 0, 0, 0, 0, 0, 0", "_7545-.txt:28"},
      {"segnale,   21100,", "segnxle,   21100,", "signal removed at km 18+050", "_7545-.txt:30"},
      {"segnale,   11000,   2, 3, 1", "segnale,   11000,   2, 5, 1",
       "signal changed at km 28+150: 2, 3, 1, 0, 0, 0, 0, 0, 0, 0 → 2, 5, 1,", "_7545-.txt:29"},
      {"indicatori_vmax,  2050,  95,", "indicatori_vmax,  2050,  90,",
       "speed board changed at km 37+100: 95, 100, 105", "_linea.txt:110"},
      {"(______)(______)(______)", "(X)",
       "signboard changed at km 36+150: (______)(______)(______) → (X)", "_linea.txt:"},
      {"rallentamento,   35700,    30", "rallentamento,   35700,    40",
       "slowdown changed from km 3+450 to km 3+150: 30 km/h", "_7545-.txt:26"},
      {"montagna,   30600,  31200,  2", "montagna,   30600,  31400,  2",
       "tunnel changed from km 8+550 to km 7+750: to km 7+950, kind 2 → to km 7+750, kind 2",
       "_linea.txt:105"},
      {"curvad5,  12000,  250", "curvad6,  12000,  250",
       "curve changed from km 27+150 to km 26+900: curvad5, 250 m → curvad6, 250 m",
       "_linea.txt:20"},
      {"numero vetture,    5", "numero vetture,    6", "train cars changed: 5 → 6", ""},
  };
  TempDir a;
  compiled_with_edit(a);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    TempDir b;
    compiled_with_edit(b, c.from, c.to);
    const ProcessResult r = run_tool({"diff", a.path(), b.path()});
    EXPECT_EQ(r.exit_status, kExitDiffFound) << r.err;
    EXPECT_NE(r.out.find(c.named), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(c.place), std::string::npos) << r.out;
  }
}

TEST(DiffTest, TheSameScenarioGivesNoChange) {
  TempDir a, b;
  compiled_with_edit(a);
  compiled_with_edit(b);
  // The sources need not be there: the compiled files are compared.
  ASSERT_TRUE(delete_file(b.file(line_source_name(kShipped))).ok());
  const ProcessResult r = run_tool({"diff", a.path(), b.path()});
  EXPECT_EQ(r.exit_status, kExitClean) << r.out << r.err;
  EXPECT_EQ(r.out, "no differences\n");
}

TEST(DiffTest, TwoInstallersAndJson) {
  TempDir sources, installers;
  write_shipped_sources(sources);
  ScenarioPayload p;
  p.scenario = {"Altra_Linea", "2301"};
  p.line_source = read_bytes(sources.file(line_source_name(kShipped)));
  p.train_source = replace_all(read_bytes(sources.file(train_source_name(kShipped))),
                               "velocita,    8000,    75", "velocita,    8000,    60");
  p.notes = p.slowdown_order = p.train_sheet = "x\r\n";
  ASSERT_TRUE(
      replace_file(installers.file("b.exe"), read_bytes(INSTALLER_PATH) + encode_payload(p)).ok());
  const ProcessResult r =
      run_tool({"diff", INSTALLER_PATH, installers.file("b.exe"), "--format=json"});
  EXPECT_EQ(r.exit_status, kExitDiffFound) << r.err;
  const nlohmann::json changes = nlohmann::json::parse(r.out);
  ASSERT_EQ(changes.size(), 1u) << r.out;
  EXPECT_EQ(changes[0]["kind"], "speed limit");
  EXPECT_EQ(changes[0]["what"], "changed");
  EXPECT_EQ(changes[0]["from"], 8000);
  EXPECT_EQ(changes[0]["to"], 12650);
  EXPECT_EQ(changes[0]["before"], "75 km/h");
  EXPECT_EQ(changes[0]["after"], "60 km/h");
  EXPECT_NE(changes[0]["places"].dump().find("b.exe:Altra_Linea_2301-.txt:11"), std::string::npos)
      << r.out;
  // The same installer twice: nothing.
  EXPECT_EQ(run_tool({"diff", INSTALLER_PATH, INSTALLER_PATH}).exit_status, kExitClean);
}

TEST(DiffTest, TroubleIsStatusTwo) {
  TempDir a, empty;
  compiled_with_edit(a);
  const ProcessResult none = run_tool({"diff", a.path(), empty.path()});
  EXPECT_EQ(none.exit_status, kExitDiffTrouble);
  EXPECT_NE(none.err.find("holds 0 compiled scenarios"), std::string::npos) << none.err;
  EXPECT_EQ(run_tool({"diff", a.path()}).exit_status, kExitDiffTrouble);
  EXPECT_EQ(run_tool({"diff", a.path(), a.file("nothing")}).exit_status, kExitDiffTrouble);
}

// The report in Italian: each change's kind, what became of it, its place and the count, by the
// language's plural; the JSON document is the same in both languages.
TEST(DiffTest, SaysItsChangesInItalian) {
  const struct {
    const char* from;
    const char* to;
    const char* said;  // the whole report, or a line of it when `whole` is false
    bool whole;
    const char* train_from = "";  // a second edit, of the train source
    const char* train_to = "";
  } cases[] = {
      {"", "", "nessuna differenza\n", true},
      {"numero vetture,    5", "numero vetture,    6",
       "numero di vetture, valori cambiati: 5 → 6\n1 differenza\n", true},
      {"numero vetture,    5", "numero vetture,    6",
       "numero di vetture, valori cambiati: 5 → 6\nsabbia, valori cambiati: 100 → 90\n"
       "2 differenze\n",
       true, "sabbia,    100", "sabbia,    90"},
      {"segnale,   10000,",
       "segnale,   15000,   2, 4, 1,  0, 0,    0,  0,0,0, 0\r\nsegnale,   10000,",
       "segnale in più al km 24+150: 2, 4, 1, 0, 0, 0, 0, 0, 0, 0\n", false},
      {"segnale,   21100,", "segnxle,   21100,", "segnale in meno al km 18+050: ", false},
      {"stazione,   38950, 22", "stazione,   38850, 22",
       "stazione ATTIGLIANO, posizione cambiata: km 0+200 → km 0+300\n", false},
      {"velocita,    8000,    75", "velocita,    8000,    60",
       "limite di velocità, valori cambiati dal km 31+150 al km 26+500: 75 km/h → 60 km/h\n",
       false},
      {"rallentamento,   35700,    30", "rallentamento,   35700,    40",
       "rallentamento, valori cambiati dal km 3+450 al km 3+150: 30 km/h su 300 m, contrassegno ",
       false},
  };
  TempDir a;
  compiled_with_edit(a);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from);
    TempDir b;
    compiled_with_edit(b, c.from, c.to);
    if (*c.train_from != '\0') {
      const std::string train = b.file(train_source_name(kShipped));
      ASSERT_TRUE(
          replace_file(train, replace_all(read_bytes(train), c.train_from, c.train_to)).ok());
      ASSERT_EQ(run_tool({"compile", b.path()}).exit_status, kExitClean);
    }
    const ProcessResult r = run_tool({"diff", a.path(), b.path(), "--lang=it"});
    if (c.whole) {
      EXPECT_EQ(r.out, c.said);
    } else {
      EXPECT_NE(r.out.find(c.said), std::string::npos) << r.out;
    }
    const ProcessResult json = run_tool({"diff", a.path(), b.path(), "--format=json", "--lang=it"});
    EXPECT_EQ(json.out, run_tool({"diff", a.path(), b.path(), "--format=json"}).out);
  }
}
