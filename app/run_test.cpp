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
  // Without a display, unless `environment` names one.
  ProcessResult run(std::vector<std::pair<std::string, std::string>> environment = {}) const {
    ProcessOptions options;
    options.working_directory = elsewhere.path();
    options.unset_environment = {"DISPLAY", "WAYLAND_DISPLAY"};
    options.set_environment = std::move(environment);
    return run_process({folder.file(kExecutable)}, options);
  }
};

// What a complete run leaves: the three documents and the three compiled files, no source.
std::vector<ShippedFile> files_of_a_complete_run() {
  std::vector<ShippedFile> files = shipped_compiled_files();
  for (const ShippedFile& file : {kNotesFile, kSlowdownOrderFile, kTrainSheetFile}) {
    files.push_back(file);
  }
  return files;
}

void expect_files_of_a_complete_run(const TempDir& folder) {
  for (const ShippedFile& file : files_of_a_complete_run()) {
    const std::string bytes = read_file_bytes(folder.file(file.name));
    EXPECT_EQ(bytes.size(), file.bytes) << file.name;
    EXPECT_EQ(sha256_hex(bytes), file.sha256) << file.name;
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
  for (const ShippedFile& file : files_of_a_complete_run()) expected.push_back(file.name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(installed.folder.list(), expected);
  expect_files_of_a_complete_run(installed.folder);
  EXPECT_TRUE(installed.elsewhere.list().empty()) << "wrote into the working directory";
}

TEST(InstallerRunTest, ADisplayThatCannotBeOpenedMakesARunWithoutWindow) {
  // An empty name, and a display no server listens on.
  for (const char* display : {"", ":65000"}) {
    SCOPED_TRACE(std::string("DISPLAY=") + display);
    InstalledCopy installed;
    const ProcessResult result = installed.run({{"DISPLAY", display}});
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.err, "");
    expect_files_of_a_complete_run(installed.folder);
  }
}

TEST(InstallerRunTest, WithoutADisplayTheWindowLibrariesAreNeverLoaded) {
  // The dynamic loader names every library it loads, at start or later, on standard error.
  InstalledCopy installed;
  const ProcessResult result = installed.run({{"LD_DEBUG", "files"}});
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exit_status, 0);
  ASSERT_NE(result.err.find("libc.so"), std::string::npos) << "the loader reported nothing";
  for (const char* library : {"libX11", "libXft", "libfontconfig", "libfreetype"}) {
    EXPECT_EQ(result.err.find(library), std::string::npos) << library << " was loaded";
  }
}

TEST(InstallerRunTest, ASecondRunReplacesEveryFileWithTheSameBytes) {
  InstalledCopy installed;
  // Leftovers from elsewhere: longer than the real files, and one shorter.
  for (const ShippedFile& file : files_of_a_complete_run()) {
    write_file_bytes(installed.folder.file(file.name), std::string(2 * file.bytes, '#'));
  }
  // Sources from elsewhere are replaced by the run's own before they are compiled.
  write_file_bytes(installed.folder.file(kLineSourceFile.name),
                   "[generale]\r\nlunghezza percorso, 1000\r\n[fine]\r\n");
  write_file_bytes(installed.folder.file(kTrainSourceFile.name), "[generale]\r\n");
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const ProcessResult result = installed.run();
    EXPECT_EQ(result.exit_status, 0);
    expect_files_of_a_complete_run(installed.folder);
    EXPECT_FALSE(std::filesystem::exists(installed.folder.file(kLineSourceFile.name)));
    EXPECT_FALSE(std::filesystem::exists(installed.folder.file(kTrainSourceFile.name)));
  }
}

TEST(InstallerRunTest, AFileThatCannotBeWrittenEndsTheRunWithItsNameAndReason) {
  const struct {
    const char* blocked;               // a directory stands where this file should go
    std::vector<const char*> written;  // files the run wrote before it stopped
    std::vector<const char*> not_written;
  } cases[] = {
      {kNotesFile.name,
       {kLineSourceFile.name, kTrainSourceFile.name},
       {kSlowdownOrderFile.name, kTrainSheetFile.name, kLinePlanFile.name}},
      {kScenarioTableFile.name,
       {kTrainSheetFile.name, kLinePlanFile.name},
       {kTrackCellsFile.name, kLineSourceFile.name}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.blocked);
    InstalledCopy installed;
    std::filesystem::create_directory(installed.folder.file(c.blocked));
    const ProcessResult result = installed.run();
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, std::string(kExecutable) + ": cannot replace " +
                              installed.folder.file(c.blocked) + ": Is a directory\n");
    for (const char* name : c.written) {
      EXPECT_TRUE(std::filesystem::is_regular_file(installed.folder.file(name))) << name;
    }
    for (const char* name : c.not_written) {
      EXPECT_FALSE(std::filesystem::exists(installed.folder.file(name))) << name;
    }
  }
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
