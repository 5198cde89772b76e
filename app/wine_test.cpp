// The Windows executable, run under Wine as a Windows user would run it: copied into a folder
// of its own (whose name lies outside the ANSI code page) and started from elsewhere. The
// build hands these tests the folder of the Windows build; the test script prepares Wine and a
// virtual display. In CI they must run: there a missing piece fails instead of skipping.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/form1.h"
#include "common/scenario_payload.h"
#include "documents/driver_documents.h"
#include "sources/line_source.h"
#include "sources/train_source.h"
#include "test_support/process.h"
#include "test_support/sha256.h"
#include "test_support/shipped_files.h"
#include "test_support/temp_dir.h"
#include "test_support/x_screen.h"

namespace {

const std::string kWindowsBuild = WINDOWS_BUILD_DIR;

std::string windows_program(const std::string& name) {
  return kWindowsBuild + "/app/" + name;
}

// The wine launcher on the PATH, or an empty text.
std::string find_wine() {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/wine";
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

class WineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (kWindowsBuild.empty())
      GTEST_SKIP() << "this build was configured without WINDOWS_BUILD_DIR";
    const char* ci = std::getenv("CI");
    const bool must_run = ci != nullptr && std::string(ci) == "true";
    std::string missing;
    wine_ = find_wine();
    if (wine_.empty()) missing = "wine (Debian packages wine, wine64)";
    if (!std::filesystem::exists(windows_program("Viterbo_Attigliano_7545.exe"))) {
      missing = "the Windows build in " + kWindowsBuild;
    }
    if (!display_available()) missing = "an X display (run the tests under xvfb-run)";
    if (!missing.empty()) {
      if (must_run) FAIL() << "missing " << missing;
      GTEST_SKIP() << "missing " << missing;
    }
    ASSERT_TRUE(screen_.open()) << "the display named by DISPLAY does not answer";
    std::filesystem::create_directories(SCREENSHOT_DIR);
  }

  // Options for a Windows program: quiet Wine, no first-run installers.
  ProcessOptions options(const std::string& working_directory = "") const {
    ProcessOptions o;
    o.working_directory = working_directory;
    o.set_environment = {{"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
    return o;
  }

  std::string wine_;
  XScreen screen_;
};

}  // namespace

TEST_F(WineTest, InstallerWritesTheSameFilesInAFolderWithAnyName) {
  TempDir root, elsewhere;
  const std::string folder =
      root.file("Scenari \xC3\xA8 \xD0\x9F\xD1\x80\xD0\xB8 \xE4\xB8\xAD\xE6\x96\x87");
  std::filesystem::create_directory(folder);
  const std::string exe = folder + "/Viterbo_Attigliano_7545.exe";
  std::filesystem::copy_file(windows_program("Viterbo_Attigliano_7545.exe"), exe);

  const ProcessResult result = run_process({wine_, exe}, options(elsewhere.path()));
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exit_status, 0) << result.err;

  std::vector<std::string> expected = {"Viterbo_Attigliano_7545.exe"};
  std::vector<ShippedFile> files = shipped_compiled_files();
  for (const ShippedFile& f : {kNotesFile, kSlowdownOrderFile, kTrainSheetFile}) files.push_back(f);
  for (const ShippedFile& f : files) expected.push_back(f.name);
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> listed;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    listed.push_back(entry.path().filename());
  }
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, expected);
  // Byte for byte what the Linux build writes.
  for (const ShippedFile& f : files) {
    EXPECT_EQ(sha256_hex(read_file_bytes(folder + "/" + f.name)), f.sha256) << f.name;
  }
  EXPECT_TRUE(elsewhere.list().empty());
}

TEST_F(WineTest, WindowShowsTheLabel) {
  ChildProcess probe({wine_, windows_program("window_probe.exe"), "30"}, options());
  const unsigned long window = screen_.find(kApplicationTitle, 30);
  ASSERT_NE(window, 0u) << "the window did not appear";
  EXPECT_EQ(XScreen::xwininfo_size(window, SCREENSHOT_DIR), "280x179");
  // Wine puts the painted pixels on the display a while after the window appears, which is
  // black until then: the light around the label tells a painted one.
  const auto label_painted = [](const Picture& p) {
    return p.dark_pixels(64, 64, 64 + 177, 64 + 53) > 300 && p.dark_pixels(0, 0, 280, 60) == 0;
  };
  const Picture picture = screen_.grab_when(window, label_painted, 30);
  picture.save(SCREENSHOT_DIR, "wine_window.png");
  EXPECT_TRUE(label_painted(picture)) << "the label is not painted";
  EXPECT_EQ(picture.dark_pixels(0, 0, 280, 60), 0);
}

TEST_F(WineTest, ErrorReportShowsItsMessageAndEndsTheRun) {
  ChildProcess probe({wine_, windows_program("errore_probe.exe"), "1250"}, options());
  const unsigned long box = screen_.find(kApplicationTitle, 30);
  ASSERT_NE(box, 0u) << "the message box did not appear";
  // The picture is for people: taken once the box shows its text, or after 30 s in any case.
  screen_
      .grab_when(
          box,
          [](const Picture& p) {
            const int dark = p.dark_pixels(0, 0, p.width, p.height / 2);
            return dark > 50 && dark < p.width * (p.height / 2) / 2;
          },
          30)
      .save(SCREENSHOT_DIR, "wine_errore_1250.png");

  // Another Windows program reads the box's controls and presses OK.
  const ProcessResult reader =
      run_process({wine_, windows_program("message_box_reader.exe"), kApplicationTitle}, options());
  EXPECT_EQ(reader.exit_status, 0);
  // One control a line; Wine's console ends lines with CR LF.
  std::string controls = reader.out;
  controls.erase(std::remove(controls.begin(), controls.end(), '\r'), controls.end());
  EXPECT_NE(("\n" + controls).find("\n Errore n. 1250\n"), std::string::npos) << controls;
  EXPECT_NE(("\n" + controls).find("\nOK\n"), std::string::npos) << controls;

  ProcessResult result;
  ASSERT_TRUE(probe.wait(20000, &result)) << "OK did not close the box";
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exit_status, 3);
}

namespace {

// A Linux path as the Windows programs under Wine see it.
std::string windows_path(const std::string& path) {
  std::string out = "Z:" + path;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

// Output with `folder` (in either form) as DIR, one separator and one line end for all.
std::string normalised(std::string text, const std::string& folder) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  for (const std::string& from : {windows_path(folder), folder}) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
      text.replace(at, from.size(), "DIR");
    }
  }
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

}  // namespace

TEST_F(WineTest, AuthorsToolDoesOnWindowsWhatItDoesOnLinux) {
  TempDir root;
  const std::string folder = root.file("Scenari \xC3\xA8 \xD0\x9F\xD1\x80\xD0\xB8");
  std::filesystem::create_directory(folder);
  const std::string tool = kWindowsBuild + "/tools/scenario-tool.exe";
  ProcessOptions o = options();
  o.set_environment.push_back({"LC_ALL", "C.UTF-8"});

  // The shipped sources compile to the shipped bytes, and stay.
  const ScenarioIdentity shipped{kShippedLineName, kShippedTrainNumber};
  ASSERT_TRUE(dati_linea(folder, shipped).ok());
  ASSERT_TRUE(dati_treno(folder, shipped).ok());
  const ProcessResult compiled = run_process({wine_, tool, "compile", windows_path(folder)}, o);
  ASSERT_TRUE(compiled.exited);
  EXPECT_EQ(compiled.exit_status, 0) << compiled.out << compiled.err;
  for (const ShippedFile& f : shipped_compiled_files()) {
    EXPECT_EQ(sha256_hex(read_file_bytes(folder + "/" + f.name)), f.sha256) << f.name;
  }
  EXPECT_TRUE(std::filesystem::exists(folder + "/Viterbo_Attigliano_linea.txt"));

  // An author's mistakes, under a name outside ASCII: the same report, word for word.
  const std::string line = "Citt\xC3\xA0";
  write_file_bytes(
      folder + "/" + line + "_linea.txt",
      "[generale]\r\nlunghezza percorso, 50000\r\n[x]\r\npendenze, 500, 3\r\n"
      "cartello_indicatore, 2100, (a)\r\ncartello_indicatore, 2110, (b)\r\n[fine]\r\n");
  write_file_bytes(folder + "/" + line + "_7545-.txt",
                   "[generale]\r\nvelocita, 0, 70\r\n[fine]\r\n");
  const ProcessResult on_windows =
      run_process({wine_, tool, "check", windows_path(folder), "--line", line}, o);
  const ProcessResult on_linux = run_process({SCENARIO_TOOL_PATH, "check", folder, "--line", line});
  EXPECT_EQ(on_windows.exit_status, 2);
  EXPECT_EQ(on_linux.exit_status, 2);
  EXPECT_EQ(normalised(on_windows.out, folder), normalised(on_linux.out, folder));
  EXPECT_EQ(normalised(on_windows.err, folder), normalised(on_linux.err, folder));
  EXPECT_NE(on_windows.err.find("error 6:"), std::string::npos) << on_windows.err;

  // A train that has no source there: the folder's train sources of the line are named alike.
  const ProcessResult unknown_on_windows = run_process(
      {wine_, tool, "check", windows_path(folder), "--line", line, "--train", "7546"}, o);
  const ProcessResult unknown_on_linux =
      run_process({SCENARIO_TOOL_PATH, "check", folder, "--line", line, "--train", "7546"});
  EXPECT_EQ(unknown_on_windows.exit_status, 2);
  EXPECT_EQ(normalised(unknown_on_windows.err, folder), normalised(unknown_on_linux.err, folder));
  EXPECT_NE(unknown_on_windows.err.find("the folder has " + line + "_7545-.txt: --train 7545?"),
            std::string::npos)
      << unknown_on_windows.err;
}

// scenario-tool.exe's output to a pipe is the UTF-8 bytes, an accented folder name included,
// and a folder may be given with forward slashes, on its drive or as a plain Linux path (Wine
// takes it on the working directory's drive, Z:): an argument that starts with '/' is never an
// option. Colour goes to a pipe only when asked for always.
TEST_F(WineTest, AuthorsToolTakesSlashPathsAndWritesUtf8ToAPipe) {
  TempDir root;
  const std::string folder = root.file("Citt\xC3\xA0 Alta");
  std::filesystem::create_directory(folder);
  const ScenarioIdentity shipped{kShippedLineName, kShippedTrainNumber};
  ASSERT_TRUE(dati_linea(folder, shipped).ok());
  ASSERT_TRUE(dati_treno(folder, shipped).ok());
  const std::string tool = kWindowsBuild + "/tools/scenario-tool.exe";
  const std::string with_slashes = "Z:" + folder;
  const struct {
    const char* command;
    std::string folder;
    int status;
    std::string out;
  } cases[] = {
      {"check", with_slashes, 0, "checked in memory: nothing written\r\n"},
      {"check", folder, 0, "checked in memory: nothing written\r\n"},
      {"compile", with_slashes, 0,
       "wrote Viterbo_Attigliano_linea.dat, Viterbo_Attigliano_7545.sim, "
       "Viterbo_Attigliano_7545.dat in " +
           with_slashes + "\r\n"},
      {"compile", folder, 0,
       "wrote Viterbo_Attigliano_linea.dat, Viterbo_Attigliano_7545.sim, "
       "Viterbo_Attigliano_7545.dat in " +
           folder + "\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + c.folder);
    std::vector<std::string> args = {wine_, tool, c.command, c.folder};
    if (std::string(c.command) == "compile") args.push_back("--force");
    const ProcessResult r = run_process(args, options());
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.exit_status, c.status) << r.out << r.err;
    EXPECT_EQ(r.out.substr(0, c.out.size()), c.out);
    // The shipped timetable's warning, the folder as given in it.
    EXPECT_EQ(r.err.substr(0, c.folder.size() + 44),
              c.folder + "\\Viterbo_Attigliano_7545-.txt:22:1: warning:");
  }

  // A mistake, coloured: the escape codes reach a pipe only with --color=always.
  write_file_bytes(folder + "/Viterbo_Attigliano_7545-.txt", "[generale]\r\nvelocita, 0\r\n");
  for (const char* when : {"--color=auto", "--color=always", "--color=never"}) {
    SCOPED_TRACE(when);
    const ProcessResult r = run_process({wine_, tool, "check", folder, when}, options());
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.exit_status, 2) << r.out << r.err;
    EXPECT_NE(r.err.find(folder), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("\033[1;31m") != std::string::npos, std::string(when) == "--color=always")
        << r.err;
  }
}

// scenario-tool.exe speaks the language of the user's Windows (Wine's follows the locale it is
// started in) unless --lang says otherwise, its Italian UTF-8 to a pipe as all its texts.
TEST_F(WineTest, AuthorsToolSpeaksTheLanguageOfWindows) {
  const std::string tool = kWindowsBuild + "/tools/scenario-tool.exe";
  const std::string english =
      "scenario-tool: unknown command nosuch\r\nsee: scenario-tool help\r\n";
  const std::string italian =
      "scenario-tool: comando sconosciuto nosuch\r\nvedere: scenario-tool help\r\n";
  const struct {
    const char* locale;  // LC_ALL, or none
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {nullptr, {"nosuch"}, english},
      {"C", {"nosuch"}, english},
      {"it_IT.UTF-8", {"nosuch"}, italian},
      {"it_IT.UTF-8", {"--lang=en", "nosuch"}, english},
      {nullptr, {"nosuch", "--lang=it"}, italian},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale != nullptr ? c.locale : "no locale");
    ProcessOptions o = options();
    o.unset_environment = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    if (c.locale != nullptr) o.set_environment.push_back({"LC_ALL", c.locale});
    std::vector<std::string> argv = {wine_, tool};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const ProcessResult r = run_process(argv, o);
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, c.err);
  }
  // An accented letter reaches a pipe as UTF-8.
  ProcessOptions o = options();
  o.unset_environment = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  const ProcessResult help = run_process({wine_, tool, "--lang=it", "help", "view"}, o);
  ASSERT_TRUE(help.exited);
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_NE(help.out.find("non si \xC3\xA8 potuto leggere o scrivere un\r\nfile.\r\n"),
            std::string::npos)
      << help.out;
}

// scenario-tool.exe in a console of its own, as a user at a command prompt sees it: the
// accented folder name reads right, no escape code shows, and the error is coloured (in the
// console's own text colours, Wine's console showing the escape codes as text) only when colour
// is wanted.
TEST_F(WineTest, AuthorsToolInAConsoleShowsNamesAndColoursRight) {
  TempDir root;
  const std::string folder = root.file("Citt\xC3\xA0 Alta");
  std::filesystem::create_directory(folder);
  write_file_bytes(folder + "/L_1-.txt", "[generale]\r\nvelocita, 0\r\n");
  const ScenarioIdentity identity{"L", "1"};
  ASSERT_TRUE(dati_linea(folder, identity).ok());
  // In Italian too: the accented words of the messages read right in the console.
  const struct {
    const char* when;
    bool coloured;
    const char* language;
    std::vector<std::string> lines;  // what the console shows, among the rest
  } cases[] = {
      {"--color=auto",
       true,
       "--lang=en",
       {"Citt\xC3\xA0 Alta\\L_1-.txt:2:11: error 25:", "checked in memory: nothing written"}},
      {"--color=always",
       true,
       "--lang=en",
       {"Citt\xC3\xA0 Alta\\L_1-.txt:2:11: error 25:", "checked in memory: nothing written"}},
      {"--color=never",
       false,
       "--lang=en",
       {"Citt\xC3\xA0 Alta\\L_1-.txt:2:11: error 25:", "checked in memory: nothing written"}},
      {"--color=never",
       false,
       "--lang=it",
       {"Citt\xC3\xA0 Alta\\L_1-.txt:2:11: errore 25:", "la lettura si \xC3\xA8 fermata",
        "verificato in memoria: nulla scritto"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.when) + " " + c.language);
    const ProcessResult r = run_process(
        {wine_, windows_program("console_reader.exe"), kWindowsBuild + "/tools/scenario-tool.exe",
         "check", windows_path(folder), "--line", "L", "--train", "1", c.when, c.language},
        options());
    ASSERT_TRUE(r.exited);
    ASSERT_EQ(r.exit_status, 0) << r.out;
    for (const std::string& line : c.lines) {
      EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    }
    EXPECT_EQ(r.out.find('\033'), std::string::npos) << r.out;
    // The first line, the error's, shows in more than one colour only when coloured.
    const std::string first = r.out.substr(0, r.out.find('\n'));
    const std::string colours = first.substr(first.find('\t') + 1);
    EXPECT_EQ(colours.find(' ') != std::string::npos, c.coloured) << r.out;
    EXPECT_NE(r.out.find("exit 2, colours kept\n"), std::string::npos) << r.out;
  }
}

// extract knows the Windows installer program, on Windows and on Linux alike, and writes its
// built-in texts byte for byte, into a folder with any name.
TEST_F(WineTest, ExtractWritesTheWindowsInstallersTexts) {
  TempDir root;
  const std::string tool = kWindowsBuild + "/tools/scenario-tool.exe";
  const std::string installer = windows_program("Viterbo_Attigliano_7545.exe");
  const std::string on_windows = root.file("Estratto \xC3\xA8 \xD0\x9F\xD1\x80\xD0\xB8");
  const std::string on_linux = root.file("linux");
  for (const std::string& folder : {on_windows, on_linux}) {
    SCOPED_TRACE(folder);
    std::filesystem::create_directory(folder);
    const ProcessResult ran =
        folder == on_windows
            ? run_process(
                  {wine_, tool, "extract", windows_path(installer), "-o", windows_path(folder)},
                  options())
            : run_process({SCENARIO_TOOL_PATH, "extract", installer, "-o", folder});
    ASSERT_TRUE(ran.exited);
    EXPECT_EQ(ran.exit_status, 0) << ran.out << ran.err;
    std::vector<std::string> expected, listed;
    for (const ShippedFile& f : shipped_text_files()) {
      expected.push_back(f.name);
      EXPECT_EQ(sha256_hex(read_file_bytes(folder + "/" + f.name)), f.sha256) << f.name;
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      listed.push_back(entry.path().filename());
    }
    std::sort(expected.begin(), expected.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, expected);
  }
}

TEST_F(WineTest, PackagedInstallerWritesTheShippedBytesOnWindows) {
  TempDir sources, documents, root;
  const ScenarioIdentity shipped{kShippedLineName, kShippedTrainNumber};
  ASSERT_TRUE(dati_linea(sources.path(), shipped).ok());
  ASSERT_TRUE(dati_treno(sources.path(), shipped).ok());
  ASSERT_TRUE(dati_note(documents.path(), shipped).ok());
  ASSERT_TRUE(dati_scheda(documents.path(), shipped).ok());
  ASSERT_TRUE(dati_rallentamenti(documents.path(), shipped).ok());
  const std::string folder = root.file("Pacchetto \xC3\xA8");
  std::filesystem::create_directory(folder);
  const ProcessResult made = run_process(
      {SCENARIO_TOOL_PATH, "package", sources.path(), "--notes", documents.file(kNotesFile.name),
       "--sheet", documents.file(kTrainSheetFile.name), "--slowdowns",
       documents.file(kSlowdownOrderFile.name), "-o", folder + "/Viterbo_Attigliano_7545.exe",
       "--installer", windows_program("Viterbo_Attigliano_7545.exe")});
  ASSERT_EQ(made.exit_status, 0) << made.out << made.err;
  const ProcessResult ran =
      run_process({wine_, folder + "/Viterbo_Attigliano_7545.exe"}, options(root.path()));
  EXPECT_EQ(ran.exit_status, 0) << ran.err;
  std::vector<ShippedFile> files = shipped_compiled_files();
  for (const ShippedFile& f : {kNotesFile, kSlowdownOrderFile, kTrainSheetFile}) files.push_back(f);
  for (const ShippedFile& f : files) {
    EXPECT_EQ(sha256_hex(read_file_bytes(folder + "/" + f.name)), f.sha256) << f.name;
  }
}

// A double double-click: two runs started together in one folder. The second waits for the
// first; both end well, and the folder holds the files of a complete run, no lock file and no
// temporary file.
TEST_F(WineTest, TwoInstallersStartedTogetherBothEndWell) {
  TempDir folder, elsewhere;
  const std::string exe = folder.file("Viterbo_Attigliano_7545.exe");
  std::filesystem::copy_file(windows_program("Viterbo_Attigliano_7545.exe"), exe);
  // What a killed run left: the first run to hold the folder deletes it.
  write_file_bytes(folder.file("Viterbo_Attigliano_linea.dat.scenario-tmp-999-0"), "left");
  ChildProcess first({wine_, exe}, options(elsewhere.path()));
  ChildProcess second({wine_, exe}, options(elsewhere.path()));
  for (ChildProcess* run : {&first, &second}) {
    ProcessResult result;
    ASSERT_TRUE(run->wait(120000, &result)) << "a run did not end";
    EXPECT_EQ(result.exit_status, 0) << result.err;
  }
  std::vector<ShippedFile> files = shipped_compiled_files();
  for (const ShippedFile& f : {kNotesFile, kSlowdownOrderFile, kTrainSheetFile}) files.push_back(f);
  std::vector<std::string> expected = {"Viterbo_Attigliano_7545.exe"};
  for (const ShippedFile& f : files) {
    expected.push_back(f.name);
    EXPECT_EQ(sha256_hex(read_file_bytes(folder.file(f.name))), f.sha256) << f.name;
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(folder.list(), expected);
}

// While another process holds the folder's lock, a run waits, then says so in its message box
// and ends with a failure, having written nothing.
TEST_F(WineTest, ARunThatFindsTheFolderBusySaysSo) {
  TempDir folder;
  std::filesystem::copy_file(windows_program("fault_probe.exe"), folder.file("probe.exe"));
  ChildProcess holder({wine_, windows_program("lock_holder.exe"), "scenario-folder.lock", "60000"},
                      options(folder.path()));
  for (int i = 0; i < 300 && folder.list().size() < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_EQ(folder.list(), (std::vector<std::string>{"probe.exe", "scenario-folder.lock"}));
  // No file fails; the run waits 0.3 s for the folder.
  ChildProcess probe({wine_, folder.file("probe.exe"), "0", "300"}, options());
  ASSERT_NE(screen_.find(kApplicationTitle, 30), 0u) << "the message box did not appear";
  const ProcessResult reader =
      run_process({wine_, windows_program("message_box_reader.exe"), kApplicationTitle}, options());
  EXPECT_EQ(reader.exit_status, 0);
  EXPECT_NE(reader.out.find("another run is already working in "), std::string::npos) << reader.out;
  ProcessResult result;
  ASSERT_TRUE(probe.wait(20000, &result)) << "OK did not close the box";
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(folder.list(), (std::vector<std::string>{"probe.exe", "scenario-folder.lock"}));
}

// Wine shows a Unix symbolic link as the file it leads to, and would create the file a dangling
// one leads to. A link planted at the lock file's name is refused, saying so in the message box,
// and neither it nor what it leads to is deleted or made.
TEST_F(WineTest, ALinkAtTheLockNameIsRefused) {
  for (const bool dangling : {false, true}) {
    SCOPED_TRACE(dangling ? "a link that leads nowhere" : "a link to a file");
    TempDir folder, elsewhere;
    std::filesystem::copy_file(windows_program("Viterbo_Attigliano_7545.exe"),
                               folder.file("installer.exe"));
    write_file_bytes(elsewhere.file("victim"), "victim");
    std::filesystem::create_symlink(elsewhere.file(dangling ? "nowhere" : "victim"),
                                    folder.file("scenario-folder.lock"));
    ChildProcess installer({wine_, folder.file("installer.exe")}, options(elsewhere.path()));
    ASSERT_NE(screen_.find(kApplicationTitle, 30), 0u) << "the message box did not appear";
    const ProcessResult reader = run_process(
        {wine_, windows_program("message_box_reader.exe"), kApplicationTitle}, options());
    EXPECT_EQ(reader.exit_status, 0);
    EXPECT_NE(reader.out.find("scenario-folder.lock: it is a symbolic link: remove it"),
              std::string::npos)
        << reader.out;
    ProcessResult result;
    ASSERT_TRUE(installer.wait(20000, &result)) << "OK did not close the box";
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(folder.list(), (std::vector<std::string>{"installer.exe", "scenario-folder.lock"}));
    EXPECT_EQ(elsewhere.list(), std::vector<std::string>{"victim"});
    EXPECT_EQ(read_file_bytes(elsewhere.file("victim")), "victim");
  }
}

// An installer carrying, by hand, a line name that leads out of its folder, up or to an
// absolute path: damaged, it says so in its box and writes nothing anywhere.
TEST_F(WineTest, AnInstallerWhoseNamesLeadOutOfItsFolderWritesNothing) {
  TempDir texts;
  const ScenarioIdentity shipped{kShippedLineName, kShippedTrainNumber};
  ASSERT_TRUE(dati_linea(texts.path(), shipped).ok());
  ASSERT_TRUE(dati_treno(texts.path(), shipped).ok());
  ASSERT_TRUE(dati_note(texts.path(), shipped).ok());
  ASSERT_TRUE(dati_scheda(texts.path(), shipped).ok());
  ASSERT_TRUE(dati_rallentamenti(texts.path(), shipped).ok());
  ScenarioPayload payload;
  payload.line_source = read_file_bytes(texts.file(line_source_name(shipped)));
  payload.train_source = read_file_bytes(texts.file(train_source_name(shipped)));
  payload.notes = read_file_bytes(texts.file(kNotesFile.name));
  payload.slowdown_order = read_file_bytes(texts.file(kSlowdownOrderFile.name));
  payload.train_sheet = read_file_bytes(texts.file(kTrainSheetFile.name));

  TempDir root;
  const struct {
    const char* what;
    std::string line;
    const char* says;
  } cases[] = {
      {"up a folder", "..\\X", "its line name \"..\\X\": '\\' separates folders on Windows"},
      {"an absolute path", windows_path(root.path()) + "\\X", "':' names a drive (C:)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    payload.scenario = {c.line, kShippedTrainNumber};
    std::filesystem::create_directory(root.file("run"));
    const std::string exe = root.file("run/installer.exe");
    write_file_bytes(exe, read_file_bytes(windows_program("Viterbo_Attigliano_7545.exe")) +
                              encode_payload(payload));
    ChildProcess run({wine_, exe}, options(root.path()));
    ASSERT_NE(screen_.find(kApplicationTitle, 30), 0u) << "the message box did not appear";
    const ProcessResult reader = run_process(
        {wine_, windows_program("message_box_reader.exe"), kApplicationTitle}, options());
    EXPECT_EQ(reader.exit_status, 0);
    EXPECT_NE(reader.out.find(" Errore n. 1260: installer damaged: "), std::string::npos)
        << reader.out;
    EXPECT_NE(reader.out.find(c.says), std::string::npos) << reader.out;
    ProcessResult result;
    ASSERT_TRUE(run.wait(20000, &result)) << "OK did not close the box";
    EXPECT_EQ(result.exit_status, 4);
    EXPECT_EQ(everything_under(root.path()),
              (std::vector<std::string>{"run", "run/installer.exe"}));
    std::filesystem::remove_all(root.file("run"));
  }
}

// scenario-tool.exe never makes an installer in its sources' folder, however a Windows user
// spells the two: relative, absolute on a drive, in another case, with either separator.
TEST_F(WineTest, PackageNeverInTheSourcesFolderHoweverItIsSpelt) {
  TempDir root, documents;
  const std::string dir = root.file("DIR");
  std::filesystem::create_directory(dir);
  std::filesystem::create_directory(root.file("other"));
  const ScenarioIdentity shipped{kShippedLineName, kShippedTrainNumber};
  ASSERT_TRUE(dati_linea(dir, shipped).ok());
  ASSERT_TRUE(dati_treno(dir, shipped).ok());
  ASSERT_TRUE(dati_note(documents.path(), shipped).ok());
  ASSERT_TRUE(dati_scheda(documents.path(), shipped).ok());
  ASSERT_TRUE(dati_rallentamenti(documents.path(), shipped).ok());
  const std::string dir_w = windows_path(dir);
  const struct {
    const char* what;
    std::string sources, output;
    int status;
  } cases[] = {
      {"up and back", dir_w, "..\\DIR\\x.exe", 1},
      {"absolute on its drive", ".", dir_w + "\\x.exe", 1},
      {"another case", dir_w, windows_path(root.file("dir")) + "\\x.exe", 1},
      {"forward slashes", dir_w, "../DIR/x.exe", 1},
      {"a dot", dir_w, dir_w + "\\.\\x.exe", 1},
      {"another folder", ".", "..\\other\\x.exe", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ProcessResult made =
        run_process({wine_, kWindowsBuild + "/tools/scenario-tool.exe", "package", c.sources,
                     "--notes", windows_path(documents.file(kNotesFile.name)), "--sheet",
                     windows_path(documents.file(kTrainSheetFile.name)), "--slowdowns",
                     windows_path(documents.file(kSlowdownOrderFile.name)), "-o", c.output,
                     "--installer", windows_path(windows_program("Viterbo_Attigliano_7545.exe"))},
                    options(dir));
    ASSERT_TRUE(made.exited);
    EXPECT_EQ(made.exit_status, c.status) << made.out << made.err;
    if (c.status != 0) {
      EXPECT_NE(made.err.find("replace and then delete them"), std::string::npos) << made.err;
    }
    EXPECT_EQ(everything_under(dir), (std::vector<std::string>{"Viterbo_Attigliano_7545-.txt",
                                                               "Viterbo_Attigliano_linea.txt"}));
    EXPECT_EQ(everything_under(root.file("other")),
              c.status == 0 ? std::vector<std::string>{"x.exe"} : std::vector<std::string>{});
  }
}

// scenario-tool.exe's language server through pipes: the protocol's bytes pass as they are (no
// CR LF translation), a document named by a file URI of a drive is checked with the source
// beside it, a message nested 20,000 deep (which overflowed the stack) is refused, and shutdown
// then exit end it with status 0.
TEST_F(WineTest, AuthorsToolServesAnEditorThroughPipes) {
  TempDir root;
  const ScenarioIdentity shipped{kShippedLineName, kShippedTrainNumber};
  ASSERT_TRUE(dati_linea(root.path(), shipped).ok());
  ASSERT_TRUE(dati_treno(root.path(), shipped).ok());
  const std::string line_uri = "file:///Z:" + root.path() + "/Viterbo_Attigliano_linea.txt";
  const std::string messages[] = {
      R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{}}})",
      R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":")" +
          line_uri + R"(","languageId":"scenario","version":1,"text":"[generale]\r\n"}}})",
      R"({"jsonrpc":"2.0","method":"$/cancelRequest","params":{"id":)" + std::string(20000, '[') +
          std::string(20000, ']') + "}}",
      R"({"jsonrpc":"2.0","id":2,"method":"shutdown"})", R"({"jsonrpc":"2.0","method":"exit"})"};
  std::string input;
  for (const std::string& m : messages) {
    input += "Content-Length: " + std::to_string(m.size()) + "\r\n\r\n" + m;
  }
  write_file_bytes(root.file("input"), input);
  const ProcessResult r =
      run_process({"/bin/sh", "-c", "exec \"$0\" \"$1\" lsp < \"$2\"", wine_,
                   kWindowsBuild + "/tools/scenario-tool.exe", root.file("input")},
                  options());
  ASSERT_TRUE(r.exited) << "signal " << r.signal << "\n" << r.err << r.out;
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("\r\n\r\n{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{\"capabilities\""),
            std::string::npos)
      << r.out;
  // The line source as the editor holds it lacks nearly everything: its errors are published
  // for it, and the train source beside it is named by its own URI.
  EXPECT_NE(r.out.find("\"uri\":\"" + line_uri + "\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Viterbo_Attigliano_7545-.txt\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"severity\":1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Content-Length: 38\r\n\r\n{\"id\":2,\"jsonrpc\":\"2.0\",\"result\":null}"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("{\"code\":-32700,\"message\":\"arrays and objects nested deeper"),
            std::string::npos)
      << r.out;
}
