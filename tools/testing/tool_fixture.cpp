#include "tools/testing/tool_fixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/scenario_identity.h"
#include "sources/line_source.h"
#include "sources/train_source.h"
#include "tools/main/scenario_tool.h"

namespace {

// One of the standard streams sent to a temporary file while it lives.
class Captured {
 public:
  explicit Captured(FILE* stream) : stream_(stream), file_(std::tmpfile()) {
    std::fflush(stream_);
    saved_ = dup(fileno(stream_));
    dup2(fileno(file_), fileno(stream_));
  }
  ~Captured() {
    restore();
    std::fclose(file_);
  }
  // What was written, with the stream given back.
  std::string text() {
    restore();
    std::string text;
    std::rewind(file_);
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0;) text.append(buffer, n);
    return text;
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stream_);
    dup2(saved_, fileno(stream_));
    close(saved_);
    saved_ = -1;
  }
  FILE* stream_;
  FILE* file_;
  int saved_ = -1;
};

bool no_colour_terminal() {
  return false;
}

}  // namespace

ProcessResult run_tool(const std::vector<std::string>& args) {
  ProcessResult result;
  Captured out(stdout), err(stderr);
  result.exit_status = tool_main(
      int(args.size()) + 1, [&args](int i) { return args[i - 1]; }, no_colour_terminal,
      Language::kEnglish);
  // The language is the process's: the tests after this one begin in English, whatever --lang
  // this one was given.
  set_language(Language::kEnglish);
  set_language_chosen(false);
  result.exited = true;
  result.out = out.text();
  result.err = err.text();
  return result;
}

ProcessResult run_tool_process(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {SCENARIO_TOOL_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  // The tests read its English, whatever the language of the machine they run on.
  ProcessOptions options;
  options.unset_environment = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  return run_process(argv, options);
}

std::string last_line(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text.substr(text.rfind('\n') + 1);  // npos + 1 is 0: a single line
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

void write_shipped_sources(const TempDir& dir) {
  const ScenarioIdentity shipped{kShippedLineName, kShippedTrainNumber};
  ASSERT_TRUE(dati_linea(dir.path(), shipped).ok());
  ASSERT_TRUE(dati_treno(dir.path(), shipped).ok());
}

std::string program_on_path(const std::vector<std::string>& names) {
  const char* path = std::getenv("PATH");
  const std::string dirs = path ? path : "";
  for (const std::string& name : names) {
    for (size_t start = 0; start <= dirs.size();) {
      const size_t end = std::min(dirs.find(':', start), dirs.size());
      const std::string candidate = dirs.substr(start, end - start) + "/" + name;
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
      start = end + 1;
    }
  }
  return "";
}
