// scenario-tool: the scenario authors' command-line tool. It compiles an author's sources with
// the installer's own compiler and says what came of them, in the shape compilers use; it dumps
// and plots compiled files. It never shows a window and never deletes the author's sources.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/scenario_identity.h"
#include "compiler/error_codes.h"
#include "compiler/scenario_compiler.h"
#include "tools/diagnostics.h"
#include "tools/dump.h"
#include "tools/plot.h"
#include "tools/source_lint.h"

namespace {

// Exit statuses, for scripts.
constexpr int kExitClean = 0;        // done; for compile and check: error code 0
constexpr int kExitUsage = 1;        // bad command line
constexpr int kExitSourceError = 2;  // the readers or rules recorded an error code
constexpr int kExitIntegrity = 3;    // Errore n. 1250 or 1251: nothing written
constexpr int kExitFileFault = 4;    // a file could not be read or written

const char kUsage[] =
    "usage: scenario-tool compile DIR [--line NAME] [--train NUMBER] [--no-plan] [--max-warnings N]\n"
    "       scenario-tool check DIR [--line NAME] [--train NUMBER] [--no-plan] [--max-warnings N]\n"
    "       scenario-tool dump DIR [--line NAME] [--train NUMBER] [--json]\n"
    "       scenario-tool plot DIR [--line NAME] [--train NUMBER] -o FILE.svg\n"
    "       scenario-tool help [COMMAND]\n";

const char kHelp[] =
    "scenario-tool compiles a scenario's two text sources into the three files the simulator\n"
    "loads, with the installer's own compiler, and shows what came of them.\n"
    "\n"
    "commands:\n"
    "  compile  compile the sources in DIR and write the compiled files there\n"
    "  check    the same, in memory only: nothing is written or deleted\n"
    "  dump     show the compiled files in DIR for people, or as JSON\n"
    "  plot     draw the compiled line as an SVG picture\n"
    "  help     this text, or a command's own: scenario-tool help compile\n"
    "\n"
    "The sources are <line>_linea.txt and <line>_<train>-.txt; the compiled files are\n"
    "<line>_linea.dat (line plan), <line>_<train>.sim (scenario table) and <line>_<train>.dat\n"
    "(track cells). Every command takes --line NAME (default Viterbo_Attigliano) and\n"
    "--train NUMBER (default 7545).\n";

const char kCompileHelp[] =
    "usage: scenario-tool compile DIR [--line NAME] [--train NUMBER] [--no-plan] [--max-warnings N]\n"
    "       scenario-tool check DIR [--line NAME] [--train NUMBER] [--no-plan] [--max-warnings N]\n"
    "\n"
    "Compiles <line>_linea.txt and <line>_<train>-.txt in DIR. compile writes <line>_linea.dat,\n"
    "<line>_<train>.sim and <line>_<train>.dat into DIR; check writes nothing. The sources stay.\n"
    "  --no-plan          do not build (or write) the line plan\n"
    "  --max-warnings N   show at most N warnings of each kind and count the rest in one line\n"
    "                     per kind (default 20; 0 shows all); errors are always all shown\n"
    "\n"
    "Each problem is reported as FILE:LINE:COLUMN: error CODE: what is wrong, at METRES m\n"
    "(km CHAINAGE), with the source line and a caret under the field; problems of the\n"
    "signal-cell rules name the cell and the objects around it. Warnings, for what compiles\n"
    "but is rarely meant (a misspelt keyword, rows out of order, overlaps, a station without\n"
    "its name), have the same shape and never change what is compiled. Of a long source\n"
    "line, 60 characters either side of the column are shown, with \"...\" where it is cut.\n"
    "\n"
    "The last line is, for scripts, 'error_code=N error_position=P', or 'errore=N' when the\n"
    "compiled output failed its integrity check (1250, 1251).\n"
    "Exit status: 0 error code 0; 1 bad usage; 2 the sources gave an error code; 3 integrity\n"
    "check failed, nothing written; 4 a compiled file could not be written.\n";

const char kDumpHelp[] =
    "usage: scenario-tool dump DIR [--line NAME] [--train NUMBER] [--json]\n"
    "\n"
    "Reads the three compiled files in DIR back and shows them: the scenario table by role\n"
    "(stations with their times, signboard texts, chainage references, route, line and train\n"
    "settings, version word and checksum, and whether the checksums match), the track cells\n"
    "that hold anything, and runs of the gradient, speed, adhesion and tunnel fields.\n"
    "  --json  the same as JSON, for scripts\n"
    "Exit status: 0 shown; 1 bad usage; 4 a file is missing, cut short or not of its kind.\n";

const char kPlotHelp[] =
    "usage: scenario-tool plot DIR [--line NAME] [--train NUMBER] -o FILE.svg\n"
    "\n"
    "Draws the compiled line in DIR as one SVG picture: the plan view from the line plan (north\n"
    "up, with km marks), and below it, along the line, the gradient profile, the line speed,\n"
    "the stations, signals, slowdowns and speed restriction points.\n"
    "Exit status: 0 drawn; 1 bad usage; 4 a file is missing, cut short or not of its kind, or\n"
    "there is no line plan.\n";

int usage_error(const std::string& message) {
  std::fprintf(stderr, "scenario-tool: %s\n%s", message.c_str(), kUsage);
  return kExitUsage;
}

int file_fault(const std::string& message) {
  std::fprintf(stderr, "scenario-tool: %s\n", message.c_str());
  return kExitFileFault;
}

// The command line of one command.
struct Arguments {
  std::string directory;
  ScenarioIdentity scenario{kShippedLineName, kShippedTrainNumber};
  bool no_plan = false;
  size_t max_warnings = kDefaultMaxWarnings;
  bool json = false;
  std::string output;
  bool help = false;
};

// Parses `args`, allowing the flags named in `allowed` besides --line and --train. Returns an
// empty text on success, else what is wrong.
std::string parse(const std::vector<std::string>& args, const std::string& allowed, Arguments* a) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool takes_value =
        arg == "--line" || arg == "--train" ||
        ((arg == "-o" || arg == "--max-warnings") && allowed.find(arg) != std::string::npos);
    if (takes_value) {
      if (i + 1 >= args.size()) return arg + " needs a value";
      const std::string& value = args[++i];
      if (arg == "--line") a->scenario.line_name = value;
      if (arg == "--train") a->scenario.train_number = value;
      if (arg == "-o") a->output = value;
      if (arg == "--max-warnings") {
        if (value.empty() || value.size() > 9 ||
            value.find_first_not_of("0123456789") != std::string::npos) {
          return "--max-warnings needs a count (0 for all)";
        }
        a->max_warnings = std::stoul(value);
      }
    } else if (arg == "--help" || arg == "-h") {
      a->help = true;
    } else if (!arg.empty() && arg[0] == '-') {
      if (allowed.find(arg) == std::string::npos) return "unknown option " + arg;
      if (arg == "--no-plan") a->no_plan = true;
      if (arg == "--json") a->json = true;
    } else if (a->directory.empty()) {
      a->directory = arg;
    } else {
      return "one directory only";
    }
  }
  if (a->help) return "";
  if (a->directory.empty()) return "a directory is needed";
  if (!file_exists(a->directory) || is_regular_file(a->directory)) {
    return a->directory + " is not a directory";
  }
  while (a->directory.size() > 1 && a->directory.back() == '/') a->directory.pop_back();
  return "";
}

ShownSource shown(const std::string& directory, const std::string& name) {
  const std::string path = path_in(directory, name);
  std::string text;
  read_file(path, &text);
  return ShownSource(path, std::move(text));
}

int compile(const std::vector<std::string>& args, bool write) {
  Arguments a;
  const std::string wrong = parse(args, "--no-plan --max-warnings", &a);
  if (!wrong.empty()) return usage_error(wrong);
  if (a.help) {
    std::fputs(kCompileHelp, stdout);
    return kExitClean;
  }
  // The sources as they are before the compiler reads them, for the report.
  const ShownSource line = shown(a.directory, line_source_name(a.scenario));
  const ShownSource train = shown(a.directory, train_source_name(a.scenario));
  std::fputs(format_warnings(lint_line_source(line.text()), line, a.max_warnings).c_str(), stdout);
  std::fputs(format_warnings(lint_train_source(train.text()), train, a.max_warnings).c_str(),
             stdout);

  ScenarioCompiler compiler(a.directory, a.scenario);
  compiler.delete_sources = false;
  compiler.write_files = write;
  int32_t j = a.no_plan ? 0 : 1;
  const CompileResult result = compiler.memorizza_percorso(j);
  const std::string cells_path = path_in(a.directory, track_cells_name(a.scenario));
  for (const Problem& problem : compiler.problems) {
    std::fputs(format_problem(compiler, problem, line, train, cells_path).c_str(), stdout);
  }
  switch (result.end) {
    case CompileEnd::kIntegrityError:
      std::printf("Errore n. %d: %s; no compiled file written\n", result.integrity_error,
                  result.integrity_error == 1250
                      ? "the version slot of table entry 85 or of track cell 1 is already taken"
                      : "the checksum slot of table entry 85 or of track cell 1 is already taken");
      std::printf("errore=%d\n", result.integrity_error);
      return kExitIntegrity;
    case CompileEnd::kFileFault:
      std::fprintf(stderr, "scenario-tool: %s\n", result.status.message().c_str());
      break;
    case CompileEnd::kNothingCompiled:
      std::printf("nothing compiled: no compiled file written\n");
      break;
    case CompileEnd::kWritten:
      if (write) {
        std::printf("wrote %s%s, %s in %s\n",
                    j != 0 ? (line_plan_name(a.scenario) + ", ").c_str() : "",
                    scenario_table_name(a.scenario).c_str(), track_cells_name(a.scenario).c_str(),
                    a.directory.c_str());
      } else {
        std::printf("checked in memory: nothing written\n");
      }
      break;
  }
  const int32_t code = compiler.error.code;
  std::printf("error code %d (position %d m): %s\n", code, compiler.error.position,
              error_meaning(code));
  std::printf("error_code=%d error_position=%d\n", code, compiler.error.position);
  if (result.end == CompileEnd::kFileFault) return kExitFileFault;
  return code == 0 ? kExitClean : kExitSourceError;
}

int dump(const std::vector<std::string>& args) {
  Arguments a;
  const std::string wrong = parse(args, "--json", &a);
  if (!wrong.empty()) return usage_error(wrong);
  if (a.help) {
    std::fputs(kDumpHelp, stdout);
    return kExitClean;
  }
  CompiledScenario compiled;
  const Status status = load_compiled(a.directory, a.scenario, &compiled);
  if (!status.ok()) return file_fault(status.message());
  const std::string text =
      a.json ? dump_json(compiled, a.scenario) : dump_text(compiled, a.scenario);
  std::fputs(text.c_str(), stdout);
  return kExitClean;
}

int plot(const std::vector<std::string>& args) {
  Arguments a;
  const std::string wrong = parse(args, "-o", &a);
  if (!wrong.empty()) return usage_error(wrong);
  if (a.help) {
    std::fputs(kPlotHelp, stdout);
    return kExitClean;
  }
  if (a.output.empty()) return usage_error("plot needs -o FILE.svg");
  CompiledScenario compiled;
  const Status status = load_compiled(a.directory, a.scenario, &compiled);
  if (!status.ok()) return file_fault(status.message());
  const std::string svg = plot_svg(compiled, a.scenario);
  if (svg.empty()) return file_fault("no line plan to draw: compile without --no-plan");
  const Status written = replace_file(a.output, svg);
  if (!written.ok()) return file_fault(written.message());
  std::printf("drew %s\n", a.output.c_str());
  return kExitClean;
}

int help(const std::vector<std::string>& args) {
  const std::string topic = args.empty() ? "" : args[0];
  if (topic == "compile" || topic == "check") {
    std::fputs(kCompileHelp, stdout);
  } else if (topic == "dump") {
    std::fputs(kDumpHelp, stdout);
  } else if (topic == "plot") {
    std::fputs(kPlotHelp, stdout);
  } else if (topic.empty()) {
    std::fputs(kHelp, stdout);
    std::fputs("\n", stdout);
    std::fputs(kUsage, stdout);
  } else {
    return usage_error("no help on " + topic);
  }
  return kExitClean;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usage_error("no command");
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "--help" || command == "-h" || command == "help") return help(rest);
  if (command == "compile") return compile(rest, true);
  if (command == "check") return compile(rest, false);
  if (command == "dump") return dump(rest);
  if (command == "plot") return plot(rest);
  return usage_error("unknown command " + command);
}
