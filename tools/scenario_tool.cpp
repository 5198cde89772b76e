// scenario-tool: the scenario authors' command-line tool. It compiles an author's sources with
// the installer's own compiler and says what came of them; it never shows a window and never
// deletes the author's sources.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "common/scenario_identity.h"
#include "compiler/error_codes.h"
#include "compiler/scenario_compiler.h"

namespace {

// Exit statuses, for scripts.
constexpr int kExitClean = 0;        // compiled, error code 0
constexpr int kExitUsage = 1;        // bad command line
constexpr int kExitSourceError = 2;  // the readers or rules recorded an error code
constexpr int kExitIntegrity = 3;    // Errore n. 1250 or 1251: nothing written
constexpr int kExitFileFault = 4;    // a compiled file could not be written

const char kUsage[] =
    "usage: scenario-tool compile DIR [--line NAME] [--train NUMBER] [--no-plan]\n"
    "       scenario-tool --help\n";

const char kHelp[] =
    "scenario-tool compiles a scenario's two text sources into the three files the simulator\n"
    "loads, with the installer's own compiler.\n"
    "\n"
    "  compile DIR       read <line>_linea.txt and <line>_<train>-.txt in DIR and write\n"
    "                    <line>_linea.dat, <line>_<train>.sim and <line>_<train>.dat into DIR.\n"
    "                    The sources stay where they are.\n"
    "    --line NAME     the line name (default Viterbo_Attigliano)\n"
    "    --train NUMBER  the train number (default 7545)\n"
    "    --no-plan       do not build or write the line plan <line>_linea.dat\n"
    "\n"
    "The last line printed is, for scripts, 'error_code=<N> error_position=<P>', or\n"
    "'errore=<N>' when the compiled output failed its integrity check (1250, 1251).\n"
    "\n"
    "Exit status: 0 compiled with error code 0; 1 bad usage; 2 the sources gave an error\n"
    "code; 3 integrity check failed, nothing written; 4 a compiled file could not be written.\n";

int usage_error(const std::string& message) {
  std::fprintf(stderr, "scenario-tool: %s\n%s", message.c_str(), kUsage);
  return kExitUsage;
}

void print_error_state(const ScenarioCompiler& compiler) {
  // The rules go on after a problem and the error state keeps only the last: list them all.
  for (const ErrorState& problem : compiler.rule_problems) {
    std::printf("signal-cell rules: error %d at %d m: %s\n", problem.code, problem.position,
                error_meaning(problem.code));
  }
  const int32_t code = compiler.error.code;
  if (code == 0) {
    std::printf("error code 0: no error\n");
  } else {
    std::printf("error code %d (position %d m): %s\n", code, compiler.error.position,
                error_meaning(code));
    if (code == kRunTimeFailure && !compiler.failure_message.empty()) {
      std::printf("  what failed: %s\n", compiler.failure_message.c_str());
    }
  }
  std::printf("error_code=%d error_position=%d\n", code, compiler.error.position);
}

int compile(const std::vector<std::string>& args) {
  std::string directory;
  ScenarioIdentity scenario{kShippedLineName, kShippedTrainNumber};
  int32_t j = 1;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--line" || arg == "--train") {
      if (i + 1 >= args.size()) return usage_error(arg + " needs a value");
      (arg == "--line" ? scenario.line_name : scenario.train_number) = args[++i];
    } else if (arg == "--no-plan") {
      j = 0;
    } else if (!arg.empty() && arg[0] == '-') {
      return usage_error("unknown option " + arg);
    } else if (directory.empty()) {
      directory = arg;
    } else {
      return usage_error("one directory only");
    }
  }
  if (directory.empty()) return usage_error("compile needs a directory");
  if (!file_exists(directory) || is_regular_file(directory)) {
    return usage_error(directory + " is not a directory");
  }
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();

  ScenarioCompiler compiler(directory, scenario);
  compiler.delete_sources = false;
  const CompileResult result = compiler.memorizza_percorso(j);
  switch (result.end) {
    case CompileEnd::kIntegrityError:
      std::printf("Errore n. %d: %s; no compiled file written\n", result.integrity_error,
                  result.integrity_error == 1250
                      ? "the version slot of table entry 85 or of track cell 1 is already taken"
                      : "the checksum slot of table entry 85 or of track cell 1 is already taken");
      std::printf("errore=%d\n", result.integrity_error);
      return kExitIntegrity;
    case CompileEnd::kWriteFailed:
      std::fprintf(stderr, "scenario-tool: %s\n", result.status.message().c_str());
      print_error_state(compiler);
      return kExitFileFault;
    case CompileEnd::kNothingCompiled:
      std::printf("nothing compiled: no compiled file written\n");
      break;
    case CompileEnd::kWritten:
      std::printf("wrote %s%s, %s in %s\n", j != 0 ? (line_plan_name(scenario) + ", ").c_str() : "",
                  scenario_table_name(scenario).c_str(), track_cells_name(scenario).c_str(),
                  directory.c_str());
      break;
  }
  print_error_state(compiler);
  return compiler.error.code == 0 ? kExitClean : kExitSourceError;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usage_error("no command");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::fputs(kHelp, stdout);
    return kExitClean;
  }
  if (args[0] == "compile") return compile({args.begin() + 1, args.end()});
  return usage_error("unknown command " + args[0]);
}
