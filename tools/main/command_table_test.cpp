// The commands' usage and help, made from the declarations of their options.
#include "tools/main/command_table.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace {

// The option a usage word shows: "--wait" of "[--wait S]", "--color" of "[--color=WHEN]".
std::string option_of(std::string word) {
  if (word.front() == '[') word = word.substr(1, word.size() - 2);
  return word.substr(0, word.find_first_of(" ="));
}

}  // namespace

// Every option a command declares is said in its help, and every option its help names is one
// that the commands sharing that help declare: neither can drift from the other.
TEST(CommandTableTest, TheHelpOfEachCommandSaysEveryOptionItTakesAndNoOther) {
  for (const Command& command : commands()) {
    SCOPED_TRACE(command.name);
    const std::string own = command_help(command);
    std::istringstream lines(own);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_LE(line.size(), 92u) << line;
    }
    const std::set<std::string> common = {"DIR", "--line", "--train"};
    for (const std::string& word : command.usage_words()) {
      if (common.count(option_of(word)) > 0) continue;
      SCOPED_TRACE(word);
      EXPECT_NE(own.find(word), std::string::npos);
      EXPECT_NE(std::string(command.help).find(option_of(word)), std::string::npos);
    }
    std::set<std::string> declared = common;
    for (const char* name : command.help_usage) {
      if (name == nullptr) continue;
      for (const std::string& word : command_named(name)->usage_words()) {
        declared.insert(option_of(word));
      }
    }
    const std::string prose = command.help;
    for (size_t at = prose.find("--"); at != std::string::npos; at = prose.find("--", at + 2)) {
      const size_t end = prose.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
      EXPECT_EQ(declared.count(prose.substr(at, end - at)), 1u) << prose.substr(at, end - at);
    }
  }
}
