#include "tools/main/scenario_tool.h"

#include <cstdio>
#include <new>

#include "common/file_io.h"
#include "tools/commands/exit_status.h"
#include "tools/language/translation.h"
#include "tools/main/command_table.h"
#include "tools/render/console.h"

namespace {

// The language the platform asks for, when --lang does not say.
Language system_language = Language::kEnglish;

}  // namespace

int run(std::vector<std::string> args, bool (*colour_terminal)()) {
  // --lang=it or --lang it, anywhere on the command line, before any text is made.
  set_language(system_language);
  set_language_chosen(false);
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--lang" && args[i].rfind("--lang=", 0) != 0) continue;
    const bool joined = args[i] != "--lang";
    const std::string value = joined ? args[i].substr(7) : i + 1 < args.size() ? args[i + 1] : "";
    const std::optional<Language> language = language_named(value);
    if (!language) return usage_error(tr("--lang is it or en"));
    set_language(*language);
    set_language_chosen(true);
    args.erase(args.begin() + ptrdiff_t(i), args.begin() + ptrdiff_t(i + (joined ? 1 : 2)));
    --i;
  }
  if (args.empty()) return usage_error(tr("no command"));
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
  return usage_error(tr("unknown command {1}", {name}) + nearest_command(name));
}

namespace {

// Says in one line that memory ran out and what the command in `args` was doing, for the exit
// status that says so.
// By then the stack has unwound: a file being written is as it was, its temporary file removed,
// and the folder's lock released.
int out_of_memory(const std::vector<std::string>& args) {
  const Command* command = args.empty() ? nullptr : command_named(args[0]);
  flush_output(Stream::kOut);
  write_output(
      Stream::kError,
      "scenario-tool: " +
          // TRANSLATORS: {1} is what the command was doing, as the command table says it
          // ("compiling", "checking the sources").
          tr("out of memory while {1}",
             {tr(command != nullptr ? command->doing : tr_mark("reading the command line"))}) +
          "\n");
  return kExitOutOfMemory;
}

}  // namespace

int tool_main(int argc, const std::function<std::string(int)>& argument, bool (*colour_terminal)(),
              Language platform_language) {
  system_language = platform_language;
  std::vector<std::string> args;
  try {
    for (int i = 1; i < argc; ++i) args.push_back(argument(i));
    report_oversized_writes_as_failures();
    return run(args, colour_terminal);
  } catch (const std::bad_alloc&) {
    return out_of_memory(args);
  }
}
