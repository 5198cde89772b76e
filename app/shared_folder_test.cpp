// Runs that share a folder, and folders that are not as the runs left them: two installers
// started together, the installer and the authors' tool at once, two compiles with the source
// edited between them, some of them killed or ended by a signal; a run that finds the folder
// busy, also by a run of another scenario whose files share names with its own; a lock file
// another user left; links, FIFOs, sockets and directories planted at the names of temporary
// files and of the lock file; a file-size limit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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
#include "compiler/scenario_compiler.h"
#include "sources/line_source.h"
#include "sources/train_source.h"
#include "test_support/process.h"
#include "test_support/sha256.h"
#include "test_support/shipped_files.h"
#include "test_support/temp_dir.h"

namespace {

const char kExecutable[] = "Viterbo_Attigliano_7545";
const char kLockFile[] = "scenario-folder.lock";
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

// Readies `folder` for a run of the shipped scenario, by the installer copied into it or by a
// compile of the shipped sources written into it, and gives the run's command line.
void prepare_run(const TempDir& folder, bool installer, std::vector<std::string>* argv) {
  if (installer) {
    std::filesystem::copy_file(INSTALLER_PATH, folder.file(kExecutable));
    *argv = {folder.file(kExecutable)};
  } else {
    ASSERT_TRUE(dati_linea(folder.path(), kShipped).ok());
    ASSERT_TRUE(dati_treno(folder.path(), kShipped).ok());
    *argv = tool_compile(folder.path());
  }
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
    ASSERT_NO_FATAL_FAILURE(prepare_run(folder, c.installer, &argv));
    // 200 blocks hold every text file, and not the line plan of over 1 MB.
    ChildProcess run(with_file_size_limit(200, argv), without_display());
    const ProcessResult result = ended(run);
    ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
    EXPECT_EQ(result.exit_status, c.status);
    // The fault comes first; the tool then shows the sources' own diagnostics (the shipped
    // timetable's warning), the installer nothing more.
    const std::string fault =
        c.prefix + "cannot write " + folder.file(kLinePlanFile.name) + ": File too large\n";
    EXPECT_EQ(result.err.substr(0, fault.size()), fault);
    if (c.installer) {
      EXPECT_EQ(result.err, fault);
    }
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

namespace {

// How long a test waits for a run to reach the state it waits for.
constexpr std::chrono::seconds kDeadline(60);

// Waits until `condition` holds, at most kDeadline; whether it did.
template <typename Condition>
bool eventually(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// The shipped sources of `scenario` in `folder`, the line source with `misspelt` rows more
// whose keyword matches none: they compile to the same files, each row a warning.
void write_sources(const TempDir& folder, const ScenarioIdentity& scenario, int misspelt = 0) {
  ASSERT_TRUE(dati_linea(folder.path(), scenario).ok());
  ASSERT_TRUE(dati_treno(folder.path(), scenario).ok());
  const std::string path = folder.file(line_source_name(scenario));
  std::string text = read_file_bytes(path);
  const size_t end = text.find("[fine]");
  ASSERT_NE(end, std::string::npos);
  std::string rows;
  for (int i = 0; i < misspelt; ++i) rows += "pendenze, 500, 3\r\n";
  write_file_bytes(path, text.insert(end, rows));
}

// A `scenario-tool compile` stopped while it holds the folder: its report goes to a FIFO that
// nobody reads until finish(), and is longer than a pipe holds (the sources must make over
// 64 KiB of warnings), so the tool waits in its write, its compiled files written, until the
// report is read or a signal ends it.
class StoppedCompile {
 public:
  StoppedCompile(const TempDir& folder, const std::vector<std::string>& options)
      : fifo_(fifo_folder_.file("report")) {
    EXPECT_EQ(mkfifo(fifo_.c_str(), 0600), 0);
    reader_ = open(fifo_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(reader_, 0);
    std::vector<std::string> argv = {
        "/bin/sh",          "-c",      "exec \"$0\" \"$@\" 2>\"$REPORT_FIFO\"",
        SCENARIO_TOOL_PATH, "compile", folder.path(),
        "--max-warnings",   "0"};
    argv.insert(argv.end(), options.begin(), options.end());
    ProcessOptions with_fifo = without_display();
    with_fifo.set_environment = {{"REPORT_FIFO", fifo_}};
    child_ = std::make_unique<ChildProcess>(argv, with_fifo);
  }
  ~StoppedCompile() {
    if (reader_ >= 0) close(reader_);
  }

  // Whether the tool has filled the pipe, so is stopped in its write.
  bool stopped() const {
    const int capacity = fcntl(reader_, F_GETPIPE_SZ);
    return eventually([&] {
      int queued = 0;
      return ioctl(reader_, FIONREAD, &queued) == 0 && queued >= capacity;
    });
  }

  // Reads the report to its end, and the tool's end.
  ProcessResult finish() {
    char buffer[65536];
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    for (;;) {
      const ssize_t got = read(reader_, buffer, sizeof buffer);
      if (got == 0) break;
      if (got < 0) {
        if (errno != EAGAIN && errno != EINTR) break;
        if (std::chrono::steady_clock::now() >= deadline) {
          ADD_FAILURE() << "the report did not end within a minute";
          break;
        }
        pollfd readable = {reader_, POLLIN, 0};
        poll(&readable, 1, 10);
      }
    }
    return ended(*child_);
  }

  ChildProcess& child() { return *child_; }

 private:
  TempDir fifo_folder_;
  std::string fifo_;
  int reader_ = -1;
  std::unique_ptr<ChildProcess> child_;
};

// A report of over 64 KiB: each misspelt row gives about 150 bytes of it.
constexpr int kMisspeltRows = 1000;

// The stall probe, as the installer of `folder`: it stops for good at its first write, holding
// the folder's lock, with the temporary file of its first source made.
std::unique_ptr<ChildProcess> stalled_installer(const TempDir& folder) {
  std::filesystem::copy_file(STALL_PROBE_PATH, folder.file(kExecutable),
                             std::filesystem::copy_options::overwrite_existing);
  auto child = std::make_unique<ChildProcess>(std::vector<std::string>{folder.file(kExecutable)},
                                              without_display());
  EXPECT_TRUE(eventually([&] { return !temporaries_in(folder).empty(); }))
      << "the installer did not reach its first write";
  return child;
}

}  // namespace

// Line "L" with train "X_1" and line "L_X" with train "1" both write L_X_1.sim and L_X_1.dat,
// and the installer's Viterbo_Attigliano_7545.sim is also that of line "Viterbo" with train
// "Attigliano_7545". While a run of one holds the folder, a compile of the other waits, then
// stops having written nothing; once the first has ended, it works.
TEST(SharedFolderTest, ScenariosWhoseFilesShareNamesTakeTurns) {
  const ScenarioIdentity compile_first{"L", "X_1"}, compile_second{"L_X", "1"};
  const ScenarioIdentity viterbo{"Viterbo", "Attigliano_7545"};
  const struct {
    const char* holder;
    bool installer_holds;
    ScenarioIdentity other;
  } cases[] = {{"a compile of line L, train X_1", false, compile_second},
               {"the installer", true, viterbo}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.holder);
    TempDir folder;
    write_sources(folder, c.other);
    std::unique_ptr<StoppedCompile> compile;
    std::unique_ptr<ChildProcess> installer;
    if (c.installer_holds) {
      installer = stalled_installer(folder);
    } else {
      write_sources(folder, compile_first, kMisspeltRows);
      compile = std::make_unique<StoppedCompile>(
          folder, std::vector<std::string>{"--line", "L", "--train", "X_1"});
      ASSERT_TRUE(compile->stopped()) << "the first compile did not stop in its report";
    }
    const std::vector<std::string> before = folder.list();
    const std::string shared_table = folder.file(scenario_table_name(c.other));
    const std::string table_before = c.installer_holds ? "" : read_file_bytes(shared_table);

    const ProcessResult refused =
        run_process({SCENARIO_TOOL_PATH, "compile", folder.path(), "--line", c.other.line_name,
                     "--train", c.other.train_number, "--wait", "0.2"});
    EXPECT_EQ(refused.exit_status, 4);
    EXPECT_EQ(refused.err, "scenario-tool: another run is already working in " + folder.path() +
                               ": try again when it has finished\n");
    EXPECT_EQ(folder.list(), before);
    if (!c.installer_holds) {
      EXPECT_TRUE(read_file_bytes(shared_table) == table_before) << "the refused run wrote";
    }

    if (c.installer_holds) {
      installer->kill();
    } else {
      const ProcessResult first = compile->finish();
      EXPECT_EQ(first.exit_status, 0) << first.out;
    }
    const ProcessResult second =
        run_process({SCENARIO_TOOL_PATH, "compile", folder.path(), "--line", c.other.line_name,
                     "--train", c.other.train_number, "--wait", "0.2"});
    EXPECT_EQ(second.exit_status, 0) << second.err;
    EXPECT_TRUE(read_file_bytes(shared_table) != table_before) << "the second run wrote nothing";
    EXPECT_FALSE(std::filesystem::exists(folder.file(kLockFile)));
  }
}

// A run that a SIGTERM, SIGINT or SIGHUP ends while it holds the folder takes its lock file and
// the temporary file it was writing with it, and ends as that signal ends a process; the next
// run works.
TEST(SharedFolderTest, ARunEndedByASignalLeavesNoLockFile) {
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    for (const bool installer : {true, false}) {
      SCOPED_TRACE(std::string(installer ? "installer" : "compile") + ", signal " +
                   std::to_string(signal_number));
      TempDir folder;
      std::unique_ptr<ChildProcess> stalled;
      std::unique_ptr<StoppedCompile> compile;
      if (installer) {
        stalled = stalled_installer(folder);
      } else {
        write_sources(folder, kShipped, kMisspeltRows);
        compile = std::make_unique<StoppedCompile>(folder, std::vector<std::string>{});
        ASSERT_TRUE(compile->stopped()) << "the compile did not stop in its report";
      }
      ASSERT_TRUE(std::filesystem::exists(folder.file(kLockFile)));
      ChildProcess& run = installer ? *stalled : compile->child();
      run.send_signal(signal_number);
      const ProcessResult result = ended(run);
      EXPECT_FALSE(result.exited);
      EXPECT_EQ(result.signal, signal_number);
      EXPECT_FALSE(std::filesystem::exists(folder.file(kLockFile)));
      EXPECT_EQ(temporaries_in(folder), std::vector<std::string>{});

      if (installer) {
        std::filesystem::copy_file(INSTALLER_PATH, folder.file(kExecutable),
                                   std::filesystem::copy_options::overwrite_existing);
        const ProcessResult next = run_process({folder.file(kExecutable)}, without_display());
        EXPECT_EQ(next.exit_status, 0) << next.err;
        expect_a_complete_installation(folder);
      } else {
        const ProcessResult next = run_process(tool_compile(folder.path()));
        EXPECT_EQ(next.exit_status, 0) << next.out;
        EXPECT_FALSE(std::filesystem::exists(folder.file(kLockFile)));
      }
    }
  }
}

// A lock file that a killed run of another user left (mode 0644, not this user's to write) is
// taken over: the lock is the system's lock on the open file, which needs no write access. In a
// sticky folder this user may not delete it either, and it stays, harmless.
TEST(SharedFolderTest, ALockFileAnotherUserLeftIsTakenOver) {
  if (geteuid() != 0) GTEST_SKIP() << "making files of other users takes root";
  const uid_t left_by = 65534;  // nobody
  const uid_t runner = 12345;   // any other user
  const std::vector<std::string> as_runner = {
      "/usr/bin/setpriv", "--reuid=" + std::to_string(runner), "--regid=" + std::to_string(runner),
      "--clear-groups", "--"};
  for (const bool installer : {true, false}) {
    for (const bool sticky : {false, true}) {
      SCOPED_TRACE(std::string(installer ? "installer" : "compile") +
                   (sticky ? ", sticky folder" : ", the runner's folder"));
      TempDir root;
      ASSERT_EQ(chmod(root.path().c_str(), 0755), 0);
      const std::string folder = root.file("shared");
      ASSERT_TRUE(std::filesystem::create_directory(folder));
      if (sticky) {
        ASSERT_EQ(chmod(folder.c_str(), 01777), 0);
      } else {
        ASSERT_EQ(chown(folder.c_str(), runner, runner), 0);
      }
      const std::string lock_file = path_in(folder, kLockFile);
      write_file_bytes(lock_file, "");
      ASSERT_EQ(chown(lock_file.c_str(), left_by, left_by), 0);
      ASSERT_EQ(chmod(lock_file.c_str(), 0644), 0);
      std::vector<std::string> argv = as_runner;
      if (installer) {
        std::filesystem::copy_file(INSTALLER_PATH, path_in(folder, kExecutable));
        argv.push_back(path_in(folder, kExecutable));
      } else {
        ASSERT_TRUE(dati_linea(folder, kShipped).ok());
        ASSERT_TRUE(dati_treno(folder, kShipped).ok());
        for (const std::string& a : tool_compile(folder)) argv.push_back(a);
      }
      const ProcessResult result = run_process(argv, without_display());
      EXPECT_EQ(result.exit_status, 0) << result.err;
      for (const ShippedFile& file : shipped_compiled_files()) {
        EXPECT_EQ(sha256_hex(read_file_bytes(path_in(folder, file.name))), file.sha256)
            << file.name;
      }
      struct stat left;
      EXPECT_EQ(lstat(lock_file.c_str(), &left) == 0, sticky) << "the lock file stays only when "
                                                                 "this user may not delete it";
    }
  }
}

namespace {

// Plants at `path` what `what` names: "link" to `victim`, "dangling" link to `nowhere`,
// "fifo", "socket" or "directory".
void plant(const std::string& what, const std::string& path, const std::string& victim,
           const std::string& nowhere) {
  if (what == "link") {
    std::filesystem::create_symlink(victim, path);
  } else if (what == "dangling") {
    std::filesystem::create_symlink(nowhere, path);
  } else if (what == "fifo") {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  } else if (what == "socket") {
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    path.copy(address.sun_path, path.size());
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(listening);
  } else {
    ASSERT_TRUE(std::filesystem::create_directory(path));
  }
}

}  // namespace

// Whatever is at the lock file's name and is no regular file stops the installer and the
// tool before anything is written, saying what it is; it is neither followed (a link's target
// is neither deleted nor made) nor deleted.
TEST(SharedFolderTest, WhatIsPlantedAtTheLockNameIsRefusedAndLeftAlone) {
  const struct {
    const char* planted;
    const char* kind;
  } cases[] = {{"link", "a symbolic link"},
               {"dangling", "a symbolic link"},
               {"fifo", "a FIFO"},
               {"socket", "a socket"},
               {"directory", "a directory"}};
  for (const auto& c : cases) {
    for (const bool installer : {true, false}) {
      SCOPED_TRACE(std::string(c.planted) + (installer ? ", installer" : ", compile"));
      TempDir folder, elsewhere;
      write_file_bytes(elsewhere.file("victim"), "victim");
      plant(c.planted, folder.file(kLockFile), elsewhere.file("victim"), elsewhere.file("nowhere"));
      std::vector<std::string> argv;
      ASSERT_NO_FATAL_FAILURE(prepare_run(folder, installer, &argv));
      const std::vector<std::string> before = folder.list();
      const ProcessResult result = run_process(argv, without_display());
      EXPECT_EQ(result.exit_status, installer ? 1 : 4);
      EXPECT_EQ(result.err, std::string(installer ? kExecutable : "scenario-tool") +
                                ": cannot lock " + folder.file(kLockFile) + ": it is " + c.kind +
                                ": remove it\n");
      EXPECT_EQ(folder.list(), before);
      EXPECT_EQ(elsewhere.list(), std::vector<std::string>{"victim"});
      EXPECT_EQ(read_file_bytes(elsewhere.file("victim")), "victim");
    }
  }
}
