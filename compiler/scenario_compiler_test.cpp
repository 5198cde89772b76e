#include "compiler/scenario_compiler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "common/file_io.h"
#include "common/little_endian.h"
#include "compiler/binary_layout.h"
#include "compiler/checked_math.h"
#include "compiler/checksums.h"
#include "compiler/compiler_fixture.h"
#include "compiler/error_codes.h"

namespace {

// A signed value of `size` bytes at `at`, through the decoder that reads the files back.
int64_t little_endian_at(const std::string& bytes, size_t at, int size) {
  const std::string from = bytes.substr(at, size_t(size));
  LittleEndianReader in(from);
  if (size == 2) return in.i16();
  if (size == 4) return in.i32();
  const double value = in.f64();
  int64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Offset of table entry `index` in a .sim file.
size_t entry_offset(const std::string& sim, int index) {
  size_t at = 0;
  for (int e = 0; e < index; ++e) at += 34 + little_endian_at(sim, at + 14, 2);
  return at;
}

}  // namespace

// A short plan fits a piece or two; a long one is written a piece at a time, its x and y halves
// side by side, each piece at its place: either way the file holds the encoded plan.
TEST(ScenarioCompilerTest, ThePlanFileHoldsTheEncodedPlanForShortAndLongRoutes) {
  for (const char* metres : {"50000", "300000"}) {
    SCOPED_TRACE(metres);
    CompilerFixture f;
    const std::string general = std::string("lunghezza percorso, ") + metres + "\r\n";
    ASSERT_EQ(f.compile_line(small_line_source("", general)).end, CompileEnd::kCompleted);
    const std::string plan = read_file_bytes(f.dir.file("Viterbo_Attigliano_linea.dat"));
    EXPECT_EQ(plan.size(), 2 * line_plan_half_bytes(f.compiled.records.plan));
    EXPECT_TRUE(plan == encode_line_plan(f.compiled.records.plan))
        << "the file differs from the plan";
  }
}

TEST(ScenarioCompilerTest, ShippedLineWritesThreeFilesWithVersionWordsAndChecksums) {
  CompilerFixture f;
  ASSERT_EQ(f.compile_line(shipped_line_source()).end, CompileEnd::kCompleted);

  const std::string plan = read_file_bytes(f.dir.file("Viterbo_Attigliano_linea.dat"));
  // Per coordinate: metres 0 and 1 whole (4 bytes), 56997 doubles (10), two unset (2).
  ASSERT_EQ(plan.size(), 2u * (2 * 4 + 56997 * 10 + 2 * 2));
  EXPECT_EQ(little_endian_at(plan, 0, 2), 2);  // first element: tag 2, value 0
  EXPECT_EQ(little_endian_at(plan, 2, 2), 0);
  EXPECT_EQ(little_endian_at(plan, plan.size() - 2, 2), 0);  // last element: tag 0 alone
  const size_t y_start = plan.size() / 2;
  EXPECT_EQ(little_endian_at(plan, y_start + 4, 2), 2);
  EXPECT_EQ(little_endian_at(plan, y_start + 6, 2), 1);  // metre 1 at y = 1
  EXPECT_EQ(little_endian_at(plan, y_start + 8, 2), 5);  // metre 2: a double
  double y2;
  const int64_t bits = little_endian_at(plan, y_start + 10, 8);
  std::memcpy(&y2, &bits, 8);
  EXPECT_EQ(y2, 2.0);

  const std::string cells = read_file_bytes(f.dir.file("Viterbo_Attigliano_7545.dat"));
  ASSERT_EQ(cells.size(), 1141u * 15);
  EXPECT_EQ(little_endian_at(cells, 15 + 1, 2), 5121);  // cell 1: version word
  EXPECT_EQ(little_endian_at(cells, 15 + 3, 2), 2431);  // and codice_gara_og

  const std::string sim = read_file_bytes(f.dir.file("Viterbo_Attigliano_7545.sim"));
  const size_t line = entry_offset(sim, 85);
  EXPECT_EQ(sim.substr(line + 16, 18), "Viterbo_Attigliano");
  EXPECT_EQ(little_endian_at(sim, line + 16 + 18, 2), 610);
  EXPECT_EQ(little_endian_at(sim, line + 16 + 18 + 14, 4), 33432);
  const size_t train = entry_offset(sim, 86);
  EXPECT_EQ(sim.substr(train + 16, 4), "7545");
  EXPECT_EQ(sim.size(), train + 34 + 4);
  EXPECT_EQ(entry_offset(sim, 1), 34u) << "entry 0 is empty";
  EXPECT_EQ(sim.substr(entry_offset(sim, 80) + 16, 22), "(Cippo Km.)( 37+000  )");
}

TEST(ScenarioCompilerTest, ChecksumsOfTheTrainNumberAndLineName) {
  const struct {
    const char* line;
    const char* train;
    int32_t st, og;
  } cases[] = {
      {"Viterbo_Attigliano", "7545", 33432, 2431},
      {"VITERBO_ATTIGLIANO", "7545", 33432, 2431},  // lowered first
      {"", "abc", 33756, 2546},
      {"", "ABC", 33756, 2546},
  };
  for (const auto& c : cases) {
    ScenarioTable table;
    table[kLineEntry].text = c.line;
    table[kTrainEntry].text = c.train;
    EXPECT_EQ(codice_gara_st(table), c.st) << c.line << c.train;
    EXPECT_EQ(codice_gara_og(table), c.og) << c.line << c.train;
  }
  // Past 25 characters the rest plays no part.
  ScenarioTable a, b;
  a[kTrainEntry].text = std::string(25, 'x') + "1";
  b[kTrainEntry].text = std::string(25, 'x') + "2";
  EXPECT_EQ(codice_gara_st(a), codice_gara_st(b));
  // Accented capitals lower in Windows-1252 too.
  a[kTrainEntry].text = "\xC8";
  b[kTrainEntry].text = "\xE8";
  EXPECT_EQ(codice_gara_og(a), codice_gara_og(b));
}

TEST(ScenarioCompilerTest, NamesGoIntoTheTableInWindows1252) {
  // The identity is UTF-8, as file names are built from it; the table holds one Windows-1252
  // byte a character, and the checksums count those bytes.
  TempDir dir;
  const ScenarioIdentity scenario{"Citt\xC3\xA0_\xC3\x80lta", "7545\xC3\x91"};
  write_file_bytes(dir.file("Citt\xC3\xA0_\xC3\x80lta_linea.txt"), small_line_source(""));
  write_file_bytes(dir.file("Citt\xC3\xA0_\xC3\x80lta_7545\xC3\x91-.txt"),
                   "[generale]\r\nvelocita, 0, 70\r\n[fine]\r\n");
  CompileOptions options = CompilerFixture::default_options(dir.path());
  options.scenario = scenario;
  options.build_plan = false;
  Compilation compiled;
  ASSERT_EQ(memorizza_percorso(options, &compiled).end, CompileEnd::kCompleted);
  EXPECT_EQ(compiled.log.error.code, 0);
  const std::string sim = read_file_bytes(dir.file("Citt\xC3\xA0_\xC3\x80lta_7545\xC3\x91.sim"));
  const size_t line = entry_offset(sim, kLineEntry);
  EXPECT_EQ(little_endian_at(sim, line + 14, 2), 10);
  EXPECT_EQ(sim.substr(line + 16, 10), "Citt\xE0_\xC0lta");
  EXPECT_EQ(sim.substr(entry_offset(sim, kTrainEntry) + 16, 5), "7545\xD1");
  // "7545ñcittà_àlta" and the pad: each accented letter counts as its one byte.
  EXPECT_EQ(compiled.records.table[kLineEntry].time, 35826);
  EXPECT_EQ(compiled.records.cells[kHeaderCell].value_b, 2744);

  // Without the accented train number: the figures of the line name alone.
  ScenarioTable plain;
  plain[kLineEntry].text = scenario_text("Citt\xC3\xA0_\xC3\x80lta");
  plain[kTrainEntry].text = scenario_text("7545");
  EXPECT_EQ(codice_gara_st(plain), 34881);
  EXPECT_EQ(codice_gara_og(plain), 2605);

  // A name Windows-1252 cannot hold is a run-time failure, never bytes of another encoding.
  EXPECT_THROW(scenario_text("\xD0\x9C\xD0\xBE\xD1\x81"), RunTimeFailure);
}

TEST(ScenarioCompilerTest, TakenVersionOrChecksumSlotsWriteNothing) {
  const struct {
    const char* what;
    std::string features;
    int integrity_error;
  } cases[] = {
      {"a signboard in cell 1", "cartello_indicatore, 0, (x)\r\n", 1250},
      {"a speed indicator code in cell 1", "indicatori_vmax, 0, 65,70,80,0,,,,0\r\n", 1250},
      {"a second speed code alone in cell 1", "indicatori_vmax, 0, 0,5,0,0,,,,0\r\n", 1251},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CompilerFixture f;
    write_file_bytes(f.dir.file("Viterbo_Attigliano_7545.dat"), "earlier");
    const CompileResult result = f.compile_line(small_line_source(c.features));
    EXPECT_EQ(result.end, CompileEnd::kIntegrityError);
    EXPECT_EQ(result.integrity_error, c.integrity_error);
    EXPECT_EQ(read_file_bytes(f.dir.file("Viterbo_Attigliano_7545.dat")), "earlier");
    EXPECT_FALSE(file_exists(f.dir.file("Viterbo_Attigliano_7545.sim")));
    EXPECT_FALSE(file_exists(f.dir.file("Viterbo_Attigliano_linea.dat")));
    EXPECT_FALSE(file_exists(f.line_source_path()));
  }
}

TEST(ScenarioCompilerTest, WithoutThePlanOnlyTheTableAndCellsAreWritten) {
  CompilerFixture f;
  write_file_bytes(f.dir.file("Viterbo_Attigliano_linea.dat"), "earlier plan");
  write_file_bytes(f.dir.file("Viterbo_Attigliano_7545.dat"), std::string(100000, 'x'));
  ASSERT_EQ(f.compile_line(shipped_line_source(), 0).end, CompileEnd::kCompleted);
  EXPECT_EQ(read_file_bytes(f.dir.file("Viterbo_Attigliano_linea.dat")), "earlier plan");
  EXPECT_EQ(read_file_bytes(f.dir.file("Viterbo_Attigliano_7545.dat")).size(), 1141u * 15);
  EXPECT_TRUE(file_exists(f.dir.file("Viterbo_Attigliano_7545.sim")));
}

TEST(ScenarioCompilerTest, AuthorsSourcesCanBeKept) {
  CompilerFixture f;
  f.options.sources = SourceHandling::kKeep;
  f.compile_line("[generale]\r\nlunghezza percorso, x\r\n[fine]\r\n");  // error 25
  EXPECT_EQ(f.compiled.log.error.code, kRunTimeFailure);
  EXPECT_NE(f.compiled.log.failure_message.find("\"x\" is not a number"), std::string::npos);
  EXPECT_TRUE(file_exists(f.line_source_path()));
  EXPECT_TRUE(file_exists(f.train_source_path()));
}

TEST(ScenarioCompilerTest, ACompiledFileThatCannotBeWrittenIsReported) {
  CompilerFixture f;
  std::filesystem::create_directory(f.dir.file("Viterbo_Attigliano_7545.sim"));
  const CompileResult result = f.compile_line(shipped_line_source());
  EXPECT_EQ(result.end, CompileEnd::kFileFault);
  EXPECT_EQ(result.status.message(),
            "cannot replace " + f.dir.file("Viterbo_Attigliano_7545.sim") + ": Is a directory");
  EXPECT_TRUE(file_exists(f.dir.file("Viterbo_Attigliano_linea.dat")));
  EXPECT_FALSE(file_exists(f.dir.file("Viterbo_Attigliano_7545.dat")));
}
