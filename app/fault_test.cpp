// The installer under file faults: every file operation of a whole run is made to fail in
// turn. Each time the run must say which file failed and why, end with a failure status, leave
// every compiled file of an earlier run either untouched or fully replaced, and leave no
// temporary file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "test_support/process.h"
#include "test_support/sha256.h"
#include "test_support/shipped_files.h"
#include "test_support/temp_dir.h"

namespace {

const char kExecutable[] = "Viterbo_Attigliano_7545";

ProcessOptions without_display() {
  ProcessOptions options;
  options.unset_environment = {"DISPLAY", "WAYLAND_DISPLAY"};
  return options;
}

}  // namespace

TEST(FaultTest, EveryFileOperationOfARunFailingInTurn) {
  int faults = 0;
  bool completed = false;
  // The lock and the program's own path are the file system's too, and fail like the rest.
  bool lock_failed = false, own_path_failed = false;
  for (int n = 1; n <= 100 && !completed; ++n) {
    SCOPED_TRACE("file operation " + std::to_string(n) + " fails");
    TempDir folder;
    const std::string probe = folder.file(kExecutable);
    std::filesystem::copy_file(FAULT_PROBE_PATH, probe);
    // Compiled files of an earlier run.
    for (const ShippedFile& file : shipped_compiled_files()) {
      write_file_bytes(folder.file(file.name), std::string("earlier ") + file.name);
    }
    const ProcessResult result = run_process({probe, std::to_string(n)}, without_display());
    ASSERT_TRUE(result.exited);
    if (result.exit_status == 0) {
      completed = true;
    } else {
      ++faults;
      EXPECT_EQ(result.exit_status, 1);
      // The file at fault and why; or, when the system cannot give the program its own path,
      // that alone.
      const std::regex report(std::string(kExecutable) + ": cannot (((create|write|replace|read|" +
                              "delete|lock) " + folder.path() + "/[^ ]+)|find the executable's " +
                              "directory): (Input/output error|No space left on device)\n");
      EXPECT_TRUE(std::regex_match(result.err, report)) << result.err;
      lock_failed |= result.err.find(": cannot lock ") != std::string::npos;
      own_path_failed |= result.err.find("find the executable's directory") != std::string::npos;
    }
    for (const ShippedFile& file : shipped_compiled_files()) {
      const std::string bytes = read_file_bytes(folder.file(file.name));
      EXPECT_TRUE(bytes == std::string("earlier ") + file.name || sha256_hex(bytes) == file.sha256)
          << file.name << " is neither the earlier file nor the new one";
    }
    for (const std::string& name : folder.list()) {
      EXPECT_EQ(name.find(".scenario-tmp"), std::string::npos) << name;
    }
  }
  EXPECT_TRUE(completed) << "the walk never reached the end of a run";
  EXPECT_TRUE(lock_failed);
  EXPECT_TRUE(own_path_failed);
  // Five text files and three compiled files written, two sources read and deleted.
  EXPECT_GE(faults, 5 * 3 + 2 * 2 + 3 * 3);
}

TEST(FaultTest, AReadOnlyFolder) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TempDir folder;
  const std::string installer = folder.file(kExecutable);
  std::filesystem::copy_file(INSTALLER_PATH, installer);
  chmod(folder.path().c_str(), 0555);
  const ProcessResult result = run_process({installer}, without_display());
  chmod(folder.path().c_str(), 0755);
  EXPECT_EQ(result.exit_status, 1);
  // The first file the run makes is its lock file, before any source.
  EXPECT_EQ(result.err, std::string(kExecutable) + ": cannot create " +
                            folder.file("scenario-folder.lock") + ": Permission denied\n");
  EXPECT_EQ(folder.list(), std::vector<std::string>{kExecutable});
}
