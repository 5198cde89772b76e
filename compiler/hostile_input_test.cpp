// Sources no author means to write: huge, with endless fields, past the largest route, with
// thousands of records. Each must end with its error code or a complete compilation, never a
// crash; their time is linear in their size (the tests print it, they assert no time).
#include <gtest/gtest.h>

#include <chrono>

#include "compiler/error_codes.h"
#include "compiler/scenario_compiler.h"

namespace {

struct Outcome {
  CompileEnd end;
  int32_t code;
  int32_t position;
  Compilation compiled;
};

// Compiles the two texts in memory, printing how long it took.
void compile(const std::string& line, const std::string& train, Outcome* out, const char* what) {
  const CompileOptions options = in_memory_options({"Viterbo_Attigliano", "7545"}, line, train);
  const auto start = std::chrono::steady_clock::now();
  out->end = memorizza_percorso(options, &out->compiled).end;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  std::printf("%s: %lld ms for %zu bytes\n", what, static_cast<long long>(ms),
              line.size() + train.size());
  out->code = out->compiled.log.error.code;
  out->position = out->compiled.log.error.position;
}

const std::string kTrain = "[generale]\r\nvelocita, 0, 70\r\naderenza, 0, 100\r\n[fine]\r\n";

std::string line_source(const std::string& features, int route = 50000) {
  return "[generale]\r\nlunghezza percorso, " + std::to_string(route) + "\r\n[x]\r\n" + features +
         "[fine]\r\n";
}

}  // namespace

TEST(HostileInputTest, AHundredMegabyteSource) {
  std::string fields;
  fields.reserve(100u << 20);
  while (fields.size() < (100u << 20)) fields += "abc,  def,ghi\r\n";
  Outcome out;
  compile(line_source(fields), kTrain, &out, "100 MB of fields matching no keyword");
  EXPECT_EQ(out.end, CompileEnd::kCompleted);
  EXPECT_EQ(out.code, 0);
}

TEST(HostileInputTest, TenMegabyteFieldsWithoutAComma) {
  const std::string field(10u << 20, 'a');
  Outcome plain;
  compile(line_source(field + "\r\n"), kTrain, &plain, "a 10 MB field");
  EXPECT_EQ(plain.code, 0);
  Outcome signboard;
  compile(line_source("cartello_indicatore, 2100, " + field + "\r\n"), kTrain, &signboard,
          "a 10 MB signboard text");
  EXPECT_EQ(signboard.code, kRunTimeFailure);
  EXPECT_NE(signboard.compiled.log.failure_message.find("longer than a table entry holds"),
            std::string::npos);
}

TEST(HostileInputTest, CurvesPastTheLargestPlan) {
  Outcome longest;
  compile(line_source("curvad4, 1000, 2000000\r\n", 1000000), kTrain, &longest,
          "a curve across metre 1,000,000");
  EXPECT_EQ(longest.code, kBadCurve);
  EXPECT_EQ(longest.compiled.records.plan.computed_end, 1000001);
  Outcome shorter;
  compile(line_source("curvad4, 1000, 2000000\r\n", 900000), kTrain, &shorter,
          "a curve past the end of the plan");
  EXPECT_EQ(shorter.code, kBeyondCells);
  EXPECT_EQ(shorter.position, 1000);
  EXPECT_EQ(shorter.compiled.records.plan.computed_end, 907001) << "computed up to its last metre";
}

TEST(HostileInputTest, TenThousandSignals) {
  std::string signals;
  for (int k = 0; k < 10000; ++k) {
    signals += "segnale, " + std::to_string(400 + 100 * k) + ", 2, 4, 1, 0, 0, 0, 0,0,0, 0\r\n";
  }
  Outcome out;
  compile(line_source("", 1000000), "[generale]\r\nvelocita, 0, 70\r\n" + signals + "[fine]\r\n",
          &out, "10,000 signals");
  EXPECT_EQ(out.end, CompileEnd::kCompleted);
  EXPECT_EQ(out.code, 0);
  int count = 0;
  for (const TrackCell& cell : out.compiled.records.cells) count += cell.type == kCellSignal;
  EXPECT_EQ(count, 10000);
}
