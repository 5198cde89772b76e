// The commands' usage and help, made from the declarations of their options.
#include "tools/main/command_table.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "tools/language/translation.h"

namespace {

// The option a usage word shows: "--wait" of "[--wait S]", "--color" of "[--color=WHEN]".
std::string option_of(std::string word) {
  if (word.front() == '[') word = word.substr(1, word.size() - 2);
  return word.substr(0, word.find_first_of(" ="));
}

}  // namespace

// Every option a command declares is said in its help, and every option its help names is one
// that the commands sharing that help declare: neither can drift from the other, in any language.
TEST(CommandTableTest, TheHelpOfEachCommandSaysEveryOptionItTakesAndNoOther) {
  for (const Language language : {Language::kEnglish, Language::kItalian}) {
    set_language(language);
    for (const Command& command : commands()) {
      SCOPED_TRACE(std::string(command.name) + (language == Language::kItalian ? " (it)" : ""));
      const std::string own = command_help(command);
      std::istringstream lines(own);
      for (std::string line; std::getline(lines, line);) {
        // Characters, not bytes: an accented letter is two bytes of UTF-8.
        size_t characters = 0;
        for (const char c : line) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        EXPECT_LE(characters, 92u) << line;
      }
      const std::set<std::string> common = {"DIR", "--line", "--train"};
      for (const std::string& word : command.usage_words()) {
        if (common.count(option_of(word)) > 0) continue;
        SCOPED_TRACE(word);
        EXPECT_NE(own.find(word), std::string::npos);
        EXPECT_NE(std::string(tr(command.help)).find(option_of(word)), std::string::npos);
      }
      std::set<std::string> declared = common;
      for (const char* name : command.help_usage) {
        if (name == nullptr) continue;
        for (const std::string& word : command_named(name)->usage_words()) {
          declared.insert(option_of(word));
        }
      }
      const std::string prose = tr(command.help);
      for (size_t at = prose.find("--"); at != std::string::npos; at = prose.find("--", at + 2)) {
        const size_t end = prose.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
        EXPECT_EQ(declared.count(prose.substr(at, end - at)), 1u) << prose.substr(at, end - at);
      }
    }
  }
  set_language(Language::kEnglish);
}
