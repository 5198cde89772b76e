#include "tools/main/command_table.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "tools/analysis/diagnostics.h"
#include "tools/analysis/words.h"
#include "tools/commands/check_command.h"
#include "tools/commands/decompile_command.h"
#include "tools/commands/diff_command.h"
#include "tools/commands/dump_command.h"
#include "tools/commands/exit_status.h"
#include "tools/commands/extract_command.h"
#include "tools/commands/format_command.h"
#include "tools/commands/init_command.h"
#include "tools/commands/lsp_command.h"
#include "tools/commands/package_command.h"
#include "tools/commands/view_command.h"
#include "tools/language/translation.h"
#include "tools/main/cli.h"
#include "tools/main/help_texts.h"
#include "tools/main/source_format.h"
#include "tools/render/console.h"
#include "tools/render/diagnostic_output.h"

namespace {

// The command being run, once its name is known: a usage error points to its help.
const Command* running_command = nullptr;

// The usage lines that head a command's help (compile and check share theirs).
std::string usage_of(const Command& command) {
  const std::string lead = tr("usage: "), under(lead.size(), ' ');
  std::string text;
  for (const char* name : command.help_usage) {
    if (name == nullptr) continue;
    text += usage_line(text.empty() ? lead.c_str() : under.c_str(), name,
                       command_named(name)->usage_words());
  }
  return text;
}

// The words of a command's usage line, from the declarations of its options.
template <typename Arguments, void (*declare)(CommandLine&, Arguments*)>
std::vector<std::string> usage_words_of() {
  Arguments a;
  CommandLine line(&common_of(a));
  declare(line, &a);
  return line.usage_words();
}

// A command asked for a JSON or SARIF document (--format=json, --format sarif) gets one on
// standard output even when its arguments are refused, saying why: a script reading it finds a
// document, not an empty stream. The one line goes to standard error as for every command.
void document_usage_error(const std::vector<std::string>& args, const Command& command,
                          const std::string& wrong) {
  bool takes_format = false;
  for (const std::string& word : command.usage_words()) {
    takes_format = takes_format || word.find("--format") != std::string::npos;
  }
  if (!takes_format) return;
  std::string format;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].rfind("--format=", 0) == 0) format = args[i].substr(9);
    if (args[i] == "--format" && i + 1 < args.size()) format = args[i + 1];
  }
  const std::unique_ptr<DiagnosticDocument> document =
      format == "json" || format == "sarif" ? standard_output_document(format, kToolVersion)
                                            : nullptr;
  if (!document) return;
  Diagnostic refused;
  refused.code = "usage";
  refused.message = wrong;
  document->add(refused);
  document->finish(std::nullopt, 0);
}

// Parses a command's arguments into its own `Arguments` and runs it, or shows its help. Bad
// usage ends with `bad_usage` (diff keeps 1 for "they differ", as diff(1) does).
template <typename Arguments, void (*declare)(CommandLine&, Arguments*),
          int (*run_command)(const Arguments&, bool (*)()), int bad_usage = kExitUsage>
int parse_and_run(const std::vector<std::string>& args, const Command& command,
                  bool (*colour_terminal)()) {
  Arguments a;
  CommandLine line(&common_of(a));
  declare(line, &a);
  const std::string wrong = line.parse(args);
  if (!wrong.empty()) {
    usage_error(wrong);
    document_usage_error(args, command, wrong);
    return bad_usage;
  }
  if (common_of(a).help) {
    write_output(Stream::kOut, command_help(command));
    return kExitClean;
  }
  return run_command(a, colour_terminal);
}

// The commands that never colour anything.
template <typename Arguments, int (*run_command)(const Arguments&)>
int plain(const Arguments& a, bool (*)()) {
  return run_command(a);
}

// A command's entry: its arguments, the declaration of its options and what runs it.
template <typename Arguments, void (*declare)(CommandLine&, Arguments*),
          int (*run_command)(const Arguments&, bool (*)()), int bad_usage = kExitUsage>
constexpr Command command(const char* name, const char* summary, const char* doing,
                          const char* help_usage_first, const char* help_usage_second,
                          const char* help) {
  return {name,
          summary,
          doing,
          {help_usage_first, help_usage_second},
          help,
          usage_words_of<Arguments, declare>,
          parse_and_run<Arguments, declare, run_command, bad_usage>};
}

}  // namespace

CommandList commands() {
  // Built without allocating: out_of_memory() looks up what a command was doing.
  static constexpr Command kCommands[] = {
      command<CompileArguments, declare_compile, compile>(
          "compile", tr_mark("compile the sources in DIR and write the compiled files there"),
          tr_mark("compiling"), "compile", "check", kCompileHelp),
      command<CheckArguments, declare_check, check>(
          "check", tr_mark("the same, in memory only: nothing is written or deleted"),
          tr_mark("checking the sources"), "compile", "check", kCompileHelp),
      command<DumpArguments, declare_dump, plain<DumpArguments, dump>>(
          "dump", tr_mark("show the compiled files in DIR for people, or as JSON"),
          tr_mark("showing the compiled files"), "dump", nullptr, kDumpHelp),
      command<PlotArguments, declare_plot, plain<PlotArguments, plot>>(
          "plot", tr_mark("draw the compiled line as an SVG picture"), tr_mark("drawing the line"),
          "plot", nullptr, kPlotHelp),
      command<ViewArguments, declare_view, plain<ViewArguments, view>>(
          "view",
          tr_mark(
              "an interactive page of the line, made from the sources; --watch keeps it up to date"),
          tr_mark("writing the route view"), "view", nullptr, kViewHelp),
      command<PackageArguments, declare_package, package>(
          "package",
          tr_mark("make an installer of your scenario for its drivers, like the shipped one"),
          tr_mark("making the installer"), "package", nullptr, kPackageHelp),
      command<ExtractArguments, declare_extract, plain<ExtractArguments, extract>>(
          "extract", tr_mark("write the sources and documents an installer carries, to start from"),
          tr_mark("extracting the installer's texts"), "extract", nullptr, kExtractHelp),
      command<InitArguments, declare_init, plain<InitArguments, init>>(
          "init", tr_mark("write a small starter scenario under your names, to start from"),
          tr_mark("writing the starter scenario"), "init", nullptr, kInitHelp),
      command<DecompileArguments, declare_decompile, plain<DecompileArguments, decompile>>(
          "decompile",
          tr_mark("write the sources back from the compiled files, checked byte for byte"),
          tr_mark("decompiling"), "decompile", nullptr, kDecompileHelp),
      command<FormatArguments, declare_format, plain<FormatArguments, format>>(
          "format",
          tr_mark("lay the sources out in aligned columns; what they compile to never changes"),
          tr_mark("formatting the sources"), "format", nullptr, kFormatHelp),
      command<DiffArguments, declare_diff, plain<DiffArguments, diff>, kExitDiffTrouble>(
          "diff", tr_mark("compare two compiled scenarios by what their rows mean"),
          tr_mark("comparing"), "diff", nullptr, kDiffHelp),
      {"lsp",
       tr_mark("a language server: problems, repairs and help in your editor as you type"),
       tr_mark("serving the editor"),
       {"lsp", nullptr},
       kLspHelp,
       lsp_usage_words,
       lsp},
  };
  return {kCommands, sizeof kCommands / sizeof kCommands[0]};
}

const Command* command_named(const std::string& name) {
  for (const Command& command : commands()) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

std::string nearest_command(const std::string& name) {
  const Command* best = nullptr;
  size_t distance = 3;
  for (const Command& command : commands()) {
    const size_t d = edit_distance(name, command.name);
    if (d < distance) {
      distance = d;
      best = &command;
    }
  }
  return best == nullptr ? "" : tr("; did you mean '{1}'?", {best->name});
}

int run_command(const Command& command, const std::vector<std::string>& args,
                bool (*colour_terminal)()) {
  struct Running {
    explicit Running(const Command* command) { running_command = command; }
    ~Running() { running_command = nullptr; }
  } running(&command);
  return command.run(args, command, colour_terminal);
}

std::string usage() {
  const std::string lead = tr("usage: "), under(lead.size(), ' ');
  std::string text;
  for (const Command& command : commands()) {
    text += usage_line(text.empty() ? lead.c_str() : under.c_str(), command.name,
                       command.usage_words());
  }
  return text + under + tr("scenario-tool help [COMMAND | format]") + "\n";
}

std::string command_help(const Command& command) {
  return usage_of(command) + tr(command.help);
}

int help(const std::vector<std::string>& args) {
  const std::string topic = args.empty() ? "" : args[0];
  // "format" is the source format's page; the command's help is 'format --help'.
  if (topic == "format") {
    const char* page =
        current_language() == Language::kItalian ? kSourceFormatPageItalian : kSourceFormatPage;
    write_output(Stream::kOut,
                 std::string(page) + "\n" +
                     tr("(The command that lays the sources out: scenario-tool format --help.)") +
                     "\n");
  } else if (const Command* command = command_named(topic)) {
    write_output(Stream::kOut, command_help(*command));
  } else if (topic.empty()) {
    std::string list;
    for (const Command& command : commands()) {
      list += formatted("  %-8s %s\n", command.name, tr(command.summary));
    }
    write_output(Stream::kOut, tr(kOverviewHelp, {list}) + "\n" + usage());
  } else {
    return usage_error(tr("no help on {1}", {topic}) + nearest_command(topic));
  }
  return kExitClean;
}

int usage_error(const std::string& message) {
  // One line says what is wrong; the help it points to has the usage.
  const std::string topic =
      running_command != nullptr ? std::string(" ") + running_command->name : std::string();
  write_output(Stream::kError, "scenario-tool: " + message + "\n" +
                                   tr("see: {1}", {"scenario-tool help" + topic}) + "\n");
  return kExitUsage;
}

int file_fault(const std::string& message) {
  write_output(Stream::kError, "scenario-tool: " + message + "\n");
  return kExitFileFault;
}
