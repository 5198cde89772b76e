// 'scenario-tool extract' and 'init': where an author starts, from an installer's texts or from
// a starter scenario.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/scenario_identity.h"
#include "common/scenario_payload.h"
#include "test_support/process.h"
#include "test_support/sha256.h"
#include "test_support/shipped_files.h"
#include "test_support/temp_dir.h"
#include "tools/testing/tool_fixture.h"

namespace {

const ScenarioIdentity kShipped{kShippedLineName, kShippedTrainNumber};

std::vector<std::string> text_names(const ScenarioIdentity& s) {
  std::vector<std::string> names = {line_source_name(s), train_source_name(s), notes_name(s),
                                    slowdown_order_name(s), train_sheet_name(s)};
  std::sort(names.begin(), names.end());
  return names;
}

// The shipped installer program with `s`'s scenario appended, holding the texts in `from`
// (the shipped scenario's names).
std::string with_payload(const TempDir& from, const ScenarioIdentity& s) {
  ScenarioPayload p;
  p.scenario = s;
  p.line_source = read_file_bytes(from.file(line_source_name(kShipped)));
  p.train_source = read_file_bytes(from.file(train_source_name(kShipped)));
  p.notes = read_file_bytes(from.file(notes_name(kShipped)));
  p.slowdown_order = read_file_bytes(from.file(slowdown_order_name(kShipped)));
  p.train_sheet = read_file_bytes(from.file(train_sheet_name(kShipped)));
  return read_file_bytes(INSTALLER_PATH) + encode_payload(p);
}

// Runs the installer program `bytes` from a folder of its own, without a display.
ProcessResult run_installer(const std::string& bytes) {
  TempDir folder;
  write_file_bytes(folder.file("installer"), bytes);
  EXPECT_TRUE(make_executable(folder.file("installer")).ok());
  ProcessOptions options;
  options.unset_environment = {"DISPLAY", "WAYLAND_DISPLAY"};
  return run_process({folder.file("installer")}, options);
}

}  // namespace

TEST(ExtractTest, WritesTheTextsTheInstallerWouldWrite) {
  TempDir shipped, packaged;
  ASSERT_EQ(run_tool({"extract", INSTALLER_PATH, "-o", shipped.path()}).exit_status, 0);
  // An installer made by package from the texts extracted, and one made by hand under other
  // names.
  const ProcessResult made = run_tool(
      {"package", shipped.path(), "--notes", shipped.file(kNotesFile.name), "--sheet",
       shipped.file(kTrainSheetFile.name), "--slowdowns", shipped.file(kSlowdownOrderFile.name),
       "-o", packaged.file("inst"), "--target", "linux", "--installer", INSTALLER_PATH});
  ASSERT_EQ(made.exit_status, 0) << made.err;
  const ScenarioIdentity other{"Citt\xC3\xA0 Alta", "2301"};
  write_file_bytes(packaged.file("other"), with_payload(shipped, other));

  const struct {
    const char* what;
    std::string installer;
    ScenarioIdentity scenario;
  } cases[] = {
      {"the shipped installer program", INSTALLER_PATH, kShipped},
      {"an installer made by package", packaged.file("inst"), kShipped},
      {"an installer carrying another scenario", packaged.file("other"), other},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir out;
    const ProcessResult ran = run_tool({"extract", c.installer, "-o", out.path()});
    ASSERT_EQ(ran.exit_status, 0) << ran.err;
    EXPECT_EQ(out.list(), text_names(c.scenario));
    const std::string names[] = {line_source_name(c.scenario), train_source_name(c.scenario),
                                 notes_name(c.scenario), slowdown_order_name(c.scenario),
                                 train_sheet_name(c.scenario)};
    const std::vector<ShippedFile> shipped_texts = shipped_text_files();
    for (size_t i = 0; i < shipped_texts.size(); ++i) {
      EXPECT_EQ(sha256_hex(read_file_bytes(out.file(names[i]))), shipped_texts[i].sha256)
          << names[i];
    }
    // Compiled, the shipped scenario's sources give the shipped files.
    if (c.scenario.line_name != kShippedLineName) continue;
    ASSERT_EQ(run_tool({"compile", out.path()}).exit_status, 0);
    for (const ShippedFile& f : shipped_compiled_files()) {
      EXPECT_EQ(sha256_hex(read_file_bytes(out.file(f.name))), f.sha256) << f.name;
    }
  }
}

// Nothing is written from a file that is not an installer, nor from a damaged one, which is
// refused for the reason the installer itself gives.
TEST(ExtractTest, RefusesWhatIsNoInstallerOrIsDamaged) {
  TempDir files, shipped;
  ASSERT_EQ(run_tool({"extract", INSTALLER_PATH, "-o", shipped.path()}).exit_status, 0);
  const std::string packaged = with_payload(shipped, kShipped);
  std::string unmarked = read_file_bytes(INSTALLER_PATH);
  const size_t mark = unmarked.find("scenario-installer-program");
  ASSERT_NE(mark, std::string::npos);
  unmarked[mark] = 'S';
  std::string changed = packaged;
  changed[changed.size() - 200] ^= 0x20;

  const struct {
    const char* what;
    std::string bytes;  // empty: the file at `path`
    std::string path;
    bool damaged;  // else: no installer at all
  } cases[] = {
      {"a text file", "[generale]\r\n", "", false},
      {"this tool itself", "", SCENARIO_TOOL_PATH, false},
      {"a program like the installer, without its mark", unmarked, "", false},
      {"a payload cut short by a byte", packaged.substr(0, packaged.size() - 1), "", true},
      {"a payload with a byte changed", changed, "", true},
      {"garbage after the program", read_file_bytes(INSTALLER_PATH) + "garbage", "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir out;
    std::string path = c.path;
    if (path.empty()) {
      path = files.file("input");
      write_file_bytes(path, c.bytes);
    }
    const ProcessResult ran = run_tool({"extract", path, "-o", out.path()});
    EXPECT_EQ(ran.exit_status, 4);
    EXPECT_TRUE(out.list().empty());
    if (!c.damaged) {
      EXPECT_NE(ran.err.find("is not a scenario installer"), std::string::npos) << ran.err;
      continue;
    }
    const ProcessResult installer = run_installer(c.bytes);
    EXPECT_EQ(installer.exit_status, 4);
    const std::string damaged = "installer damaged: ";
    const size_t at = installer.err.find(damaged);
    ASSERT_NE(at, std::string::npos) << installer.err;
    const std::string why = last_line(installer.err.substr(at));
    EXPECT_NE(ran.err.find(path + ": " + why + "; nothing written"), std::string::npos)
        << ran.err << " against " << why;
  }
}

// A file already there is never replaced without --force, and then nothing is written.
// Anything at one of the names is there, a link whose target is missing included: nothing is
// written without --force (status 4); with it, a link is replaced itself and what it leads to,
// here a file outside the folder, is never written.
TEST(ExtractTest, AnythingAtANameNeedsForce) {
  enum What { kFile, kDanglingLink, kLinkOut };
  const std::vector<std::string> kInit = {"init", "--line", kShipped.line_name, "--train",
                                          kShipped.train_number};
  for (const bool extracting : {true, false}) {
    for (const std::string& name : text_names(kShipped)) {
      for (const What what : {kFile, kDanglingLink, kLinkOut}) {
        for (const bool force : {false, true}) {
          SCOPED_TRACE(std::string(extracting ? "extract " : "init ") + name + " " +
                       (what == kFile           ? "file"
                        : what == kDanglingLink ? "dangling link"
                                                : "link") +
                       (force ? " --force" : ""));
          TempDir out, elsewhere;
          const std::string target = elsewhere.file(what == kDanglingLink ? "missing" : "real");
          if (what == kFile) write_file_bytes(out.file(name), "mine\r\n");
          if (what == kLinkOut) write_file_bytes(target, "mine\r\n");
          if (what != kFile) std::filesystem::create_symlink(target, out.file(name));
          std::vector<std::string> args =
              extracting ? std::vector<std::string>{"extract", INSTALLER_PATH, "-o", out.path()}
                         : kInit;
          if (!extracting) args.insert(args.begin() + 1, out.path());
          if (force) args.push_back("--force");
          const ProcessResult ran = run_tool(args);
          if (force) {
            EXPECT_EQ(ran.exit_status, 0) << ran.err;
            EXPECT_EQ(out.list(), text_names(kShipped));
            EXPECT_FALSE(std::filesystem::is_symlink(out.file(name)));
          } else {
            EXPECT_EQ(ran.exit_status, 4);
            EXPECT_NE(ran.err.find("already in " + out.path() + ": " + name), std::string::npos)
                << ran.err;
            EXPECT_NE(ran.err.find("--force"), std::string::npos) << ran.err;
            if (what != kFile) {
              EXPECT_NE(ran.err.find("(a link to " + target + ")"), std::string::npos) << ran.err;
            }
            EXPECT_EQ(out.list(), std::vector<std::string>{name});
            if (what == kFile) {
              EXPECT_EQ(read_file_bytes(out.file(name)), "mine\r\n");
            } else {
              EXPECT_EQ(std::filesystem::read_symlink(out.file(name)), target);
            }
          }
          // Nothing written through the link.
          EXPECT_EQ(elsewhere.list(), what == kLinkOut ? std::vector<std::string>{"real"}
                                                       : std::vector<std::string>{});
          if (what == kLinkOut) {
            EXPECT_EQ(read_file_bytes(target), "mine\r\n");
          }
        }
      }
    }
  }
  // What --force wrote is the installer's.
  TempDir out;
  write_file_bytes(out.file(kNotesFile.name), "mine\r\n");
  ASSERT_EQ(run_tool({"extract", INSTALLER_PATH, "-o", out.path(), "--force"}).exit_status, 0);
  EXPECT_EQ(sha256_hex(read_file_bytes(out.file(kNotesFile.name))), kNotesFile.sha256);
}

TEST(ExtractTest, BadUsage) {
  TempDir out;
  const struct {
    std::vector<std::string> args;
    const char* said;
  } cases[] = {
      {{"extract", INSTALLER_PATH}, "extract needs -o DIR"},
      {{"extract", "-o", out.path()}, "INSTALLER is needed"},
      {{"extract", INSTALLER_PATH, "-o", out.file("missing/deeper")}, "does not exist"},
      {{"extract", INSTALLER_PATH, "-o", out.path(), "--line", "X"}, "unknown option --line"},
      {{"init", out.path(), "--train", "2301"}, "--line is needed"},
      {{"init", out.path(), "--line", "CON", "--train", "1"}, "CON"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    const ProcessResult ran = run_tool(c.args);
    EXPECT_EQ(ran.exit_status, 1);
    EXPECT_NE(ran.err.find(c.said), std::string::npos) << ran.err;
    EXPECT_TRUE(out.list().empty());
  }
}

// init, extract and decompile write into a folder that is there, or make it when only its last
// part is missing, as `cargo new` does. Anything else at its name, or a missing folder above it,
// is refused with one line naming it (status 1), and nothing is made or written anywhere.
TEST(WriteFolderTest, MakesOnlyAMissingLastFolder) {
  TempDir compiled;
  write_shipped_sources(compiled);
  ASSERT_EQ(run_tool({"compile", compiled.path()}).exit_status, 0);
  const std::vector<std::string> before_compiled = compiled.list();
  enum In {
    kNothing,
    kFolder,
    kFile,
    kDanglingLink,
    kDanglingLinkAsFolder,
    kLinkToFile,
    kLinkToFolder,
    kNoParent,
    kFileAsParent
  };
  const struct {
    In in;
    const char* what;
    const char* says;  // the refusal's line after "scenario-tool: "; empty when written
  } cases[] = {
      {kNothing, "missing last folder: made", ""},
      {kFolder, "folder there", ""},
      {kLinkToFolder, "link to a folder: written through, as into any folder given", ""},
      {kFile, "file in the way", "@ is not a directory"},
      {kDanglingLink, "dangling link in the way", "@ is a link to ^/missing, not a directory"},
      {kDanglingLinkAsFolder, "dangling link given as a folder (a trailing '/')",
       "@ is a link to ^/missing, not a directory"},
      {kLinkToFile, "link to a file in the way", "@ is a link to ^/file, not a directory"},
      {kNoParent, "missing folder above", "cannot make @: ^/parent does not exist"},
      {kFileAsParent, "file above", "cannot make @: ^/file is not a directory"},
  };
  const std::vector<std::string> names = {"--line", kShipped.line_name, "--train",
                                          kShipped.train_number};
  for (const char* command : {"init", "extract", "decompile"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(command) + ": " + c.what);
      TempDir root, elsewhere;
      std::string folder = root.file("new");
      switch (c.in) {
        case kNothing:
          break;
        case kFolder:
          std::filesystem::create_directory(folder);
          break;
        case kFile:
          write_file_bytes(folder, "mine\r\n");
          break;
        case kDanglingLink:
          std::filesystem::create_symlink(elsewhere.file("missing"), folder);
          break;
        case kDanglingLinkAsFolder:
          std::filesystem::create_symlink(elsewhere.file("missing"), folder);
          folder += "/";
          break;
        case kLinkToFile:
          write_file_bytes(elsewhere.file("file"), "mine\r\n");
          std::filesystem::create_symlink(elsewhere.file("file"), folder);
          break;
        case kLinkToFolder:
          std::filesystem::create_symlink(elsewhere.path(), folder);
          break;
        case kNoParent:
          folder = root.file("parent/new");
          break;
        case kFileAsParent:
          write_file_bytes(root.file("file"), "mine\r\n");
          folder = root.file("file/new");
          break;
      }
      const std::vector<std::string> root_before = everything_under(root.path());
      const std::vector<std::string> elsewhere_before = everything_under(elsewhere.path());
      std::vector<std::string> args;
      if (std::string(command) == "init") {
        args = {"init", folder};
        args.insert(args.end(), names.begin(), names.end());
      } else if (std::string(command) == "extract") {
        args = {"extract", INSTALLER_PATH, "-o", folder};
      } else {
        args = {"decompile", compiled.path(), "-o", folder};
      }
      const ProcessResult ran = run_tool(args);
      if (*c.says == '\0') {
        EXPECT_EQ(ran.exit_status, 0) << ran.err;
        EXPECT_EQ(ran.out.rfind("made " + folder + "\n", 0) == 0, c.in == kNothing) << ran.out;
        EXPECT_TRUE(file_exists(path_in(folder, line_source_name(kShipped))));
        EXPECT_TRUE(file_exists(path_in(folder, train_source_name(kShipped))));
        continue;
      }
      const std::string root_named =
          c.in == kDanglingLink || c.in == kDanglingLinkAsFolder || c.in == kLinkToFile
              ? elsewhere.path()
              : root.path();
      // Named without the trailing separator: the name itself.
      const std::string named = c.in == kDanglingLinkAsFolder ? root.file("new") : folder;
      const std::string says = replace_all(replace_all(c.says, "@", named), "^", root_named);
      EXPECT_EQ(ran.exit_status, 1);
      EXPECT_EQ(ran.err, "scenario-tool: " + says + "\nsee: scenario-tool help " + command + "\n");
      EXPECT_EQ(ran.out, "");
      EXPECT_EQ(everything_under(root.path()), root_before);
      EXPECT_EQ(everything_under(elsewhere.path()), elsewhere_before);
    }
  }
  EXPECT_EQ(compiled.list(), before_compiled);
}

// The starter checks with no warning, compiles, and packages as it is; the installer made
// carries exactly the texts init wrote.
TEST(InitTest, TheStarterChecksCompilesAndPackages) {
  const ScenarioIdentity cases[] = {{"Citt\xC3\xA0_Alta", "2301"}, {"Orte Attigliano", "R 12"}};
  for (const ScenarioIdentity& s : cases) {
    SCOPED_TRACE(s.line_name);
    TempDir dir, out, back;
    const std::vector<std::string> names = {"--line", s.line_name, "--train", s.train_number};
    const auto with_names = [&names](std::vector<std::string> args) {
      args.insert(args.end(), names.begin(), names.end());
      return args;
    };
    ProcessResult ran = run_tool(with_names({"init", dir.path()}));
    ASSERT_EQ(ran.exit_status, 0) << ran.err;
    EXPECT_EQ(dir.list(), text_names(s));

    ran = run_tool(with_names({"check", dir.path(), "--werror"}));
    EXPECT_EQ(ran.exit_status, 0) << ran.err;
    EXPECT_EQ(ran.err, "");
    ran = run_tool(with_names({"compile", dir.path()}));
    EXPECT_EQ(ran.exit_status, 0) << ran.err;

    ran = run_tool(with_names({"package", dir.path(), "--notes", dir.file(notes_name(s)), "--sheet",
                               dir.file(train_sheet_name(s)), "--slowdowns",
                               dir.file(slowdown_order_name(s)), "-o", out.file("inst"), "--target",
                               "linux", "--installer", INSTALLER_PATH, "--werror"}));
    ASSERT_EQ(ran.exit_status, 0) << ran.err;
    ran = run_tool({"extract", out.file("inst"), "-o", back.path()});
    ASSERT_EQ(ran.exit_status, 0) << ran.err;
    EXPECT_EQ(back.list(), text_names(s));
    for (const std::string& name : text_names(s)) {
      EXPECT_EQ(read_file_bytes(back.file(name)), read_file_bytes(dir.file(name))) << name;
    }
  }
}

// init and extract say what they make and write in Italian; what init writes is the same in both
// languages, byte for byte.
TEST(InitTest, SaysWhatItWritesInItalianAndWritesTheSameStarter) {
  TempDir dir, english;
  const ScenarioIdentity s{"Orte", "2301"};
  const std::vector<std::string> names = {"--line", s.line_name, "--train", s.train_number};
  const std::string made = dir.file("nuova");
  std::vector<std::string> args = {"init", made, "--lang=it"};
  args.insert(args.end(), names.begin(), names.end());
  const ProcessResult r = run_tool(args);
  ASSERT_EQ(r.exit_status, 0) << r.err;
  std::string said = "creata " + made + "\n";
  for (const std::string& name : text_names(s)) said += "scritto " + path_in(made, name) + "\n";
  // Compared as sets of lines: init writes the texts in an order of its own.
  const auto sorted_lines = [](const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
      lines.push_back(text.substr(at, end - at));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
  };
  EXPECT_EQ(sorted_lines(r.out), sorted_lines(said)) << r.out;

  args = {"init", english.path()};
  args.insert(args.end(), names.begin(), names.end());
  ASSERT_EQ(run_tool(args).exit_status, 0);
  for (const std::string& name : text_names(s)) {
    EXPECT_EQ(read_file_bytes(path_in(made, name)), read_file_bytes(english.file(name))) << name;
  }
  args = {"init", made, "--lang=it"};
  args.insert(args.end(), names.begin(), names.end());
  const ProcessResult again = run_tool(args);
  EXPECT_NE(again.exit_status, 0);
  EXPECT_NE(again.err.find("già presenti in " + made), std::string::npos) << again.err;
}
