// The language server with a real editor: headless Neovim's own language client opens a copy
// of the shipped sources, breaks a row, and checks what the editor holds (the diagnostics of both
// sources, a completion, a quick fix applied, a hover) through tools/testdata/lsp_neovim.lua,
// which writes each step's outcome into a report.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "test_support/process.h"
#include "test_support/temp_dir.h"
#include "tools/testing/tool_fixture.h"

TEST(LspNeovim, AnAuthorSeesTheProblemsAsTheyTypeHoversAndAppliesTheFix) {
  const std::string nvim = program_on_path({"nvim"});
  if (nvim.empty()) {
    const char* ci = std::getenv("CI");
    if (ci != nullptr && std::string(ci) == "true") FAIL() << "no nvim in CI";
    GTEST_SKIP() << "no editor (Debian package neovim): the server is not tested in one";
  }
  TempDir sources, home;
  write_shipped_sources(sources);
  const std::string report = home.file("report");
  ProcessOptions options;
  options.set_environment = {{"LSP_TOOL", SCENARIO_TOOL_PATH}, {"LSP_DIR", sources.path()},
                             {"LSP_REPORT", report},           {"HOME", home.path()},
                             {"XDG_CONFIG_HOME", home.path()}, {"XDG_CACHE_HOME", home.path()},
                             {"XDG_DATA_HOME", home.path()},   {"XDG_STATE_HOME", home.path()}};
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
