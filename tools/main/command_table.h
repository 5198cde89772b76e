// The commands of scenario-tool: each its name, what it does, its help, and what parses its
// command line and runs it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct Command {
  const char* name;
  const char* summary;  // what it does, in a line of the overview
  const char* doing;    // what it was doing when memory ran out: "compiling"
  // The commands whose usage heads its help (compile and check share theirs), and the help's
  // prose under it.
  const char* help_usage[2];
  const char* help;
  // The words of its usage line after its name, from the declarations of its options.
  std::vector<std::string> (*usage_words)();
  // Parses `args` (the command line after the command's name) and runs the command.
  int (*run)(const std::vector<std::string>& args, const Command& command,
             bool (*colour_terminal)());
};

// The commands, in the order the help lists them.
struct CommandList {
  const Command* first;
  size_t count;
  const Command* begin() const { return first; }
  const Command* end() const { return first + count; }
};
CommandList commands();

// The command called `name`, or none.
const Command* command_named(const std::string& name);

// "; did you mean 'compile'?" for a name a letter or two away from a command's; else nothing.
std::string nearest_command(const std::string& name);

// Runs `command` on `args` (the command line after its name): a usage error meanwhile points
// to its help.
int run_command(const Command& command, const std::vector<std::string>& args,
                bool (*colour_terminal)());

// The usage of every command, as the overview shows it.
std::string usage();

// A command's own help: its usage and what it says under it.
std::string command_help(const Command& command);

// 'scenario-tool help [TOPIC]': the overview, a command's help, or the source format.
int help(const std::vector<std::string>& args);
