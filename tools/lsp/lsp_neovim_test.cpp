// The language server with a real editor: headless Neovim's own language client opens a copy
// of the shipped sources, breaks a row, and checks what the editor holds (the diagnostics of both
// sources, a completion, a quick fix applied, a hover, signature help while a row is typed, the
// inlay hints) through tools/testdata/lsp_neovim.lua, which writes each step's outcome into a
// report; and the README's set-up for Neovim, run as an author's init.lua, reads and writes the
// sources as Windows-1252 (tools/testdata/lsp_neovim_setup.lua).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "test_support/process.h"
#include "test_support/temp_dir.h"
#include "tools/testing/tool_fixture.h"

namespace {

// Neovim, or empty when there is none (a failure in CI, where it is installed).
std::string neovim() {
  const std::string nvim = program_on_path({"nvim"});
  const char* ci = std::getenv("CI");
  if (nvim.empty() && ci != nullptr && std::string(ci) == "true") ADD_FAILURE() << "no nvim in CI";
  return nvim;
}

}  // namespace

TEST(LspNeovim, AnAuthorSeesTheProblemsAsTheyTypeHoversAndAppliesTheFix) {
  const std::string nvim = neovim();
  if (nvim.empty())
    GTEST_SKIP() << "no editor (Debian package neovim): the server is not tested in one";
  TempDir sources, home;
  write_shipped_sources(sources);
  const std::string report = home.file("report");
  ProcessOptions options;
  options.set_environment = {{"LSP_TOOL", SCENARIO_TOOL_PATH}, {"LSP_DIR", sources.path()},
                             {"LSP_REPORT", report},           {"HOME", home.path()},
                             {"XDG_CONFIG_HOME", home.path()}, {"XDG_CACHE_HOME", home.path()},
                             {"XDG_DATA_HOME", home.path()},   {"XDG_STATE_HOME", home.path()}};
  // The server speaks the language of the editor's environment: English here.
  options.unset_environment = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  ChildProcess editor({nvim, "--headless", "-u", "NONE", "-i", "NONE", "-n", "-c",
                       std::string("luafile ") + LSP_NEOVIM_SCRIPT},
                      options);
  ProcessResult result;
  ASSERT_TRUE(editor.wait(120000, &result)) << "the editor did not finish";
  const std::string steps = read_file_bytes(report);
  EXPECT_EQ(steps.find("FAIL"), std::string::npos) << steps << result.err;
  EXPECT_NE(steps.find("ok the server stops on shutdown and exit\ndone\n"), std::string::npos)
      << steps << result.err;
}

TEST(LspNeovim, TheReadmesSetUpReadsAndWritesTheSourcesAsWindows1252) {
  const std::string nvim = neovim();
  if (nvim.empty()) GTEST_SKIP() << "no editor (Debian package neovim)";
  TempDir sources, home;
  const std::string report = home.file("report");
  // The set-up starts 'scenario-tool' from the PATH, as an author's does.
  const std::string tool = SCENARIO_TOOL_PATH;
  const char* path = std::getenv("PATH");
  ProcessOptions options;
  options.set_environment = {
      {"PATH", tool.substr(0, tool.rfind('/')) + ":" + (path ? path : "/usr/bin:/bin")},
      {"LSP_README", README_PATH},
      {"LSP_DIR", sources.path()},
      {"LSP_REPORT", report},
      {"HOME", home.path()},
      {"XDG_CONFIG_HOME", home.path()},
      {"XDG_CACHE_HOME", home.path()},
      {"XDG_DATA_HOME", home.path()},
      {"XDG_STATE_HOME", home.path()}};
  options.unset_environment = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  ChildProcess editor({nvim, "--headless", "-u", "NONE", "-i", "NONE", "-n", "-c",
                       std::string("luafile ") + LSP_NEOVIM_SETUP_SCRIPT},
                      options);
  ProcessResult result;
  ASSERT_TRUE(editor.wait(120000, &result)) << "the editor did not finish";
  const std::string steps = read_file_bytes(report);
  EXPECT_EQ(steps.find("FAIL"), std::string::npos) << steps << result.err;
  EXPECT_NE(steps.find("ok the servers stop\ndone\n"), std::string::npos) << steps << result.err;
}

// Neovim sends no locale: the server speaks the language of the environment the editor has, as
// an Italian author's has it.
TEST(LspNeovim, TheHoverSpeaksTheLanguageOfTheEditorsEnvironment) {
  const std::string nvim = neovim();
  if (nvim.empty()) GTEST_SKIP() << "no editor (Debian package neovim)";
  const struct {
    const char* lang;
    const char* hover;
  } cases[] = {{"it_IT.UTF-8", "raggio 1000 m a destra"}, {"C", "radius 1000 m to the right"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lang);
    TempDir sources, home;
    write_shipped_sources(sources);
    const std::string report = home.file("report");
    ProcessOptions options;
    options.set_environment = {{"LSP_TOOL", SCENARIO_TOOL_PATH},
                               {"LSP_DIR", sources.path()},
                               {"LSP_REPORT", report},
                               {"LSP_EXPECT", c.hover},
                               {"HOME", home.path()},
                               {"XDG_CONFIG_HOME", home.path()},
                               {"XDG_CACHE_HOME", home.path()},
                               {"XDG_DATA_HOME", home.path()},
                               {"XDG_STATE_HOME", home.path()},
                               {"LANG", c.lang}};
    options.unset_environment = {"LANGUAGE", "LC_ALL", "LC_MESSAGES"};
    ChildProcess editor({nvim, "--headless", "-u", "NONE", "-i", "NONE", "-n", "-c",
                         std::string("luafile ") + LSP_NEOVIM_LANGUAGE_SCRIPT},
                        options);
    ProcessResult result;
    ASSERT_TRUE(editor.wait(120000, &result)) << "the editor did not finish";
    const std::string steps = read_file_bytes(report);
    EXPECT_EQ(steps.find("FAIL"), std::string::npos) << steps << result.err;
    EXPECT_NE(steps.find("ok the server stops\ndone\n"), std::string::npos) << steps << result.err;
  }
}
