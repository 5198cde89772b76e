// An author's installer made with 'scenario-tool package' and run as a driver would run it.
#include "tools/package/package.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>

#include "common/file_io.h"
#include "common/file_path.h"
#include "compiler/scenario_compiler.h"
#include "documents/driver_documents.h"
#include "sources/line_source.h"
#include "sources/text_writer.h"
#include "sources/train_source.h"
#include "test_support/hostile_names.h"
#include "test_support/process.h"
#include "test_support/sha256.h"
#include "test_support/shipped_files.h"
#include "test_support/temp_dir.h"
#include "tools/testing/tool_fixture.h"

namespace {

const ScenarioIdentity kShipped{kShippedLineName, kShippedTrainNumber};

// Runs the installer `program` copied into a fresh folder, without a display.
ProcessResult run_installer_in(const std::string& program, const TempDir& folder) {
  const std::string copy = folder.file("installer");
  std::filesystem::copy_file(program, copy);
  EXPECT_TRUE(make_executable(copy).ok());
  ProcessOptions options;
  options.unset_environment = {"DISPLAY", "WAYLAND_DISPLAY"};
  return run_process({copy}, options);
}

// The shipped sources and documents in `dir`; the documents' paths.
std::vector<std::string> write_shipped_texts(const TempDir& sources, const TempDir& documents) {
  write_shipped_sources(sources);
  EXPECT_TRUE(dati_note(documents.path(), kShipped).ok());
  EXPECT_TRUE(dati_scheda(documents.path(), kShipped).ok());
  EXPECT_TRUE(dati_rallentamenti(documents.path(), kShipped).ok());
  return {documents.file(kNotesFile.name), documents.file(kTrainSheetFile.name),
          documents.file(kSlowdownOrderFile.name)};
}

ProcessResult package(const TempDir& sources, const std::vector<std::string>& documents,
                      const std::string& output, std::vector<std::string> more = {}) {
  std::vector<std::string> args = {"package",     sources.path(), "--notes",     documents[0],
                                   "--sheet",     documents[1],   "--slowdowns", documents[2],
                                   "-o",          output,         "--target",    "linux",
                                   "--installer", INSTALLER_PATH};
  args.insert(args.end(), more.begin(), more.end());
  return run_tool(args);
}

// The shipped scenario's texts, as an installer carries them, under the names of `scenario`.
ScenarioPayload shipped_payload(const ScenarioIdentity& scenario) {
  TempDir sources, documents;
  write_shipped_texts(sources, documents);
  ScenarioPayload payload;
  payload.scenario = scenario;
  payload.line_source = read_file_bytes(sources.file(line_source_name(kShipped)));
  payload.train_source = read_file_bytes(sources.file(train_source_name(kShipped)));
  payload.notes = read_file_bytes(documents.file(kNotesFile.name));
  payload.slowdown_order = read_file_bytes(documents.file(kSlowdownOrderFile.name));
  payload.train_sheet = read_file_bytes(documents.file(kTrainSheetFile.name));
  return payload;
}

// An ELF program whose header puts its section header table at `offset` (e_shoff).
std::string with_section_headers_at(std::string program, uint64_t offset) {
  for (int i = 0; i < 8; ++i) program[0x28 + i] = static_cast<char>(offset >> (8 * i));
  return program;
}

}  // namespace

TEST(PackageTest, TheShippedScenarioPackagedWritesTheShippedBytes) {
  TempDir sources, documents, out, run;
  const std::vector<std::string> texts = write_shipped_texts(sources, documents);
  const ProcessResult made = package(sources, texts, out.file("Viterbo_Attigliano_7545"));
  ASSERT_EQ(made.exit_status, 0) << made.out << made.err;

  const ProcessResult ran = run_installer_in(out.file("Viterbo_Attigliano_7545"), run);
  EXPECT_EQ(ran.exit_status, 0) << ran.err;
  std::vector<ShippedFile> files = shipped_compiled_files();
  for (const ShippedFile& f : {kNotesFile, kSlowdownOrderFile, kTrainSheetFile}) files.push_back(f);
  std::vector<std::string> expected = {"installer"};
  for (const ShippedFile& f : files) {
    expected.push_back(f.name);
    EXPECT_EQ(sha256_hex(read_file_bytes(run.file(f.name))), f.sha256) << f.name;
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(run.list(), expected);
}

TEST(PackageTest, AnAuthorsScenarioUnderItsOwnName) {
  TempDir sources, documents, out, run, compiled;
  write_shipped_texts(sources, documents);
  // Another line and train, a station renamed, documents in UTF-8 with LF line ends.
  const std::string line = "Citt\xC3\xA0_\xC3\x80lta", train = "2301";
  const std::string line_source = read_file_bytes(sources.file("Viterbo_Attigliano_linea.txt"));
  const std::string train_source = replace_all(
      read_file_bytes(sources.file("Viterbo_Attigliano_7545-.txt")), "Montefiascone", "Orte");
  write_file_bytes(sources.file(line + "_linea.txt"), line_source);
  write_file_bytes(sources.file(line + "_2301-.txt"), train_source);
  const std::vector<std::string> texts = {documents.file("note.txt"), documents.file("sheet.txt"),
                                          documents.file("slow.txt")};
  write_file_bytes(texts[0], "Linea per Citt\xC3\xA0 \xE2\x82\xAC\nseconda riga");
  write_file_bytes(texts[1], "Scheda\r\n");
  write_file_bytes(texts[2], "Rallentamenti \xE8\n");  // already Windows-1252
  const ProcessResult made =
      package(sources, texts, out.file("inst"), {"--line", line, "--train", train});
  ASSERT_EQ(made.exit_status, 0) << made.out << made.err;
  const ProcessResult ran = run_installer_in(out.file("inst"), run);
  EXPECT_EQ(ran.exit_status, 0) << ran.err;

  // The compiled files are those 'compile' makes of the same sources.
  write_file_bytes(compiled.file(line + "_linea.txt"), line_source);
  write_file_bytes(compiled.file(line + "_2301-.txt"), train_source);
  ASSERT_EQ(run_tool({"compile", compiled.path(), "--line", line, "--train", train}).exit_status,
            0);
  for (const std::string& name : {line + "_linea.dat", line + "_2301.sim", line + "_2301.dat"}) {
    EXPECT_EQ(read_file_bytes(run.file(name)), read_file_bytes(compiled.file(name))) << name;
  }
  EXPECT_EQ(read_file_bytes(run.file(line + "_2301_note.txt")),
            "Linea per Citt\xE0 \x80\r\nseconda riga\r\n");
  EXPECT_EQ(read_file_bytes(run.file(line + "_2301_scheda_treno.txt")), "Scheda\r\n");
  EXPECT_EQ(read_file_bytes(run.file(line + "_2301_rallentamenti.txt")), "Rallentamenti \xE8\r\n");
  EXPECT_FALSE(std::filesystem::exists(run.file(line + "_linea.txt")));
  EXPECT_FALSE(std::filesystem::exists(run.file(line + "_2301-.txt")));
}

TEST(PackageTest, ADamagedInstallerWritesNothing) {
  TempDir sources, documents, out;
  const std::vector<std::string> texts = write_shipped_texts(sources, documents);
  ASSERT_EQ(package(sources, texts, out.file("inst")).exit_status, 0);
  const std::string whole = read_file_bytes(out.file("inst"));
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"cut short by a byte", whole.substr(0, whole.size() - 1)},
      {"cut in its texts", whole.substr(0, whole.size() - 3000)},
      {"a byte changed",
       [&] {
         std::string b = whole;
         b[b.size() - 200] ^= 0x20;
         return b;
       }()},
      {"its section headers said to lie at 2^64-16",
       with_section_headers_at(whole, uint64_t(0) - 16)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir damaged, run;
    write_file_bytes(damaged.file("inst"), c.bytes);
    const ProcessResult ran = run_installer_in(damaged.file("inst"), run);
    EXPECT_EQ(ran.exit_status, 4);
    EXPECT_NE(ran.err.find(" Errore n. 1260: installer damaged"), std::string::npos) << ran.err;
    EXPECT_EQ(run.list(), std::vector<std::string>{"installer"});
  }
}

TEST(PackageTest, RefusesWhatItCannotPackage) {
  TempDir sources, documents, out, programs;
  const std::vector<std::string> texts = write_shipped_texts(sources, documents);
  const std::string damaged_program = programs.file("damaged");
  write_file_bytes(damaged_program,
                   with_section_headers_at(read_file_bytes(INSTALLER_PATH), uint64_t(0) - 16));
  const struct {
    const char* what;
    std::function<void()> change;
    std::vector<std::string> more;
    int status;
    const char* says;
  } cases[] = {
      {"a document character outside Windows-1252",
       [&] { write_file_bytes(texts[0], "riga\r\nvia \xE2\x86\x92 Orte\r\n"); },
       {},
       2,
       ":2:5: error: '\xE2\x86\x92' has no Windows-1252 form"},
      {"sources with an error",
       [&] {
         write_file_bytes(sources.file("Viterbo_Attigliano_7545-.txt"),
                          "[generale]\r\nvelocita, 90000, 70\r\n[fine]\r\n");
       },
       {},
       2,
       "not packaged: the sources gave error code 15"},
      {"a row that cannot be read: its one cause and its row's position",
       [&] {
         write_file_bytes(sources.file("Viterbo_Attigliano_7545-.txt"),
                          "[generale]\r\nvelocita, 9000, x\r\n[fine]\r\n");
       },
       {},
       2,
       "not packaged: the sources gave error code 25 (row at 9000 m): the reading stopped: speed "
       "limit: \"x\" is not a number\nerror_code=25 error_position=9000\n"},
      {"a warning with --werror",
       [&] {
         const std::string path = sources.file("Viterbo_Attigliano_linea.txt");
         write_file_bytes(path,
                          replace_all(read_file_bytes(path), "[fine]", "pendenze, 0, 1\r\n[fine]"));
       },
       {"--werror"},
       2,
       "--werror makes each an error"},
      {"the warning --werror refuses, reported as the error it makes",
       [&] {
         const std::string path = sources.file("Viterbo_Attigliano_linea.txt");
         write_file_bytes(path,
                          replace_all(read_file_bytes(path), "[fine]", "pendenze, 0, 1\r\n[fine]"));
       },
       {"--werror"},
       2,
       ": error werror: (--werror) "},
      {"an installer program whose headers reach past its end",
       [] {},
       {"--installer", damaged_program},
       4,
       "its own headers reach past its end"},
      {"the installer beside its own sources",
       [] {},
       {"-o", sources.file("inst")},
       1,
       "replace and then delete them"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    write_shipped_texts(sources, documents);
    c.change();
    std::vector<std::string> more = c.more;
    const ProcessResult result = package(sources, texts, out.file("inst"), more);
    EXPECT_EQ(result.exit_status, c.status);
    EXPECT_NE((result.out + result.err).find(c.says), std::string::npos)
        << result.out << result.err;
    EXPECT_TRUE(out.list().empty());
  }
}

// Every refusal is a diagnostic with its file, line and column, whether a text cannot be
// written or the sources do not compile, and each is reported in every form check has: text on
// standard error with or without colour, or one JSON or SARIF document on standard output.
TEST(PackageTest, ReportsEachRefusalInEveryFormCheckHas) {
  TempDir sources, documents, out;
  const std::vector<std::string> texts = write_shipped_texts(sources, documents);
  const std::string line_path = sources.file("Viterbo_Attigliano_linea.txt");
  const struct {
    const char* what;
    std::function<void()> change;
    std::string file;
    int line, column;
    std::string code;  // none for a text that cannot be written
    const char* says;  // the message's start
    size_t diagnostics;
    nlohmann::json error_code;  // null: the compiler never had the sources
  } cases[] = {
      {"a document character outside Windows-1252",
       [&] { write_file_bytes(texts[0], "riga\r\nvia \xE2\x86\x92 Orte\r\n"); }, texts[0], 2, 5, "",
       "'\xE2\x86\x92' has no Windows-1252 form", 1, nullptr},
      {"a byte that is neither UTF-8 nor Windows-1252",
       [&] { write_file_bytes(texts[1], "scheda\r\na\x81\r\n"); }, texts[1], 2, 2, "",
       "byte 129 is neither UTF-8 nor a Windows-1252 character", 1, nullptr},
      {"a line that is the text writer's end marker",
       [&] { write_file_bytes(texts[2], std::string("rall\n") + kEndMarker + "\n"); }, texts[2], 2,
       1, "", "a line may not be the text writer's end marker", 1, nullptr},
      {"a source the compiler stops at, after a warning",
       [&] {
         write_file_bytes(line_path,
                          "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n"
                          "pendenze, 1, 2\r\nmontagna,   100,  x, 2\r\n[fine]\r\n");
       },
       line_path, 5, 19, "25", "the reading stopped: tunnel end: \"x\" is not a number", 2, 25},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    write_shipped_texts(sources, documents);
    c.change();
    const std::string place =
        c.file + ":" + std::to_string(c.line) + ":" + std::to_string(c.column);
    const std::string level = c.code.empty() ? "error:" : "error " + c.code + ":";

    const ProcessResult plain = package(sources, texts, out.file("inst"), {"--color=never"});
    EXPECT_EQ(plain.exit_status, 2);
    EXPECT_NE(plain.err.find(place + ": " + level + " " + c.says), std::string::npos) << plain.err;
    EXPECT_EQ(plain.err.find('\033'), std::string::npos);
    EXPECT_EQ(plain.out.compare(0, 14, "not packaged: "), 0) << plain.out;
    // Without --color, as without a terminal.
    EXPECT_EQ(package(sources, texts, out.file("inst")).err, plain.err);

    const ProcessResult coloured = package(sources, texts, out.file("inst"), {"--color=always"});
    EXPECT_EQ(coloured.exit_status, 2);
    EXPECT_NE(
        coloured.err.find("\033[1m" + place + ":\033[0m \033[1;31m" + level + "\033[0m " + c.says),
        std::string::npos)
        << coloured.err;

    const ProcessResult json = package(sources, texts, out.file("inst"), {"--format=json"});
    EXPECT_EQ(json.exit_status, 2);
    EXPECT_EQ(json.err, "");
    const nlohmann::json doc = nlohmann::json::parse(json.out);
    ASSERT_EQ(doc["diagnostics"].size(), c.diagnostics);
    const auto& error = doc["diagnostics"].back();
    EXPECT_EQ(error["level"], "error");
    EXPECT_EQ(error["file"], c.file);
    EXPECT_EQ(error["line"], c.line);
    EXPECT_EQ(error["column"], c.column);
    EXPECT_EQ(error["code"], c.code);
    EXPECT_NE(error["message"].get<std::string>().find(c.says), std::string::npos);
    EXPECT_EQ(doc["errors"], 1);
    EXPECT_EQ(doc["warnings"], c.diagnostics - 1);
    EXPECT_EQ(doc["error_code"], c.error_code);

    const ProcessResult sarif = package(sources, texts, out.file("inst"), {"--format", "sarif"});
    EXPECT_EQ(sarif.exit_status, 2);
    EXPECT_EQ(sarif.err, "");
    const nlohmann::json log = nlohmann::json::parse(sarif.out);
    const auto& results = log["runs"][0]["results"];
    ASSERT_EQ(results.size(), c.diagnostics);
    const auto& result = results.back();
    EXPECT_EQ(result["level"], "error");
    // A text that cannot be written belongs to no rule.
    EXPECT_EQ(result.contains("ruleId"), !c.code.empty());
    if (!c.code.empty()) {
      EXPECT_EQ(result["ruleId"], "error-" + c.code);
    }
    const auto& physical = result["locations"][0]["physicalLocation"];
    EXPECT_EQ(physical["artifactLocation"]["uri"], "file://" + c.file);
    EXPECT_EQ(physical["region"]["startLine"], c.line);
    EXPECT_EQ(physical["region"]["startColumn"], c.column);
    EXPECT_TRUE(out.list().empty());
  }

  // Packaged: the document alone on standard output, with no diagnostic, and the installer made.
  write_shipped_texts(sources, documents);
  const ProcessResult made = package(sources, texts, out.file("inst"), {"--format=json"});
  EXPECT_EQ(made.exit_status, 0) << made.err;
  EXPECT_EQ(made.err, "");
  const nlohmann::json doc = nlohmann::json::parse(made.out);
  // The shipped timetable's one warning, as check gives it (package runs the same analysis).
  ASSERT_EQ(doc["diagnostics"].size(), 1u) << made.out;
  EXPECT_EQ(doc["diagnostics"][0]["level"], "warning");
  EXPECT_EQ(doc["diagnostics"][0]["line"], 22);
  EXPECT_EQ(doc["error_code"], 0);
  EXPECT_EQ(out.list(), std::vector<std::string>{"inst"});
  EXPECT_EQ(package(sources, texts, out.file("inst"), {"--format=xml"}).exit_status, 1);
}

// A line name or train number that could put a file anywhere but in its folder, or mean
// anything there but a plain file, is refused by package as bad usage, and makes an installer
// carrying it (by hand) damaged: nothing is written anywhere.
TEST(PackageTest, HostileNamesNameNoFile) {
  TempDir sources, documents, root;
  const std::vector<std::string> texts = write_shipped_texts(sources, documents);
  const std::vector<std::string> sources_before = everything_under(sources.path());
  // Both runs below work in folders of `root`, and the names point into it and above them.
  const std::string work = root.file("work"), run = root.file("work/run");
  for (const HostileName& h : hostile_names(root.path())) {
    SCOPED_TRACE(h.what);
    if (h.on_command_line) {
      // No -o: the default output is named after the names, in the working folder.
      std::filesystem::create_directory(work);
      ProcessOptions in_work;
      in_work.working_directory = work;
      const ProcessResult made = run_process(
          {SCENARIO_TOOL_PATH, "package", sources.path(), "--line", h.scenario.line_name, "--train",
           h.scenario.train_number, "--notes", texts[0], "--sheet", texts[1], "--slowdowns",
           texts[2], "--target", "linux", "--installer", INSTALLER_PATH},
          in_work);
      EXPECT_EQ(made.exit_status, 1);
      EXPECT_NE(made.err.find(h.says), std::string::npos) << made.err;
      // Under the refusal, package's own help pointed to, not another command's.
      EXPECT_EQ(made.err.substr(made.err.find('\n') + 1), "see: scenario-tool help package\n")
          << made.err;
      EXPECT_EQ(everything_under(root.path()), std::vector<std::string>{"work"});
      EXPECT_EQ(everything_under(sources.path()), sources_before);
      std::filesystem::remove_all(work);
    }

    // The shipped installer with the names appended by hand, run from a folder of its own.
    std::filesystem::create_directories(run);
    write_file_bytes(run + "/installer",
                     read_file_bytes(INSTALLER_PATH) + encode_payload(shipped_payload(h.scenario)));
    ASSERT_TRUE(make_executable(run + "/installer").ok());
    ProcessOptions no_display;
    no_display.unset_environment = {"DISPLAY", "WAYLAND_DISPLAY"};
    no_display.working_directory = work;
    const ProcessResult ran = run_process({run + "/installer"}, no_display);
    EXPECT_EQ(ran.exit_status, 4);
    EXPECT_NE(ran.err.find(" Errore n. 1260: installer damaged: the scenario it carries cannot "
                           "name its files: its "),
              std::string::npos)
        << ran.err;
    EXPECT_NE(ran.err.find(h.says), std::string::npos) << ran.err;
    EXPECT_EQ(everything_under(root.path()),
              (std::vector<std::string>{"work", "work/run", "work/run/installer"}));
    std::filesystem::remove_all(work);
  }
}

// Names that are plain file names on every platform keep working: accents, blanks inside, a
// dot inside, words that only begin like a device's, the longest a file name takes.
TEST(PackageTest, PlainNamesArePackagedAndInstalled) {
  TempDir shipped_sources, documents;
  const std::vector<std::string> texts = write_shipped_texts(shipped_sources, documents);
  for (const ScenarioIdentity& s : accepted_names()) {
    SCOPED_TRACE(s.line_name + " " + s.train_number);
    TempDir sources, out, run;
    const ScenarioPayload payload = shipped_payload(s);
    write_file_bytes(sources.file(line_source_name(s)), payload.line_source);
    write_file_bytes(sources.file(train_source_name(s)), payload.train_source);
    const ProcessResult made = package(sources, texts, out.file("inst"),
                                       {"--line", s.line_name, "--train", s.train_number});
    ASSERT_EQ(made.exit_status, 0) << made.out << made.err;
    const ProcessResult ran = run_installer_in(out.file("inst"), run);
    EXPECT_EQ(ran.exit_status, 0) << ran.err;
    std::vector<std::string> expected = {
        "installer",       notes_name(s),          slowdown_order_name(s), train_sheet_name(s),
        line_plan_name(s), scenario_table_name(s), track_cells_name(s)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(run.list(), expected);
  }
}

// The installer is never made in its sources' folder, however the two are spelt: the folders
// are compared, not their names.
TEST(PackageTest, NeverInTheSourcesFolderHoweverItIsSpelt) {
  TempDir root, spare, documents;
  const std::string dir = root.file("DIR");
  std::filesystem::create_directory(dir);
  std::filesystem::create_directory(root.file("other"));
  std::filesystem::create_directory_symlink(dir, root.file("link"));
  ASSERT_TRUE(dati_linea(dir, kShipped).ok());
  ASSERT_TRUE(dati_treno(dir, kShipped).ok());
  const std::vector<std::string> texts = write_shipped_texts(spare, documents);
  const struct {
    const char* what;
    std::string cwd, sources, output;
    int status;
    std::string says;
  } cases[] = {
      {"a dot", root.path(), dir, dir + "/./inst", 1, "replace and then delete them"},
      {"up and back", root.path(), dir, dir + "/../DIR/inst", 1, "replace and then delete them"},
      {"a link to it", root.path(), dir, root.file("link") + "/inst", 1, "replace and then delete"},
      {"relative from the sources", dir, ".", "../DIR/inst", 1, "replace and then delete them"},
      {"relative from above", root.path(), dir, "DIR/inst", 1, "replace and then delete them"},
      {"the default output, there", dir, dir, "", 1, "replace and then delete them"},
      {"a folder that is missing", root.path(), dir, root.file("missing") + "/inst", 4,
       "cannot make " + root.file("missing") + "/inst: cannot open the folder"},
      {"another folder", dir, ".", "../other/inst", 0, "made ../other/inst"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = {SCENARIO_TOOL_PATH, "package",  c.sources, "--notes",
                                     texts[0],           "--sheet",  texts[1],  "--slowdowns",
                                     texts[2],           "--target", "linux",   "--installer",
                                     INSTALLER_PATH};
    if (!c.output.empty()) args.insert(args.end(), {"-o", c.output});
    ProcessOptions options;
    options.working_directory = c.cwd;
    const ProcessResult made = run_process(args, options);
    EXPECT_EQ(made.exit_status, c.status) << made.out << made.err;
    EXPECT_NE((made.out + made.err).find(c.says), std::string::npos) << made.out << made.err;
    const std::vector<std::string> made_here =
        c.status == 0 ? std::vector<std::string>{"inst"} : std::vector<std::string>{};
    EXPECT_EQ(everything_under(root.file("other")), made_here);
    EXPECT_EQ(everything_under(dir), (std::vector<std::string>{"Viterbo_Attigliano_7545-.txt",
                                                               "Viterbo_Attigliano_linea.txt"}));
    std::filesystem::remove_all(root.file("other/inst"));
  }
}

// Without --installer, package starts from the shipped installer beside the tool; when it is
// not there, it says where it goes.
TEST(PackageTest, SaysWhereTheShippedInstallerGoes) {
  TempDir tool, sources, out;
  const std::string program = tool.file("scenario-tool");
  std::filesystem::copy_file(SCENARIO_TOOL_PATH, program);
  ASSERT_TRUE(make_executable(program).ok());
  write_shipped_sources(sources);
  write_file_bytes(out.file("notes.txt"), "x\r\n");
  const std::string notes = out.file("notes.txt");
  for (const char* target : {"linux", "windows"}) {
    SCOPED_TRACE(target);
    const std::string shipped =
        tool.file(std::string("Viterbo_Attigliano_7545") + (target[0] == 'w' ? ".exe" : ""));
    const ProcessResult result =
        run_process({program, "package", sources.path(), "--notes", notes, "--sheet", notes,
                     "--slowdowns", notes, "-o", out.file("inst"), "--target", target});
    EXPECT_EQ(result.exit_status, 4);
    // After the shipped timetable's warning, as check gives it.
    EXPECT_EQ(last_line(result.err),
              "scenario-tool: no installer program to start from: the shipped " +
                  file_name_of(shipped) + " is not beside scenario-tool (" + shipped +
                  "); copy it there, or give --installer PROGRAM");
    EXPECT_EQ(out.list(), std::vector<std::string>{"notes.txt"});
  }
}
