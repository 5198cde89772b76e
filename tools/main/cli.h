// The options of every command, each declared once: the declaration binds the option to its
// command's arguments, and the command's usage line is made from the same declarations.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/commands/command_arguments.h"

namespace CLI {
class App;
}

// How an option with a value shows in a usage line: "[--wait S]", "--notes FILE" (the command
// asks for it itself), "[--color=WHEN]".
enum class Shown { kOptional, kNeeded, kJoined };

// One command's command line: DIR, --line, --train and --help, and the options declared on it.
class CommandLine {
 public:
  explicit CommandLine(CommonArguments* common);
  ~CommandLine();
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  // A flag: it takes no value ("--force=no" is refused).
  void flag(const char* name, bool* value);
  // An option with a value, kept as given; `value_name` names it in the usage.
  void option(const char* name, const char* value_name, std::string* value,
              Shown shown = Shown::kOptional);
  // An option with a value that `take` checks and keeps; what `take` returns, if anything, is
  // what is wrong with the value.
  void checked(const char* name, const char* value_name,
               std::function<std::string(const std::string&)> take, Shown shown = Shown::kOptional);

  // The operand is a file the command reads, shown as `name` ("INSTALLER"), not the scenario's
  // folder; the command takes no --line or --train (the file says which scenario).
  void file_operand(const char* name);
  // Two operands, `first` (DIR's place) and `second`, each a folder or a file the command reads.
  void two_operands(const char* first, const char* second, std::string* second_value);
  // --line and --train must be given: the command makes a scenario of its own.
  void names_needed();
  // DIR is a folder the command writes into, and makes when only its last part is missing: the
  // command itself says what is wrong with it.
  void folder_made();

  // Parses `args`. Returns an empty text on success, else what is wrong.
  std::string parse(std::vector<std::string> args);

  // What the usage line shows after the command's name: "DIR", "[--line NAME]", ...
  const std::vector<std::string>& usage_words() const { return usage_words_; }

 private:
  std::unique_ptr<CLI::App> app_;
  CommonArguments* common_;
  std::vector<std::string> usage_words_;
  bool file_operand_ = false;
  bool two_operands_ = false;
  bool folder_made_ = false;
};

// The options of each command besides DIR, --line, --train and --help, in the order the usage
// shows them.
void declare_check(CommandLine& line, CheckArguments* a);
void declare_compile(CommandLine& line, CompileArguments* a);
void declare_dump(CommandLine& line, DumpArguments* a);
void declare_plot(CommandLine& line, PlotArguments* a);
void declare_view(CommandLine& line, ViewArguments* a);
void declare_package(CommandLine& line, PackageArguments* a);
void declare_extract(CommandLine& line, ExtractArguments* a);
void declare_init(CommandLine& line, InitArguments* a);
void declare_decompile(CommandLine& line, DecompileArguments* a);
void declare_diff(CommandLine& line, DiffArguments* a);
void declare_format(CommandLine& line, FormatArguments* a);

// A kilometre given on the command line ("37", "37.250", "37+250") in metres.
std::optional<int64_t> kilometre_in_metres(const std::string& text);
