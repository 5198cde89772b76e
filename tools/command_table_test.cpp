// The commands' usage and help, made from the declarations of their options.
#include "tools/command_table.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(CommandTableTest, EveryOptionIsInTheUsageAndTheHelpOfItsCommand) {
  for (const Command& command : commands()) {
    SCOPED_TRACE(command.name);
    const std::string own = command_help(command);
    std::istringstream lines(own);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_LE(line.size(), 92u) << line;
    }
    // Each option is shown in the usage and said in words in the help.
    for (std::string word : command.usage_words()) {
      if (word.front() == '[') word = word.substr(1, word.size() - 2);
      const std::string option = word.substr(0, word.find_first_of(" ="));
      if (option == "DIR" || option == "--line" || option == "--train") continue;
      SCOPED_TRACE(option);
      EXPECT_NE(own.find(word), std::string::npos);
      EXPECT_NE(std::string(command.help).find(option), std::string::npos);
    }
  }
}
