// The tool's time and output against the size of what it is given: sources that give a warning
// on every row, one long source line full of warnings, a number padded with blanks, and track
// cells full of slowdown starts without ends. Each is run at a size and at four times that size;
// the time may grow about fourfold (linear), not sixteenfold (quadratic), and the report of a
// source stays bounded however many warnings it gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <string>

#include "common/file_io.h"
#include "test_support/temp_dir.h"
#include "tools/testing/tool_fixture.h"

namespace {

const char kLineSource[] = "Viterbo_Attigliano_linea.txt";
const char kTrainSource[] = "Viterbo_Attigliano_7545-.txt";
const std::string kGeneral = "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n";
const std::string kTrain = "[generale]\r\nvelocita, 0, 80\r\n[fine]\r\n";

// Rows repeated to about `bytes`.
std::string repeated(const std::string& row, size_t bytes) {
  std::string text;
  text.reserve(bytes + row.size());
  while (text.size() < bytes) text += row;
  return text;
}

struct TimedRun {
  double seconds;
  ProcessResult result;
};

// The fastest of seven runs of each of two tool commands (a source and one four times as large),
// the two taking turns, so that whatever else the machine does slows both alike; the other runs
// were slowed by it.
std::array<TimedRun, 2> fastest(const std::array<std::vector<std::string>, 2>& args) {
  std::array<TimedRun, 2> best{TimedRun{1e9, {}}, TimedRun{1e9, {}}};
  for (int i = 0; i < 7; ++i) {
    for (int k = 0; k < 2; ++k) {
      const auto start = std::chrono::steady_clock::now();
      ProcessResult result = run_tool_process(args[k]);
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      EXPECT_TRUE(result.exited) << args[k][0];
      if (seconds < best[k].seconds) best[k] = {seconds, std::move(result)};
    }
  }
  return best;
}

size_t longest_line(const std::string& text) {
  size_t longest = 0;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    longest = std::max(longest, end - at);
    at = end + 1;
  }
  return longest;
}

// Fourfold growth is linear; quadratic would be sixteenfold. The margin leaves room for a shared
// machine's noise and for n log n.
constexpr double kMostGrowth = 10;

}  // namespace

TEST(GrowthTest, CheckingSourcesFullOfWarnings) {
  const struct {
    const char* what;
    size_t size;                                     // then four times as much
    std::function<std::string(size_t)> line_source;  // of about the given size
  } cases[] = {
      {"a misspelt keyword on every row", 64 * 1024,
       [](size_t bytes) {
         return kGeneral + repeated("pendenze, 500, 3\r\n", bytes) + "[fine]\r\n";
       }},
      {"every curve out of order and overlapping", 64 * 1024,
       [](size_t bytes) {
         return kGeneral + repeated("curvad4, 500, 300\r\n", bytes) + "[fine]\r\n";
       }},
      {"one line of misspelt keywords", 16 * 1024,
       [](size_t bytes) { return kGeneral + repeated("pendenze,", bytes) + "\r\n[fine]\r\n"; }},
      {"one line of curves out of order", 16 * 1024,
       [](size_t bytes) {
         return kGeneral + repeated("curvad4, 500, 300, ", bytes) + "\r\n[fine]\r\n";
       }},
      {"a misspelt keyword as long as the source", 64 * 1024,
       [](size_t bytes) { return kGeneral + repeated("pendenze ", bytes) + "\r\n[fine]\r\n"; }},
      {"a quoted route length padded with blanks", 64 * 1024,
       [](size_t bytes) {
         return "[generale]\r\nlunghezza percorso, \"" + std::string(bytes, ' ') +
                "50000\"\r\n[curve]\r\n[fine]\r\n";
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dirs[2];
    for (int k = 0; k < 2; ++k) {
      write_file_bytes(dirs[k].file(kLineSource), c.line_source(c.size << (2 * k)));
      write_file_bytes(dirs[k].file(kTrainSource), kTrain);
    }
    const std::array<TimedRun, 2> runs =
        fastest({{{"check", dirs[0].path()}, {"check", dirs[1].path()}}});
    for (int k = 0; k < 2; ++k) {
      EXPECT_EQ(last_line(runs[k].result.out), "error_code=0 error_position=0");
      // Every line of the report is short, and the whole of it does not grow with the warnings.
      EXPECT_LE(longest_line(runs[k].result.err + runs[k].result.out), dirs[k].path().size() + 300);
      EXPECT_LE(runs[k].result.err.size() + runs[k].result.out.size(), 24 * 1024u);
    }
    EXPECT_LT(runs[1].seconds / runs[0].seconds, kMostGrowth)
        << runs[0].seconds << " s, then " << runs[1].seconds << " s";
  }
}

TEST(GrowthTest, EveryWarningOfALongLineShown) {
  // Shown all, each warning's excerpt is bounded: the report grows with the warnings only (the
  // whole line under each warning made it grow with the square of the line).
  size_t bytes[2];
  double seconds[2];
  TempDir dirs[2];
  for (int k = 0; k < 2; ++k) {
    write_file_bytes(dirs[k].file(kLineSource),
                     kGeneral + repeated("pendenze,", size_t(8 * 1024) << (2 * k)) + "\r\n");
    write_file_bytes(dirs[k].file(kTrainSource), kTrain);
  }
  const std::array<TimedRun, 2> runs =
      fastest({{{"check", dirs[0].path(), "--max-warnings", "0"},
                {"check", dirs[1].path(), "--max-warnings", "0"}}});
  for (int k = 0; k < 2; ++k) {
    const TimedRun& run = runs[k];
    EXPECT_LE(longest_line(run.result.err + run.result.out), dirs[k].path().size() + 300);
    bytes[k] = run.result.err.size() + run.result.out.size();
    seconds[k] = run.seconds;
  }
  EXPECT_LT(double(bytes[1]) / bytes[0], 4.5);
  EXPECT_LT(seconds[1] / seconds[0], kMostGrowth) << seconds[0] << " s, then " << seconds[1];
}

TEST(GrowthTest, PlottingSlowdownStartsWithoutEnds) {
  double seconds[2];
  size_t svg_bytes[2];
  TempDir dirs[2];
  for (int k = 0; k < 2; ++k) {
    write_file_bytes(dirs[k].file(kLineSource), kGeneral + "[fine]\r\n");
    write_file_bytes(dirs[k].file(kTrainSource), kTrain);
    ASSERT_EQ(run_tool_process({"compile", dirs[k].path()}).exit_status, 0);
    // Track cells that each hold a slowdown start (type 3) whose end never comes.
    std::string cell(15, '\0');
    cell[0] = 3;
    write_file_bytes(dirs[k].file("Viterbo_Attigliano_7545.dat"),
                     repeated(cell, size_t(15 * 10000) << (2 * k)));
  }
  const std::array<TimedRun, 2> runs =
      fastest({{{"plot", dirs[0].path(), "-o", dirs[0].file("line.svg")},
                {"plot", dirs[1].path(), "-o", dirs[1].file("line.svg")}}});
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(runs[k].result.exit_status, 0) << runs[k].result.err;
    seconds[k] = runs[k].seconds;
    svg_bytes[k] = read_file_bytes(dirs[k].file("line.svg")).size();
  }
  EXPECT_LT(double(svg_bytes[1]) / svg_bytes[0], 4.5);
  EXPECT_LT(seconds[1] / seconds[0], kMostGrowth) << seconds[0] << " s, then " << seconds[1];
}
