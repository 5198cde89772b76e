#include "tools/main/scenario_tool.h"

#include <cstdio>
#include <new>

#include "common/file_io.h"
#include "tools/commands/exit_status.h"
#include "tools/main/command_table.h"
#include "tools/render/console.h"

int run(const std::vector<std::string>& args, bool (*colour_terminal)()) {
  if (args.empty()) return usage_error("no command");
  const std::string& name = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (name == "--version") {
    write_output(Stream::kOut, std::string("scenario-tool ") + kToolVersion + "\n");
    return kExitClean;
  }
  if (name == "--help" || name == "-h" || name == "help") return help(rest);
  if (const Command* command = command_named(name)) {
    return run_command(*command, rest, colour_terminal);
  }
  return usage_error("unknown command " + name + nearest_command(name));
}

namespace {

// Says in one line that memory ran out and what the command in `args` was doing, for the exit
// status that says so.
// By then the stack has unwound: a file being written is as it was, its temporary file removed,
// and the folder's lock released.
int out_of_memory(const std::vector<std::string>& args) {
  const Command* command = args.empty() ? nullptr : command_named(args[0]);
  flush_output(Stream::kOut);
  write_output(Stream::kError,
               std::string("scenario-tool: out of memory while ") +
                   (command != nullptr ? command->doing : "reading the command line") + "\n");
  return kExitOutOfMemory;
}

}  // namespace

int tool_main(int argc, const std::function<std::string(int)>& argument,
              bool (*colour_terminal)()) {
  std::vector<std::string> args;
  try {
    for (int i = 1; i < argc; ++i) args.push_back(argument(i));
    report_oversized_writes_as_failures();
    return run(args, colour_terminal);
  } catch (const std::bad_alloc&) {
    return out_of_memory(args);
  }
}
