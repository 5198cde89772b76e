// Runs that share a folder, and folders that are not as the runs left them: two installers
// started together, the installer and the authors' tool at once, two compiles with the source
// edited between them, some of them killed; a run that finds the folder busy; links and FIFOs
// planted at the names of temporary files; a file-size limit.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <thread>

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/folder_lock.h"
#include "common/scenario_identity.h"
#include "sources/line_source.h"
#include "sources/train_source.h"
#include "test_support/process.h"
#include "test_support/sha256.h"
#include "test_support/shipped_files.h"
#include "test_support/temp_dir.h"

namespace {

const char kExecutable[] = "Viterbo_Attigliano_7545";
const char kLockFile[] = "Viterbo_Attigliano.scenario-lock";
const ScenarioIdentity kShipped{kShippedLineName, kShippedTrainNumber};

ProcessOptions without_display() {
  ProcessOptions options;
  options.unset_environment = {"DISPLAY", "WAYLAND_DISPLAY"};
  return options;
}

std::vector<std::string> tool_compile(const std::string& folder) {
  return {SCENARIO_TOOL_PATH, "compile", folder};
}

// Runs `argv` under a file-size limit of `blocks` (of the shell's ulimit).
std::vector<std::string> with_file_size_limit(int blocks, std::vector<std::string> argv) {
  argv.insert(argv.begin(),
              {"/bin/sh", "-c", "ulimit -f " + std::to_string(blocks) + " && exec \"$0\" \"$@\""});
  return argv;
}

// Waits for `child` to end, at most a minute: a run that hangs fails the test instead.
ProcessResult ended(ChildProcess& child) {
  ProcessResult result;
  if (!child.wait(60000, &result)) ADD_FAILURE() << "the run did not end within a minute";
  return result;
}

void write_earlier_compiled_files(const TempDir& folder) {
  for (const ShippedFile& file : shipped_compiled_files()) {
    write_file_bytes(folder.file(file.name), std::string("earlier ") + file.name);
  }
}

void expect_earlier_compiled_files(const TempDir& folder) {
  for (const ShippedFile& file : shipped_compiled_files()) {
    EXPECT_EQ(read_file_bytes(folder.file(file.name)), std::string("earlier ") + file.name);
  }
}

std::vector<std::string> temporaries_in(const TempDir& folder) {
  std::vector<std::string> found;
  for (const std::string& name : folder.list()) {
    if (name.find(".scenario-tmp") != std::string::npos) found.push_back(name);
  }
  return found;
}

// The folder after a complete run: the program, the three documents, the three compiled files,
// all with the shipped bytes; no source, no temporary file, no lock file.
void expect_a_complete_installation(const TempDir& folder) {
  std::vector<ShippedFile> files = shipped_compiled_files();
  for (const ShippedFile& f : {kNotesFile, kSlowdownOrderFile, kTrainSheetFile}) files.push_back(f);
  std::vector<std::string> expected = {kExecutable};
  for (const ShippedFile& file : files) {
    expected.push_back(file.name);
    EXPECT_EQ(sha256_hex(read_file_bytes(folder.file(file.name))), file.sha256) << file.name;
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(folder.list(), expected);
}

}  // namespace

TEST(SharedFolderTest, ARunThatFindsTheFolderBusyWaitsThenStopsWithoutWriting) {
  TempDir folder;
  std::filesystem::copy_file(FAULT_PROBE_PATH, folder.file(kExecutable));
  write_earlier_compiled_files(folder);
  ASSERT_TRUE(dati_linea(folder.path(), kShipped).ok());
  ASSERT_TRUE(dati_treno(folder.path(), kShipped).ok());
  const std::string busy =
      "another run is already working in " + folder.path() + ": try again when it has finished\n";
  {
    FolderLock other_run;
    ASSERT_TRUE(other_run.acquire(folder.file(kLockFile), 0).ok());
    const std::vector<std::string> before = folder.list();
    // The installer, waiting 0.2 s instead of its 5.
    const ProcessResult installer =
        run_process({folder.file(kExecutable), "0", "200"}, without_display());
    EXPECT_EQ(installer.exit_status, 1);
    EXPECT_EQ(installer.err, std::string(kExecutable) + ": " + busy);
    const ProcessResult tool =
        run_process({SCENARIO_TOOL_PATH, "compile", folder.path(), "--wait", "0.2"});
    EXPECT_EQ(tool.exit_status, 4);
    EXPECT_EQ(tool.err, "scenario-tool: " + busy);
    EXPECT_EQ(tool.out, "");
    EXPECT_EQ(folder.list(), before);
    expect_earlier_compiled_files(folder);
  }
  // Once the other run has ended, the folder is free.
  EXPECT_EQ(run_process({folder.file(kExecutable), "0", "200"}, without_display()).exit_status, 0);
  expect_a_complete_installation(folder);
}

// A link at a temporary file's old fixed name would have been written through, a FIFO there
// waited on for ever. Temporary files are made new, so neither is opened; holding the folder's
// lock, the run clears them away with what a killed run left behind.
TEST(SharedFolderTest, WhatLiesAtTemporaryNamesIsNeitherFollowedNorKept) {
  TempDir folder, elsewhere;
  std::filesystem::copy_file(INSTALLER_PATH, folder.file(kExecutable));
  write_file_bytes(elsewhere.file("victim"), "victim");
  std::vector<std::string> names;
  for (const ShippedFile& file : shipped_text_files()) names.push_back(file.name);
  for (const ShippedFile& file : shipped_compiled_files()) names.push_back(file.name);
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string planted = folder.file(names[i] + ".scenario-tmp");
    if (i % 2 == 0) {
      std::filesystem::create_symlink(elsewhere.file("victim"), planted);
    } else {
      ASSERT_EQ(mkfifo(planted.c_str(), 0600), 0);
    }
    write_file_bytes(folder.file(names[i] + ".scenario-tmp-999999-0"), "left by a killed run");
  }
  ChildProcess installer({folder.file(kExecutable)}, without_display());
  const ProcessResult result = ended(installer);
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(read_file_bytes(elsewhere.file("victim")), "victim");
  expect_a_complete_installation(folder);
}

// Under a file-size limit too small for the line plan, the write fails like any other: one
// line, a failure status, the earlier files kept, no temporary file left (and no silent death
// by SIGXFSZ).
TEST(SharedFolderTest, AFileSizeLimitIsAFailedWrite) {
  const struct {
    const char* who;
    bool installer;
    int status;
    std::string prefix;
  } cases[] = {{"installer", true, 1, std::string(kExecutable) + ": "},
               {"tool", false, 4, "scenario-tool: "}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.who);
    TempDir folder;
    write_earlier_compiled_files(folder);
    std::vector<std::string> argv;
    if (c.installer) {
      std::filesystem::copy_file(INSTALLER_PATH, folder.file(kExecutable));
      argv = {folder.file(kExecutable)};
    } else {
      ASSERT_TRUE(dati_linea(folder.path(), kShipped).ok());
      ASSERT_TRUE(dati_treno(folder.path(), kShipped).ok());
      argv = tool_compile(folder.path());
    }
    // 200 blocks hold every text file, and not the line plan of over 1 MB.
    ChildProcess run(with_file_size_limit(200, argv), without_display());
    const ProcessResult result = ended(run);
    ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
    EXPECT_EQ(result.exit_status, c.status);
    EXPECT_EQ(result.err,
              c.prefix + "cannot write " + folder.file(kLinePlanFile.name) + ": File too large\n");
    expect_earlier_compiled_files(folder);
    EXPECT_EQ(temporaries_in(folder), std::vector<std::string>{});
    EXPECT_FALSE(std::filesystem::exists(folder.file(kLockFile)));
  }
}

namespace {

// The compiled files in `folder`, by name, as they are (a missing one is left out). Compared
// whole rather than by digest: a round reads them all, and must stay quick in a sanitizer build.
using CompiledFiles = std::map<std::string, std::string>;
CompiledFiles compiled_files_in(const TempDir& folder) {
  CompiledFiles files;
  for (const ShippedFile& file : shipped_compiled_files()) {
    std::string bytes;
    if (read_file(folder.file(file.name), &bytes).ok()) files[file.name] = std::move(bytes);
  }
  return files;
}

// The compiled files `tool compile` makes of the sources in `folder`.
CompiledFiles compiled_outputs(const TempDir& folder) {
  run_process(tool_compile(folder.path()));
  return compiled_files_in(folder);
}

// Replaces the line source in one step, as an editor that saves safely does.
void save_line_source(const TempDir& folder, const std::string& text) {
  write_file_bytes(folder.file("editing"), text);
  std::filesystem::rename(folder.file("editing"), folder.file(kLineSourceFile.name));
}

// One run of a round: started, perhaps killed, then waited for.
struct RoundRun {
  bool installer;
  std::unique_ptr<ChildProcess> child;
  bool killed = false;
  ProcessResult result;
};

}  // namespace

// Two runs at a time in one folder, many times over, with random delays between their starts
// and some runs killed at a random moment. After every round each compiled file is either the
// earlier one or the complete output of one run; when no run was killed, the folder holds what
// the last run made of the sources it read, and no temporary or lock file.
TEST(SharedFolderTest, TwoRunsInOneFolderNeverMixTheirFiles) {
  const unsigned seed = 20261210;
  const int rounds = 300;
  RecordProperty("seed", std::to_string(seed));
  std::mt19937 random(seed);
  const auto below = [&random](int n) {
    return std::uniform_int_distribution<int>(0, n - 1)(random);
  };

  // The two versions of the line source an author saves in turn, and what they compile to.
  TempDir reference;
  ASSERT_TRUE(dati_linea(reference.path(), kShipped).ok());
  ASSERT_TRUE(dati_treno(reference.path(), kShipped).ok());
  const std::string versions[2] = {
      read_file_bytes(reference.file(kLineSourceFile.name)),
      // The first curve bends the other way: the whole plan after it moves.
      [&] {
        std::string text = read_file_bytes(reference.file(kLineSourceFile.name));
        const size_t at = text.find("curvad4,  500,");
        EXPECT_NE(at, std::string::npos);
        return text.replace(at, 7, "curvas4");
      }()};
  CompiledFiles outputs[2];
  for (int v = 0; v < 2; ++v) {
    save_line_source(reference, versions[v]);
    outputs[v] = compiled_outputs(reference);
    ASSERT_EQ(outputs[v].size(), 3u);
  }
  for (const ShippedFile& file : shipped_compiled_files()) {
    ASSERT_EQ(sha256_hex(outputs[0][file.name]), file.sha256)
        << "the tool compiles as the installer does";
  }
  ASSERT_NE(outputs[0][kLinePlanFile.name], outputs[1][kLinePlanFile.name]);
  // A killed installer may leave its line source without the train source; compiling that is
  // a complete run of the tool too.
  std::filesystem::remove(reference.file(kTrainSourceFile.name));
  save_line_source(reference, versions[0]);
  const CompiledFiles line_only = compiled_outputs(reference);

  // What each compiled file may hold after a round.
  std::map<std::string, std::vector<std::string>> accepted;
  for (const ShippedFile& file : shipped_compiled_files()) {
    accepted[file.name] = {std::string("earlier ") + file.name, outputs[0][file.name],
                           outputs[1][file.name]};
    if (line_only.count(file.name)) accepted[file.name].push_back(line_only.at(file.name));
  }

  TempDir installer_folder, author_folder;
  std::filesystem::copy_file(INSTALLER_PATH, installer_folder.file(kExecutable));
  write_earlier_compiled_files(installer_folder);
  write_earlier_compiled_files(author_folder);
  ASSERT_TRUE(dati_treno(author_folder.path(), kShipped).ok());
  int saved = 0;
  save_line_source(author_folder, versions[saved]);

  std::vector<std::string> complete_installation = {kExecutable};
  for (const ShippedFile& file : shipped_compiled_files())
    complete_installation.push_back(file.name);
  for (const ShippedFile& f : {kNotesFile, kSlowdownOrderFile, kTrainSheetFile}) {
    complete_installation.push_back(f.name);
  }
  std::sort(complete_installation.begin(), complete_installation.end());

  int killed_rounds = 0;
  const auto started = std::chrono::steady_clock::now();
  for (int round = 0; round < rounds && !HasFailure(); ++round) {
    // 0: two installers (a double double-click); 1: two compiles, the source saved anew
    // between their starts; 2: the installer and a compile of its folder.
    const int kind = round % 3;
    SCOPED_TRACE("round " + std::to_string(round) + " of kind " + std::to_string(kind) + " (seed " +
                 std::to_string(seed) + ")");
    const TempDir& folder = kind == 1 ? author_folder : installer_folder;
    RoundRun runs[2];
    runs[0].installer = kind != 1;
    runs[1].installer = kind == 0;
    const auto start = [&](RoundRun& run) {
      run.child = std::make_unique<ChildProcess>(
          run.installer ? std::vector<std::string>{folder.file(kExecutable)}
                        : tool_compile(folder.path()),
          without_display());
    };
    start(runs[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(below(4000)));
    if (kind == 1) {
      saved = 1 - saved;
      save_line_source(author_folder, versions[saved]);
    }
    start(runs[1]);
    if (below(3) == 0) {
      ++killed_rounds;
      RoundRun& victim = runs[below(2)];
      std::this_thread::sleep_for(std::chrono::microseconds(below(12000)));
      victim.child->kill();
      victim.killed = true;
    }
    bool any_killed = false;
    bool installed = false;
    for (RoundRun& run : runs) {
      any_killed = any_killed || run.killed;
      if (run.killed) continue;
      run.result = ended(*run.child);
      ASSERT_TRUE(run.result.exited) << "ended by signal " << run.result.signal;
      if (run.installer) {
        EXPECT_EQ(run.result.exit_status, 0) << run.result.err;
        installed = installed || run.result.exit_status == 0;
      } else {
        // A compile that comes after the installer finds no source: error code, nothing written.
        EXPECT_TRUE(run.result.exit_status == 0 || (kind == 2 && run.result.exit_status == 2))
            << run.result.exit_status << run.result.err;
      }
    }
    const CompiledFiles now = compiled_files_in(folder);
    for (const ShippedFile& file : shipped_compiled_files()) {
      const std::vector<std::string>& may_be = accepted[file.name];
      ASSERT_EQ(now.count(file.name), 1u) << file.name;
      EXPECT_NE(std::find(may_be.begin(), may_be.end(), now.at(file.name)), may_be.end())
          << file.name << " is neither an earlier file nor a run's complete output";
    }
    // Every installer writes the shipped bytes, and a compile of its folder never writes
    // after a complete installer run, which deletes the sources.
    if (installed) {
      EXPECT_TRUE(now == outputs[0]) << "not the shipped compiled files";
      if (!any_killed) {
        EXPECT_EQ(folder.list(), complete_installation);
      }
    }
    if (kind == 1 && !any_killed) {
      // Whichever compile went last read the source after it was saved anew.
      EXPECT_TRUE(now == outputs[saved]) << "not what the last saved source compiles to";
    }
    if (!any_killed) {
      EXPECT_EQ(temporaries_in(folder), std::vector<std::string>{});
      EXPECT_FALSE(std::filesystem::exists(folder.file(kLockFile)));
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("%d rounds, %d of them with a run killed, in %.1f s\n", rounds, killed_rounds,
              seconds);
  expect_a_complete_installation(installer_folder);
}
