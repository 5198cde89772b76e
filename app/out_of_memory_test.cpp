// The installer and the authors' tool when memory runs out (a limit on the process's address
// space, below what a large source needs): one line says so and while doing what, the run
// exits with its own status, and the folder is as the atomic-replace promise says: the
// compiled files already there whole, no temporary file, no lock file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/scenario_identity.h"
#include "common/scenario_payload.h"
#include "test_support/process.h"
#include "test_support/shipped_files.h"
#include "test_support/temp_dir.h"

// AddressSanitizer reserves terabytes of address space, and cannot start under a limit on it.
#if defined(__SANITIZE_ADDRESS__)
#define ADDRESS_SPACE_LIMITS_WORK 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ADDRESS_SPACE_LIMITS_WORK 0
#endif
#endif
#ifndef ADDRESS_SPACE_LIMITS_WORK
#define ADDRESS_SPACE_LIMITS_WORK 1
#endif

namespace {

const char kExecutable[] = "Viterbo_Attigliano_7545";
const char kLineSource[] = "Viterbo_Attigliano_linea.txt";
const char kTrainSource[] = "Viterbo_Attigliano_7545-.txt";

// A line source of `bytes` that compiles with error code 0: a route and rows of a misspelt
// keyword, which the compiler passes over (and the tool warns about, each).
std::string large_line_source(size_t bytes) {
  const std::string row = "pendenze, 500, 3\r\n";
  std::string text = "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n";
  text.reserve(bytes + row.size() + 8);
  while (text.size() < bytes) text += row;
  return text + "[fine]\r\n";
}
const std::string kTrain = "[generale]\r\nvelocita, 0, 80\r\n[fine]\r\n";

// The source is 64 MiB; the limit lets a run hold it once with room to spare (the installer
// reads its payload a text at a time), never twice.
constexpr size_t kSourceBytes = size_t(64) << 20;
constexpr int kLimitKiB = 104 * 1024;

// Runs `argv` under the address-space limit, without a display.
ProcessResult run_limited(std::vector<std::string> argv) {
  argv.insert(argv.begin(), {"/bin/sh", "-c",
                             "ulimit -v " + std::to_string(kLimitKiB) + " && exec \"$0\" \"$@\""});
  ProcessOptions options;
  options.unset_environment = {"DISPLAY", "WAYLAND_DISPLAY"};
  ChildProcess child(argv, options);
  ProcessResult result;
  if (!child.wait(120000, &result)) ADD_FAILURE() << "the run did not end within two minutes";
  return result;
}

void write_earlier_compiled_files(const TempDir& folder) {
  for (const ShippedFile& file : shipped_compiled_files()) {
    write_file_bytes(folder.file(file.name), std::string("earlier ") + file.name);
  }
}

// The compiled files as they were, and neither a temporary nor the lock file beside them.
void expect_the_folder_as_it_was(const TempDir& folder) {
  for (const ShippedFile& file : shipped_compiled_files()) {
    EXPECT_EQ(read_file_bytes(folder.file(file.name)), std::string("earlier ") + file.name);
  }
  for (const std::string& name : folder.list()) {
    EXPECT_EQ(name.find(".scenario-tmp"), std::string::npos) << name;
    EXPECT_NE(name, lock_file_name());
  }
}

}  // namespace

TEST(OutOfMemoryTest, TheInstallerSaysSoAndLeavesTheCompiledFiles) {
  if (!ADDRESS_SPACE_LIMITS_WORK) GTEST_SKIP() << "no address-space limit under the sanitizer";
  TempDir folder;
  ScenarioPayload payload;
  payload.scenario = {kShippedLineName, kShippedTrainNumber};
  payload.line_source = large_line_source(kSourceBytes);
  payload.train_source = kTrain;
  payload.notes = "Note\r\n";
  write_file_bytes(folder.file(kExecutable),
                   read_file_bytes(INSTALLER_PATH) + encode_payload(payload));
  payload = ScenarioPayload();
  std::filesystem::permissions(folder.file(kExecutable), std::filesystem::perms::owner_all);
  write_earlier_compiled_files(folder);

  const ProcessResult result = run_limited({folder.file(kExecutable)});
  ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
  EXPECT_EQ(result.exit_status, 5);
  EXPECT_EQ(result.err, "Viterbo_Attigliano_7545: out of memory while compiling the sources\n");
  expect_the_folder_as_it_was(folder);
}

TEST(OutOfMemoryTest, TheToolSaysSoAndLeavesTheCompiledFiles) {
  if (!ADDRESS_SPACE_LIMITS_WORK) GTEST_SKIP() << "no address-space limit under the sanitizer";
  TempDir folder;
  write_file_bytes(folder.file(kLineSource), large_line_source(kSourceBytes));
  write_file_bytes(folder.file(kTrainSource), kTrain);
  write_earlier_compiled_files(folder);
  const struct {
    std::vector<std::string> args;
    const char* doing;
  } cases[] = {
      {{"compile", folder.path()}, "compiling"},
      {{"check", folder.path(), "--format=sarif", "--max-warnings", "0"}, "checking the sources"},
      {{"view", folder.path(), "-o", folder.file("view.html")}, "writing the route view"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    std::vector<std::string> argv = {SCENARIO_TOOL_PATH};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const ProcessResult result = run_limited(argv);
    ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
    EXPECT_EQ(result.exit_status, 5);
    // The line that says so is the last: what was reported before it may stand above it.
    const std::string said = std::string("scenario-tool: out of memory while ") + c.doing + "\n";
    EXPECT_EQ(result.err.substr(result.err.size() - std::min(result.err.size(), said.size())), said)
        << result.err.substr(0, 2000);
    expect_the_folder_as_it_was(folder);
    EXPECT_FALSE(std::filesystem::exists(folder.file("view.html")));
  }
}
