// Runs scenario-tool's commands as an author would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <tuple>
#include <utility>

#include "common/file_io.h"
#include "compiler/scenario_compiler.h"
#include "sources/line_source.h"
#include "sources/train_source.h"
#include "test_support/process.h"
#include "test_support/shipped_files.h"
#include "test_support/temp_dir.h"
#include "tools/testing/tool_fixture.h"

// The program itself, started as an author starts it.
TEST(ScenarioToolTest, CompilesTheShippedSourcesAndKeepsThem) {
  TempDir dir;
  write_shipped_sources(dir);
  const ProcessResult result = run_tool_process({"compile", dir.path()});
  EXPECT_EQ(result.exit_status, 0) << result.out << result.err;
  EXPECT_EQ(last_line(result.out), "error_code=0 error_position=0");
  EXPECT_TRUE(file_exists(dir.file(kLineSourceFile.name)));
  EXPECT_TRUE(file_exists(dir.file(kTrainSourceFile.name)));
  EXPECT_EQ(read_file_bytes(dir.file(kLinePlanFile.name)).size(), kLinePlanFile.bytes);
  EXPECT_EQ(read_file_bytes(dir.file(kTrackCellsFile.name)).size(), kTrackCellsFile.bytes);
}

TEST(ScenarioToolTest, ReportsWhatCameOfAnAuthorsSources) {
  const std::string general = "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n";
  const struct {
    const char* what;
    std::string line_source;
    std::vector<std::string> options;
    int status;
    std::string last_line;
    std::vector<const char*> written;
  } cases[] = {
      {"a clean source under another name",
       general + "[fine]\r\n",
       {"--line", "Roma_Nord", "--train", "12"},
       0,
       "error_code=0 error_position=0",
       {"Roma_Nord_linea.dat", "Roma_Nord_12.sim", "Roma_Nord_12.dat"}},
      {"without the plan",
       general + "[fine]\r\n",
       {"--line", "Roma_Nord", "--no-plan"},
       0,
       "error_code=0 error_position=0",
       {"Roma_Nord_7545.sim", "Roma_Nord_7545.dat"}},
      {"a feature past the cells: nothing written",
       general + "pendenza, 56950, 3\r\n[fine]\r\n",
       {"--line", "Roma_Nord"},
       2,
       "error_code=15 error_position=56950",
       {}},
      {"a feature past the cells, forced: written as the installer would",
       general + "pendenza, 56950, 3\r\n[fine]\r\n",
       {"--line", "Roma_Nord", "--force"},
       2,
       "error_code=15 error_position=56950",
       {"Roma_Nord_linea.dat", "Roma_Nord_7545.sim", "Roma_Nord_7545.dat"}},
      {"a version slot taken",
       general + "cartello_indicatore, 0, (x)\r\n[fine]\r\n",
       {"--line", "Roma_Nord"},
       3,
       "errore=1250",
       {}},
      {"no general section",
       "[fine]\r\nx\r\n",
       {"--line", "Roma_Nord"},
       2,
       "error_code=102 error_position=0",
       {}},
      {"no line source", "", {"--line", "Altra_Linea"}, 2, "error_code=101 error_position=0", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_file_bytes(dir.file("Roma_Nord_linea.txt"), c.line_source);
    const std::vector<std::string> sources = {"Roma_Nord_linea.txt", "Roma_Nord_7545-.txt",
                                              "Roma_Nord_12-.txt"};
    for (const char* train : {"Roma_Nord_7545-.txt", "Roma_Nord_12-.txt"}) {
      write_file_bytes(dir.file(train), "[generale]\r\nvelocita, 0, 80\r\n[fine]\r\n");
    }
    std::vector<std::string> args = {"compile", dir.path()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProcessResult result = run_tool(args);
    EXPECT_EQ(result.exit_status, c.status) << result.out << result.err;
    EXPECT_EQ(last_line(result.out), c.last_line) << result.out;
    std::vector<std::string> expected(c.written.begin(), c.written.end());
    expected.insert(expected.end(), sources.begin(), sources.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.list(), expected);
  }
}

// Names left off the command line are the folder's when it holds one line source and one train
// source of that line; otherwise the shipped names stand, as given ones do.
TEST(ScenarioToolTest, TakesTheNamesOfTheFoldersOnlyScenario) {
  const std::string line = "[generale]\r\nlunghezza percorso, 50000\r\n[fine]\r\n";
  const std::string train = "[generale]\r\nvelocita, 0, 80\r\n[fine]\r\n";
  const struct {
    const char* what;
    std::vector<std::string> sources;
    std::vector<std::string> options;
    std::vector<std::string> written;  // empty: error 101, nothing written
  } cases[] = {
      {"one of each", {"Prova_linea.txt", "Prova_1-.txt"}, {}, {"Prova_1.dat", "Prova_1.sim"}},
      {"one of each, the train named",
       {"Prova_linea.txt", "Prova_1-.txt"},
       {"--train", "1"},
       {"Prova_1.dat", "Prova_1.sim"}},
      {"two trains", {"Prova_linea.txt", "Prova_1-.txt", "Prova_2-.txt"}, {}, {}},
      {"two trains, one named",
       {"Prova_linea.txt", "Prova_1-.txt", "Prova_2-.txt"},
       {"--train", "2"},
       {"Prova_2.dat", "Prova_2.sim"}},
      {"two lines", {"Prova_linea.txt", "Prova_1-.txt", "Altra_linea.txt"}, {}, {}},
      {"a train of another line", {"Prova_linea.txt", "Altra_1-.txt"}, {}, {}},
      {"another line named", {"Prova_linea.txt", "Prova_1-.txt"}, {"--line", "Altra"}, {}},
      {"a name no file may carry", {"CON_linea.txt", "CON_1-.txt"}, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    for (const std::string& name : c.sources) {
      write_file_bytes(dir.file(name), name.find("_linea") != std::string::npos ? line : train);
    }
    std::vector<std::string> args = {"compile", dir.path(), "--no-plan"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProcessResult result = run_tool(args);
    EXPECT_EQ(result.exit_status, c.written.empty() ? 2 : 0) << result.err;
    if (c.written.empty()) {
      EXPECT_EQ(last_line(result.out), "error_code=101 error_position=0");
    }
    std::vector<std::string> expected = c.sources;
    expected.insert(expected.end(), c.written.begin(), c.written.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.list(), expected);
  }
}

TEST(ScenarioToolTest, BadUsage) {
  TempDir dir;
  const std::string missing = dir.file("missing");
  // Each refused with one line that says what is wrong, then where the usage is: the help of the
  // command run, or the overview when no command is known.
  const struct {
    std::vector<std::string> args;
    std::string line;
    const char* help;  // the command whose help is pointed to; empty for the overview
    int status;
  } cases[] = {
      {{}, "no command", "", 1},
      {{"build"}, "unknown command build", "", 1},
      {{"compil", dir.path()}, "unknown command compil; did you mean 'compile'?", "", 1},
      {{"help", "build"}, "no help on build", "", 1},
      {{"help", "viwe"}, "no help on viwe; did you mean 'view'?", "", 1},
      {{"compile"}, "a directory is needed", "compile", 1},
      {{"compile", missing}, missing + " is not a directory", "compile", 1},
      {{"compile", dir.path(), "--line"}, "--line needs a value", "compile", 1},
      {{"compile", dir.path(), "--line="}, "--line needs a value", "compile", 1},
      {{"compile", dir.path(), "--fast"}, "unknown option --fast", "compile", 1},
      {{"compile", dir.path(), "-p"}, "unknown option -p", "compile", 1},
      {{"check", dir.path(), "--no"}, "unknown option --no", "check", 1},
      {{"check", dir.path(), "--force"}, "unknown option --force", "check", 1},
      {{"check", dir.path(), "--werror=yes"}, "--werror takes no value", "check", 1},
      {{"dump", dir.path(), "--js"}, "unknown option --js", "dump", 1},
      {{"compile", dir.path(), "--wait"}, "--wait needs a value", "compile", 1},
      {{"compile", dir.path(), "--wait", "soon"},
       "--wait needs a number of seconds from 0 to 3600",
       "compile",
       1},
      {{"check", dir.path(), "--wait", "1"}, "unknown option --wait", "check", 1},
      {{"compile", dir.path(), dir.path()}, "one directory only", "compile", 1},
      {{"check", dir.path(), "--json"}, "unknown option --json", "check", 1},
      {{"check", dir.path(), "--max-warnings"}, "--max-warnings needs a value", "check", 1},
      {{"check", dir.path(), "--max-warnings", "-1"},
       "--max-warnings needs a count (0 for all)",
       "check",
       1},
      {{"compile", dir.path(), "--max-warnings", "few"},
       "--max-warnings needs a count (0 for all)",
       "compile",
       1},
      {{"dump", dir.path(), "--max-warnings", "3"}, "unknown option --max-warnings", "dump", 1},
      {{"dump", dir.path(), "--no-plan"}, "unknown option --no-plan", "dump", 1},
      {{"plot", dir.path()}, "plot needs -o FILE.svg", "plot", 1},
      {{"plot", dir.path(), "-o"}, "-o needs a value", "plot", 1},
      {{"view", dir.path()}, "view needs -o FILE.html", "view", 1},
      {{"package", dir.path()},
       "package needs --notes FILE, --sheet FILE and --slowdowns FILE",
       "package",
       1},
      {{"package", dir.path(), "--line", "CON", "--notes", "n", "--sheet", "s", "--slowdowns", "r"},
       "--line \"CON\": 'CON' is a Windows device name; a name must be a plain file name",
       "package",
       1},
      {{"init", dir.path(), "--line", "L"}, "--train is needed", "init", 1},
      {{"extract", "-o", dir.path()}, "INSTALLER is needed", "extract", 1},
      {{"decompile", dir.path()},
       "decompile needs -o OUT, the folder to write into",
       "decompile",
       1},
      {{"diff", dir.path()}, "two scenarios are needed: A B", "diff", 2},
      {{"lsp", "--tcp"}, "lsp takes no --tcp", "lsp", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const ProcessResult result = run_tool(c.args);
    EXPECT_EQ(result.exit_status, c.status);
    EXPECT_EQ(result.err, "scenario-tool: " + c.line + "\nsee: scenario-tool help" +
                              (*c.help != '\0' ? std::string(" ") + c.help : "") + "\n");
    EXPECT_EQ(result.out, "");
  }
  EXPECT_TRUE(dir.list().empty());
  const struct {
    std::vector<std::string> args;
    const char* says;
  } helps[] = {
      {{"--help"}, "commands:"},
      {{"help", "compile"}, "Exit status: 0 error code 0"},
      {{"check", "--help"}, "check writes nothing"},
      {{"help", "check"}, "--max-warnings N"},
      {{"dump", "--help"}, "--json"},
      {{"help", "plot"}, "-o FILE.svg"},
      {{"help", "format"}, "| `pendenza, P, G` | position m, gradient per mille |"},
      {{"--lang=it", "help", "format"}, "| `pendenza, P, G` | posizione m, pendenza per mille |"},
      {{"format", "--help"}, "--check"},
  };
  for (const auto& h : helps) {
    const ProcessResult help = run_tool(h.args);
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_NE(help.out.find(h.says), std::string::npos) << help.out;
  }
}

TEST(ScenarioToolTest, ListsEveryProblemOfTheSignalCellRules) {
  TempDir dir;
  // A slowdown at 5000 m whose approach windows are filled with signboards: the first window
  // (cells 96 to 94) and the third (cells 83 to 81) find no room.
  std::string line = "[generale]\r\nlunghezza percorso, 50000\r\n[x]\r\n";
  for (int cell : {96, 95, 94, 83, 82, 81}) {
    line += "cartello_indicatore, " + std::to_string((cell - 1) * 50) + ", (s)\r\n";
  }
  write_file_bytes(dir.file("Viterbo_Attigliano_linea.txt"), line + "[fine]\r\n");
  write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"),
                   "[generale]\r\nvelocita, 0, 80\r\nrallentamento, 5000, 30, 200, 0, 0, 0\r\n"
                   "[fine]\r\n");
  const ProcessResult result = run_tool({"compile", dir.path()});
  EXPECT_EQ(result.exit_status, 2);
  // At the slowdown's row, which the rules' problem comes from; the cell in a note.
  const std::string window_problem =
      dir.path() +
      "/Viterbo_Attigliano_7545-.txt:3:1: error 12: no free "
      "cell for a speed restriction point in an approach window before a slowdown, "
      "at 5050 m\n    rallentamento, 5000, 30, 200, 0, 0, 0\n    ^\n    note: the signal-cell "
      "rules met it in cell 101 (5050 m) of Viterbo_Attigliano_7545.dat, from the slowdown at "
      "5000 m\n";
  const size_t first = result.err.find(window_problem);
  ASSERT_NE(first, std::string::npos) << result.err;
  EXPECT_NE(result.err.find(window_problem, first + 1), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("    cells around 101: 81 signboard, 82 signboard, 83 signboard, "
                            "90 speed restriction point, 94 signboard"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(last_line(result.out), "error_code=12 error_position=5050");
}

TEST(ScenarioToolTest, CheckLeavesTheDirectoryAsItWas) {
  const auto listing = [](const TempDir& dir) {
    std::vector<std::tuple<std::string, uintmax_t, std::filesystem::file_time_type>> entries;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      entries.emplace_back(e.path().filename(), e.file_size(), e.last_write_time());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
  };
  for (const bool broken : {false, true}) {
    SCOPED_TRACE(broken ? "sources with an error" : "the shipped sources");
    TempDir dir;
    write_shipped_sources(dir);
    if (broken) {
      write_file_bytes(dir.file("Viterbo_Attigliano_linea.txt"),
                       "[generale]\r\nlunghezza percorso, x\r\n[fine]\r\n");
    }
    const auto before = listing(dir);
    const ProcessResult result = run_tool({"check", dir.path()});
    EXPECT_EQ(result.exit_status, broken ? 2 : 0);
    EXPECT_NE(result.out.find(broken ? "nothing compiled: no compiled file written\n"
                                     : "checked in memory: nothing written\n"),
              std::string::npos);
    EXPECT_EQ(last_line(result.out),
              broken ? "error_code=25 error_position=0" : "error_code=0 error_position=0");
    EXPECT_EQ(listing(dir), before);
  }
}

TEST(ScenarioToolTest, NamesOutsideAsciiAreStoredInWindows1252) {
  // File names keep the platform's UTF-8; the table holds Windows-1252 bytes.
  TempDir dir;
  const std::string line = "Citt\xC3\xA0_\xC3\x80lta";
  write_file_bytes(dir.file(line + "_linea.txt"),
                   "[generale]\r\nlunghezza percorso, 50000\r\n[fine]\r\nx\r\n");
  write_file_bytes(dir.file(line + "_7545-.txt"), "[generale]\r\nvelocita, 0, 70\r\n[fine]\r\n");
  const ProcessResult compiled = run_tool({"compile", dir.path(), "--line", line});
  EXPECT_EQ(compiled.exit_status, 0) << compiled.err;
  const std::string sim = read_file_bytes(dir.file(line + "_7545.sim"));
  EXPECT_NE(sim.find(std::string("\x0a\x00", 2) + "Citt\xE0_\xC0lta"), std::string::npos);

  // A name Windows-1252 cannot represent, or that is not UTF-8, is refused before anything is
  // read or written.
  const struct {
    const char* option;
    std::string name;
    const char* says;
  } refused[] = {
      {"--line", "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", "cannot represent"},
      {"--train", "7545\xE2\x86\x92", "cannot represent"},
      {"--line", "Citt\xE0", "is not UTF-8"},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.name);
    const std::vector<std::string> before = dir.list();
    const ProcessResult result = run_tool({"compile", dir.path(), r.option, r.name});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_NE(result.err.find(r.says), std::string::npos) << result.err;
    EXPECT_EQ(dir.list(), before);
  }
}

TEST(ScenarioToolTest, BrokenSourcesNeverReplaceGoodCompiledFiles) {
  TempDir dir;
  write_shipped_sources(dir);
  ASSERT_EQ(run_tool({"compile", dir.path()}).exit_status, 0);
  const std::vector<std::string> names = {
      "Viterbo_Attigliano_linea.dat", "Viterbo_Attigliano_7545.sim", "Viterbo_Attigliano_7545.dat"};
  std::vector<std::string> good;
  for (const std::string& name : names) good.push_back(read_file_bytes(dir.file(name)));

  // A signboard moved onto another one's cell: error 6, and the good files stay.
  const std::string line_path = dir.file("Viterbo_Attigliano_linea.txt");
  const std::string broken = replace_all(read_file_bytes(line_path), "cartello_indicatore,  3050,",
                                         "cartello_indicatore,  3010,");
  ASSERT_NE(broken, read_file_bytes(line_path));
  write_file_bytes(line_path, broken);
  const ProcessResult refused = run_tool({"compile", dir.path()});
  EXPECT_EQ(refused.exit_status, 2);
  EXPECT_NE(refused.out.find("no compiled file written"), std::string::npos) << refused.out;
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(read_file_bytes(dir.file(names[i])), good[i]) << names[i];
  }

  // --force writes what the installer's compiler writes from the same sources.
  EXPECT_EQ(run_tool({"compile", dir.path(), "--force"}).exit_status, 2);
  TempDir same;
  write_file_bytes(same.file("Viterbo_Attigliano_linea.txt"), broken);
  write_file_bytes(same.file("Viterbo_Attigliano_7545-.txt"),
                   read_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt")));
  CompileOptions installer_options;
  installer_options.directory = same.path();
  installer_options.scenario = {kShippedLineName, kShippedTrainNumber};
  Compilation installer_compiled;
  memorizza_percorso(installer_options, &installer_compiled);
  EXPECT_EQ(installer_compiled.log.error.code, 6);
  for (const std::string& name : names) {
    EXPECT_EQ(read_file_bytes(dir.file(name)), read_file_bytes(same.file(name))) << name;
  }
}
// A source must be a regular file of a sane size: a FIFO is not waited on, a link to a device
// or a huge sparse file is not read until memory runs out. One line names the file and the
// reason, and nothing is written.
TEST(ScenarioToolTest, ASourceThatIsNoRegularFileOrTooLargeIsRefused) {
  enum Kind { kFifo, kLinkToDevice, kSparseFile };
  const struct {
    Kind what;
    const char* source;  // which source is replaced
    std::string reason;
  } cases[] = {
      {kFifo, "Viterbo_Attigliano_linea.txt", "not a regular file"},
      {kLinkToDevice, "Viterbo_Attigliano_linea.txt", "not a regular file"},
      {kSparseFile, "Viterbo_Attigliano_7545-.txt", "over 256 MiB, too large for a scenario file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_shipped_sources(dir);
    const std::string path = dir.file(c.source);
    std::filesystem::remove(path);
    if (c.what == kFifo) {
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    } else if (c.what == kLinkToDevice) {
      std::filesystem::create_symlink("/dev/zero", path);
    } else {
      // 3 GB that take no room on the disk.
      const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0600);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(ftruncate(fd, off_t{3} << 30), 0);
      close(fd);
    }
    const std::vector<std::string> before = dir.list();
    ChildProcess tool({SCENARIO_TOOL_PATH, "compile", dir.path()}, {});
    ProcessResult result;
    ASSERT_TRUE(tool.wait(60000, &result)) << "the tool did not end within a minute";
    EXPECT_EQ(result.exit_status, 4);
    EXPECT_EQ(result.err, "scenario-tool: cannot read " + path + ": " + c.reason + "\n");
    // The compiler never had the sources: no error code of its in the last line.
    EXPECT_EQ(result.out.find("error_code="), std::string::npos) << result.out;
    EXPECT_EQ(dir.list(), before);
    // Nor in the JSON report, which says what failed instead.
    ChildProcess json({SCENARIO_TOOL_PATH, "check", dir.path(), "--format=json"}, {});
    ASSERT_TRUE(json.wait(60000, &result)) << "the tool did not end within a minute";
    EXPECT_EQ(result.exit_status, 4);
    EXPECT_NE(result.out.find("\"error_code\": null"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("\"message\": \"cannot read " + path + ": " + c.reason + "\""),
              std::string::npos)
        << result.out;
  }
}

// The wrong file rather than a wrong row: the first diagnostic says which file and what to do,
// in the same words in every form; a code without a position of its own reports its row's.
TEST(ScenarioToolTest, NamesWhatIsWrongWithTheFiles) {
  const std::string line = "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n";
  const std::string train = "[generale]\r\nvelocita, 0, 80\r\n[fine]\r\n";
  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;  // name, bytes
    std::vector<std::string> args;                           // after the command and DIR
    int status;
    std::string first;      // the first line on standard error, DIR for the folder
    std::string results;    // the last two lines on standard output
    std::string also = "";  // words the report holds further on
  } cases[] = {
      {"another train's source",
       {{"Monte_Borgo_linea.txt", line + "[fine]\r\n"}, {"Monte_Borgo_2301-.txt", train}},
       {"--line", "Monte_Borgo", "--train", "2302"},
       2,
       "DIR/Monte_Borgo_2302-.txt: error 25: no train source Monte_Borgo_2302-.txt; the folder "
       "has Monte_Borgo_2301-.txt: --train 2301?",
       "error code 25: no train source Monte_Borgo_2302-.txt; the folder has "
       "Monte_Borgo_2301-.txt: --train 2301?\nerror_code=25 error_position=0"},
      {"another train's source, met past the first error",
       {{"Monte_Borgo_linea.txt",
         line + "cartello_indicatore, 2100, (a)\r\ncartello_indicatore, 2110, (b)\r\n[fine]\r\n"},
        {"Monte_Borgo_2301-.txt", train}},
       {"--line", "Monte_Borgo", "--train", "2302"},
       2,
       "DIR/Monte_Borgo_linea.txt:5:1: error 6: two objects in the same 50 m cell: signboard at "
       "2110 m meets signboard (cell 43); move one of them by 50 m or more, at 2110 m",
       "",
       "\nDIR/Monte_Borgo_2302-.txt:1:1: error 25: no train source Monte_Borgo_2302-.txt; the "
       "folder has Monte_Borgo_2301-.txt: --train 2301?\n"},
      {"no train source of the line",
       {{"Monte_Borgo_linea.txt", line + "[fine]\r\n"}, {"Monte_2301-.txt", train}},
       {"--line", "Monte_Borgo", "--train", "2302"},
       2,
       "DIR/Monte_Borgo_2302-.txt: error 25: no train source Monte_Borgo_2302-.txt; the folder "
       "has no train source of the line (Monte_Borgo_*-.txt)",
       ""},
      {"another line's source",
       {{"Monte_Borgo_linea.txt", line}, {"Monte_Alto_linea.txt", line}},
       {"--line", "Monte"},
       2,
       "DIR/Monte_linea.txt: error 101: no line source Monte_linea.txt; the folder has "
       "Monte_Alto_linea.txt, Monte_Borgo_linea.txt: --line Monte_Alto or Monte_Borgo?",
       "error code 101: no line source file\nerror_code=101 error_position=0"},
      {"an installer has run",
       {{"Monte_linea.dat", "x"}, {"Monte_7545.sim", "x"}, {"Monte_7545_note.txt", "x"}},
       {"--line", "Monte"},
       2,
       "DIR/Monte_linea.txt: error 101: no line source Monte_linea.txt here, but the compiled "
       "Monte_linea.dat and Monte_7545.sim: an installer has run in this folder, and an "
       "installer deletes the sources it writes once it has compiled them",
       ""},
      {"another scenario's installer has run",
       {{"Orte_linea.dat", "x"}, {"Orte_2301.sim", "x"}},
       {},
       2,
       "DIR/Viterbo_Attigliano_linea.txt: error 101: no line source Viterbo_Attigliano_linea.txt "
       "here, but the compiled Orte_linea.dat: an installer has run in this folder, and an "
       "installer deletes the sources it writes once it has compiled them",
       ""},
      {"an empty line source",
       {{"Monte_linea.txt", ""}, {"Monte_7545-.txt", train}},
       {"--line", "Monte"},
       2,
       "DIR/Monte_linea.txt:1:1: error 25: Monte_linea.txt is empty: a line source begins with "
       "its [generale] section and the route length in it, 'lunghezza percorso, <metres>'",
       ""},
      {"a train source of blank lines",
       {{"Monte_linea.txt", line + "[fine]\r\n"}, {"Monte_7545-.txt", " \r\n\r\n"}},
       {"--line", "Monte"},
       2,
       "DIR/Monte_7545-.txt:1:1: error 25: Monte_7545-.txt holds only blanks and line ends: a "
       "train source begins with its [generale] section: 'numero vetture', 'percentuale massa "
       "frenata', 'sabbia', 'orologio'",
       ""},
      {"a curve keyword with 7",
       {{"Monte_linea.txt", line + "pendenza, 0, 0\r\ncurvad7, 1000, 300\r\n[fine]\r\n"},
        {"Monte_7545-.txt", train}},
       {"--line", "Monte"},
       2,
       "DIR/Monte_linea.txt:5:1: error 103: 'curvad7': 7 is not a curvature digit (1 to 6: 1 the "
       "widest curve, 6 the sharpest)",
       "error code 103 (row at 1000 m): 'curvad7': 7 is not a curvature digit (1 to 6: 1 the "
       "widest curve, 6 the sharpest)\nerror_code=103 error_position=1000"},
      {"a comma missing after the keyword",
       {{"Monte_linea.txt", line + "montagna 1000, 1200, 2\r\n[fine]\r\n"},
        {"Monte_7545-.txt", train}},
       {"--line", "Monte"},
       2,
       "DIR/Monte_linea.txt:4:1: error 25: a comma is missing after 'montagna': its field holds "
       "the row's tunnel start too, so the row's values were read one field on",
       "error code 25 (row at 1000 m): a comma is missing after 'montagna': its field holds the "
       "row's tunnel start too, so the row's values were read one field on\nerror_code=25 "
       "error_position=1000"},
      {"a curve keyword with its digit after a blank",
       {{"Monte_linea.txt", line + "curva destra 4, 700, x\r\n[fine]\r\n"},
        {"Monte_7545-.txt", train}},
       {"--line", "Monte"},
       2,
       "DIR/Monte_linea.txt:4:22: error 25: the reading stopped: curve length: \"x\" is not a "
       "number",
       "error code 25 (row at 700 m): the reading stopped: curve length: \"x\" is not a "
       "number\nerror_code=25 error_position=700"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    for (const auto& file : c.files) write_file_bytes(dir.file(file.first), file.second);
    std::vector<std::string> args = {"check", dir.path()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult text = run_tool(args);
    EXPECT_EQ(text.exit_status, c.status) << text.err;
    const std::string err = replace_all(text.err, dir.path(), "DIR");
    EXPECT_EQ(err.substr(0, err.find('\n')), c.first) << err;
    EXPECT_NE(err.find(c.also), std::string::npos) << err;
    if (!c.results.empty()) {
      const std::string out = text.out.substr(0, text.out.size() - 1);
      EXPECT_EQ(out.substr(out.rfind('\n', out.rfind('\n') - 1) + 1), c.results) << text.out;
    }
    // The same words in JSON and SARIF: the message after "error N: ".
    const std::string message = c.first.substr(c.first.find(": ", c.first.find("error ")) + 2);
    args.push_back("--format=json");
    const nlohmann::json json = nlohmann::json::parse(run_tool(args).out);
    EXPECT_EQ(json["diagnostics"][0]["message"], message);
    args.back() = "--format=sarif";
    const nlohmann::json sarif = nlohmann::json::parse(run_tool(args).out);
    const std::string sarif_text = sarif["runs"][0]["results"][0]["message"]["text"];
    EXPECT_EQ(sarif_text.substr(0, sarif_text.find('\n')), message);
  }
}

// A command line refused before anything is checked still gives the document asked for, saying
// why, beside the one line on standard error.
TEST(ScenarioToolTest, RefusedCommandLineStillGivesTheDocumentAskedFor) {
  TempDir dir;
  for (const std::string format : {"json", "sarif"}) {
    SCOPED_TRACE(format);
    const ProcessResult result =
        run_tool({"check", dir.path(), "--line", "../elsewhere", "--format=" + format});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_NE(result.err.find("see: scenario-tool help check"), std::string::npos) << result.err;
    const nlohmann::json document = nlohmann::json::parse(result.out);
    const nlohmann::json& first =
        format == "json" ? document["diagnostics"][0] : document["runs"][0]["results"][0];
    EXPECT_EQ(first[format == "json" ? "code" : "ruleId"], "usage") << result.out;
    EXPECT_NE(first["message"].dump().find("--line"), std::string::npos) << result.out;
  }
}
