// Runs the installer as a user would: copied into a folder of its own and started from
// elsewhere, without a display.
#include <gtest/gtest.h>

#include <filesystem>

#include "test_support/process.h"
#include "test_support/sha256.h"
#include "test_support/shipped_files.h"
#include "test_support/temp_dir.h"

namespace {

const char kExecutable[] = "Viterbo_Attigliano_7545";

// The installer copied into a fresh folder, ready to run from another working directory.
struct InstalledCopy {
  TempDir folder;
  TempDir elsewhere;

  InstalledCopy() { std::filesystem::copy_file(INSTALLER_PATH, folder.file(kExecutable)); }
  ProcessResult run() const {
    ProcessOptions options;
    options.working_directory = elsewhere.path();
    options.unset_environment = {"DISPLAY", "WAYLAND_DISPLAY"};
    return run_process({folder.file(kExecutable)}, options);
  }
};

void expect_shipped_text_files(const TempDir& folder) {
  for (const ShippedFile& file : shipped_text_files()) {
    EXPECT_EQ(sha256_hex(read_file_bytes(folder.file(file.name))), file.sha256) << file.name;
  }
}

}  // namespace

TEST(InstallerRunTest, WritesItsFilesBesideTheExecutableOnly) {
  InstalledCopy installed;
  const ProcessResult result = installed.run();
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");

  std::vector<std::string> expected = {kExecutable};
  for (const ShippedFile& file : shipped_text_files()) expected.push_back(file.name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(installed.folder.list(), expected);
  expect_shipped_text_files(installed.folder);
  EXPECT_TRUE(installed.elsewhere.list().empty()) << "wrote into the working directory";
}

TEST(InstallerRunTest, ASecondRunReplacesEveryFileWithTheSameBytes) {
  InstalledCopy installed;
  // Leftovers from elsewhere: longer than the real files, and one shorter.
  for (const ShippedFile& file : shipped_text_files()) {
    write_file_bytes(installed.folder.file(file.name), std::string(2 * file.bytes, '#'));
  }
  write_file_bytes(installed.folder.file(kTrainSourceFile.name), "[generale]\r\n");
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const ProcessResult result = installed.run();
    EXPECT_EQ(result.exit_status, 0);
    expect_shipped_text_files(installed.folder);
  }
}

TEST(InstallerRunTest, AFileThatCannotBeWrittenEndsTheRunWithItsNameAndReason) {
  InstalledCopy installed;
  // A directory where the notes should go: opening it as a file fails.
  std::filesystem::create_directory(installed.folder.file(kNotesFile.name));
  const ProcessResult result = installed.run();
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, std::string(kExecutable) + ": cannot create " +
                            installed.folder.file(kNotesFile.name) + ": Is a directory\n");
  // The files before it are written; none after it.
  EXPECT_TRUE(std::filesystem::is_regular_file(installed.folder.file(kLineSourceFile.name)));
  EXPECT_TRUE(std::filesystem::is_regular_file(installed.folder.file(kTrainSourceFile.name)));
  EXPECT_FALSE(std::filesystem::exists(installed.folder.file(kSlowdownOrderFile.name)));
  EXPECT_FALSE(std::filesystem::exists(installed.folder.file(kTrainSheetFile.name)));
}

TEST(ErrorReportTest, WithoutADisplayTheMessageGoesToStandardErrorAndTheRunFails) {
  for (const char* number : {"1250", "1251"}) {
    TempDir elsewhere;
    ProcessOptions options;
    options.working_directory = elsewhere.path();
    options.unset_environment = {"DISPLAY", "WAYLAND_DISPLAY"};
    const ProcessResult result = run_process({ERRORE_PROBE_PATH, number}, options);
    ASSERT_TRUE(result.exited) << number;
    EXPECT_EQ(result.exit_status, 3) << number;
    EXPECT_EQ(result.err, std::string(" Errore n. ") + number + "\n");
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(elsewhere.list().empty());
  }
}
