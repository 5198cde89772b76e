// scenario-tool: the scenario authors' command-line tool. It compiles an author's sources with
// the installer's own compiler and says what came of them, in the shape compilers use; it dumps
// and plots compiled files. It never shows a window and never deletes the author's sources.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include "common/windows_text.h"
#else
#include <unistd.h>
#endif

#include <CLI/CLI.hpp>

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/folder_lock.h"
#include "common/own_executable.h"
#include "common/same_folder.h"
#include "common/scenario_identity.h"
#include "common/windows_1252.h"
#include "compiler/error_codes.h"
#include "compiler/scenario_compiler.h"
#include "tools/diagnostics.h"
#include "tools/dump.h"
#include "tools/failed_compilation.h"
#include "tools/package.h"
#include "tools/plot.h"
#include "tools/source_format.h"
#include "tools/source_lint.h"
#include "tools/view.h"
#include "tools/words.h"

namespace {

// Exit statuses, for scripts.
// The tool's version, for --version and the SARIF log.
const char kToolVersion[] = "1.1.0";

constexpr int kExitClean = 0;        // done; for compile and check: error code 0
constexpr int kExitUsage = 1;        // bad command line
constexpr int kExitSourceError = 2;  // the readers or rules recorded an error code
constexpr int kExitIntegrity = 3;    // Errore n. 1250 or 1251: nothing written
constexpr int kExitFileFault = 4;    // a file could not be read or written
constexpr int kExitOutOfMemory = 5;  // memory ran out: one line says while doing what

const char kUsage[] =
    "usage: scenario-tool compile DIR [--line NAME] [--train NUMBER] [--no-plan] [--force]\n"
    "                                 [--wait S] [--max-warnings N]\n"
    "       scenario-tool check DIR [--line NAME] [--train NUMBER] [--no-plan] [--max-warnings N]\n"
    "       scenario-tool dump DIR [--line NAME] [--train NUMBER] [--json]\n"
    "       scenario-tool plot DIR [--line NAME] [--train NUMBER] -o FILE.svg [--from KM]\n"
    "                              [--to KM]\n"
    "       scenario-tool view DIR [--line NAME] [--train NUMBER] -o FILE.html [--from KM]\n"
    "                              [--to KM] [--watch]\n"
    "       scenario-tool package DIR [--line NAME] [--train NUMBER] --notes FILE --sheet FILE\n"
    "                                 --slowdowns FILE [-o OUT] [--target windows|linux]\n"
    "                                 [--installer PROGRAM] [--werror]\n"
    "       scenario-tool help [COMMAND | format]\n";

const char kHelp[] =
    "scenario-tool compiles a scenario's two text sources into the three files the simulator\n"
    "loads, with the installer's own compiler, and shows what came of them.\n"
    "\n"
    "commands:\n"
    "%s"
    "  help     this text, or a command's own: scenario-tool help compile; or the source\n"
    "           format, every row and field with its limits: scenario-tool help format\n"
    "\n"
    "The sources are <line>_linea.txt and <line>_<train>-.txt; the compiled files are\n"
    "<line>_linea.dat (line plan), <line>_<train>.sim (scenario table) and <line>_<train>.dat\n"
    "(track cells). Every command takes --line NAME (default Viterbo_Attigliano) and\n"
    "--train NUMBER (default 7545). Every command exits with status 5 when memory runs out,\n"
    "saying while doing what; a file it was writing then stays as it was.\n";

const char kCompileHelp[] =
    "usage: scenario-tool compile DIR [--line NAME] [--train NUMBER] [--no-plan] [--force]\n"
    "                                 [--wait S] [--max-warnings N] [--werror] [--color=WHEN]\n"
    "                                 [--format=FORM]\n"
    "       scenario-tool check DIR [--line NAME] [--train NUMBER] [--no-plan] [--max-warnings N]\n"
    "                               [--werror] [--color=WHEN] [--format=FORM]\n"
    "\n"
    "Compiles <line>_linea.txt and <line>_<train>-.txt in DIR. When they compile with error\n"
    "code 0, compile writes <line>_linea.dat, <line>_<train>.sim and <line>_<train>.dat into\n"
    "DIR; otherwise it writes nothing and the compiled files already there stay.\n"
    "check writes nothing. The sources stay.\n"
    "  --no-plan          do not build (or write) the line plan\n"
    "  --force            compile: write the files whatever the error code, exactly as the\n"
    "                     installer would from the same sources\n"
    "  --wait S           how long compile waits, in seconds, while another run (the installer\n"
    "                     or another compile) works on the same line in DIR; default 5\n"
    "  --max-warnings N   show at most N warnings of each kind and count the rest in one line\n"
    "                     per kind (default 20; 0 shows all); errors are always all shown\n"
    "  --werror           warnings are errors: exit status 2, and compile writes nothing\n"
    "  --color=WHEN       colour the diagnostics: auto (on a terminal), always, never\n"
    "  --format=FORM      text (default), or json or sarif (SARIF 2.1.0) on standard output\n"
    "\n"
    "Each problem is reported as FILE:LINE:COLUMN: error CODE: what is wrong, at METRES m\n"
    "(km CHAINAGE), with the source line and a caret under the field; problems of the\n"
    "signal-cell rules name the cell and the objects around it. Warnings, for what compiles\n"
    "but is rarely meant (a misspelt keyword, rows out of order, overlaps, a station without\n"
    "its name), have the same shape and never change what is compiled. Of a long source\n"
    "line, 60 characters either side of the column are shown, with \"...\" where it is cut.\n"
    "The compiler stops at its first error; the problems it never reached are listed after it,\n"
    "each marked past the first error, then a count of errors and warnings. Diagnostics go to\n"
    "standard error, results to standard output.\n"
    "\n"
    "The last line is, for scripts, 'error_code=N error_position=P', or 'errore=N' when the\n"
    "compiled output failed its integrity check (1250, 1251).\n"
    "Exit status: 0 error code 0; 1 bad usage; 2 the sources gave an error code (nothing\n"
    "written unless --force); 3 integrity check failed, nothing written; 4 a source could not\n"
    "be read or a compiled file written, or another run kept working on the same line in DIR.\n";

const char kViewHelp[] =
    "usage: scenario-tool view DIR [--line NAME] [--train NUMBER] -o FILE.html [--from KM]\n"
    "                              [--to KM] [--watch]\n"
    "\n"
    "Compiles the sources in DIR in memory (nothing is written there) and makes FILE.html, one\n"
    "page that opens from disk in any current browser, with nothing fetched: the plan of the\n"
    "line with its stations, tunnels, boards, signals and slowdowns; under it the gradient,\n"
    "line speed and adhesion and a lane for each kind of object, on one chainage axis; every\n"
    "object's values and source line on hover or click; the problems (click one to go there);\n"
    "and the timetable against the least running time at the line speed. Wheel or +/- zooms,\n"
    "drag or the arrows pan, Home shows the whole line.\n"
    "  --from KM, --to KM  show that stretch first, in the line's own kilometres (37.5 or\n"
    "                      37+500); without chainage references, kilometres from the start\n"
    "  --watch             make the page again each time a source is saved, and list the\n"
    "                      problems again; the open page reloads itself and keeps its place\n"
    "Exit status: 0 page written; 1 bad usage; 4 a file could not be read or written.\n";

const char kPackageHelp[] =
    "usage: scenario-tool package DIR [--line NAME] [--train NUMBER] --notes FILE --sheet FILE\n"
    "                                 --slowdowns FILE [-o OUT] [--target windows|linux]\n"
    "                                 [--installer PROGRAM] [--werror]\n"
    "\n"
    "Makes an installer of the scenario in DIR for its drivers: run once, it behaves exactly as\n"
    "the shipped installer does (the window 'Attendere', the same steps, faults and exit\n"
    "statuses) with your texts: it writes the two sources and the three documents beside\n"
    "itself, compiles the sources into the simulator's three files and deletes the sources.\n"
    "The documents are your three text files (--notes, --sheet, --slowdowns), UTF-8 or\n"
    "Windows-1252, written as Windows-1252 with CR LF under the names <line>_<train>_note.txt,\n"
    "<line>_<train>_scheda_treno.txt and <line>_<train>_rallentamenti.txt. A character that\n"
    "Windows-1252 cannot hold is refused here, with its file:line:column.\n"
    "Sources that do not compile with error code 0 are refused with their problems; with\n"
    "--werror, sources with a warning too.\n"
    "  -o OUT               the installer to make (default <line>_<train>.exe, or <line>_<train>\n"
    "                       for Linux, in the current folder); never in the sources' folder,\n"
    "                       however it is spelt (the folders are compared, not their names),\n"
    "                       and its folder must exist\n"
    "  --target             windows (default) or linux\n"
    "  --installer PROGRAM  the shipped installer to start from; by default\n"
    "                       Viterbo_Attigliano_7545.exe (or Viterbo_Attigliano_7545 for Linux)\n"
    "                       beside scenario-tool\n"
    "Exit status: 0 installer made; 1 bad usage; 2 the sources or a text were refused;\n"
    "3 integrity check failed; 4 a file could not be read or written.\n";

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
    "usage: scenario-tool plot DIR [--line NAME] [--train NUMBER] -o FILE.svg [--from KM]\n"
    "                              [--to KM]\n"
    "\n"
    "Draws the compiled line in DIR as one SVG picture: the plan view from the line plan (north\n"
    "up, with km marks, stations, tunnels, signals and slowdowns), and below it, along the line,\n"
    "the gradient profile, the line speed, the stations, signals, slowdowns and speed\n"
    "restriction points.\n"
    "  --from KM, --to KM  draw only that stretch, in the line's own kilometres (37, 37.25 or\n"
    "                      37+250); without chainage references, kilometres from the start\n"
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

// A kilometre given on the command line ("37", "37.250", "37+250") in metres.
std::optional<int64_t> kilometre_in_metres(const std::string& text) {
  const size_t plus = text.find('+');
  char* end = nullptr;
  if (plus != std::string::npos) {
    const std::string km = text.substr(0, plus), m = text.substr(plus + 1);
    const long whole = std::strtol(km.c_str(), &end, 10);
    if (km.empty() || *end != '\0' || whole < 0) return std::nullopt;
    const long metres = std::strtol(m.c_str(), &end, 10);
    if (m.empty() || *end != '\0' || metres < 0 || metres > 999) return std::nullopt;
    return int64_t(whole) * 1000 + metres;
  }
  const double km = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(km >= 0 && km <= 1e6)) return std::nullopt;
  return std::llround(km * 1000);
}

// The command line of one command.
struct Arguments {
  std::string directory;
  ScenarioIdentity scenario{kShippedLineName, kShippedTrainNumber};
  bool no_plan = false;
  bool force = false;  // compile: write the files whatever the error code
  size_t max_warnings = kDefaultMaxWarnings;
  std::string color = "auto";   // --color: auto, always, never
  std::string format = "text";  // --format: text, json, sarif
  bool json = false;
  std::string output;
  // plot, view: the stretch asked for, as chainage values in metres (the line's kilometres).
  std::optional<int64_t> from_chainage, to_chainage;
  // package: the three documents, the kind of installer, the installer program to start from.
  std::string notes, sheet, slowdowns, target = "windows", installer;
  bool werror = false;  // package: a warning refuses the sources too
  bool watch = false;   // view: build the page again whenever a source changes
  int wait_milliseconds = kLockWaitMilliseconds;
  bool help = false;
};

// An option with a value, which `take` checks and keeps; what `take` returns, if anything, is
// what is wrong with the value. `type` names the value where it is missing.
void add_checked(CLI::App& app, const char* name, const char* type,
                 std::function<std::string(const std::string&)> take) {
  app.add_option_function<std::string>(name,
                                       [take](const std::string& value) {
                                         const std::string wrong = take(value);
                                         if (!wrong.empty()) throw CLI::ValidationError(wrong);
                                       })
      ->type_name(type);
}

// The options of each command besides DIR, --line, --train and --help, bound to the fields of
// the command line they set.
void reporting_options(CLI::App& app, Arguments* a) {
  add_checked(app, "--max-warnings", "N", [a](const std::string& value) -> std::string {
    if (value.empty() || value.size() > 9 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
      return "--max-warnings needs a count (0 for all)";
    }
    a->max_warnings = std::stoul(value);
    return "";
  });
  app.add_flag("--werror", a->werror);
}

void check_options(CLI::App& app, Arguments* a) {
  reporting_options(app, a);
  app.add_flag("--no-plan", a->no_plan);
  add_checked(app, "--color", "WHEN", [a](const std::string& value) -> std::string {
    if (value != "auto" && value != "always" && value != "never") {
      return "--color is auto, always or never";
    }
    a->color = value;
    return "";
  });
  add_checked(app, "--format", "FORM", [a](const std::string& value) -> std::string {
    if (value != "text" && value != "json" && value != "sarif") {
      return "--format is text, json or sarif";
    }
    a->format = value;
    return "";
  });
}

void compile_options(CLI::App& app, Arguments* a) {
  check_options(app, a);
  app.add_flag("--force", a->force);
  add_checked(app, "--wait", "S", [a](const std::string& value) -> std::string {
    char* end = nullptr;
    const double seconds = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || *end != '\0' || !(seconds >= 0 && seconds <= 3600)) {
      return "--wait needs a number of seconds from 0 to 3600";
    }
    a->wait_milliseconds = static_cast<int>(seconds * 1000);
    return "";
  });
}

void dump_options(CLI::App& app, Arguments* a) {
  app.add_flag("--json", a->json);
}

void plot_options(CLI::App& app, Arguments* a) {
  app.add_option("-o", a->output)->type_name("FILE");
  const struct {
    const char* name;
    std::optional<int64_t>* chainage;
  } stretch[] = {{"--from", &a->from_chainage}, {"--to", &a->to_chainage}};
  for (const auto& end : stretch) {
    add_checked(app, end.name, "KM", [chainage = end.chainage](const std::string& value) {
      if (value.empty()) return std::string();
      *chainage = kilometre_in_metres(value);
      return *chainage ? std::string() : "'" + value + "' is not a kilometre (37, 37.25 or 37+250)";
    });
  }
}

void view_options(CLI::App& app, Arguments* a) {
  plot_options(app, a);
  app.add_flag("--watch", a->watch);
}

void package_options(CLI::App& app, Arguments* a) {
  reporting_options(app, a);
  app.add_option("-o", a->output)->type_name("OUT");
  app.add_option("--notes", a->notes)->type_name("FILE");
  app.add_option("--sheet", a->sheet)->type_name("FILE");
  app.add_option("--slowdowns", a->slowdowns)->type_name("FILE");
  app.add_option("--target", a->target)->type_name("windows|linux");
  app.add_option("--installer", a->installer)->type_name("PROGRAM");
}

// Parses one command's arguments: DIR, --line, --train, --help, and the options `declare`
// adds. Returns an empty text on success, else what is wrong.
std::string parse(std::vector<std::string> args, void (*declare)(CLI::App&, Arguments*),
                  Arguments* a) {
  CLI::App app;
  app.set_help_flag();  // each command's help is its own text
  // A flag takes no value ("--force=no" is refused); of an option given twice, the last counts.
  app.option_defaults()->disable_flag_override()->multi_option_policy(
      CLI::MultiOptionPolicy::TakeLast);
  app.add_option("DIR", a->directory);
  app.add_option("--line", a->scenario.line_name)->type_name("NAME");
  app.add_option("--train", a->scenario.train_number)->type_name("NUMBER");
  app.add_flag("-h,--help", a->help);
  declare(app, a);
  std::reverse(args.begin(), args.end());  // CLI11 takes the arguments last first
  try {
    app.parse(args);
  } catch (const CLI::ExtrasError&) {
    // Options are matched whole: what is left over is an option this command does not take
    // ("--no", "--js"), or a second directory.
    const std::string extra = app.remaining().front();
    return !extra.empty() && extra[0] == '-' ? "unknown option " + extra : "one directory only";
  } catch (const CLI::ArgumentMismatch& e) {
    // In the words of the rest of the tool: "--line needs a value", "--force takes no value".
    const std::string what = e.what();
    const size_t required = what.find(": 1 required ");
    if (required != std::string::npos) return what.substr(0, required) + " needs a value";
    const size_t override_at = what.find(" was given a disallowed flag override");
    if (override_at != std::string::npos)
      return "--" + what.substr(0, override_at) + " takes no value";
    return what;
  } catch (const CLI::ParseError& e) {
    return e.what();
  }
  if (a->help) return "";
  // The names go into the scenario table as Windows-1252, the simulator's code page; file
  // names keep the platform's own form.
  const struct {
    const char* option;
    const std::string& name;
  } names[] = {{"--line", a->scenario.line_name}, {"--train", a->scenario.train_number}};
  for (const auto& n : names) {
    if (windows_1252_from_utf8(n.name)) continue;
    if (!is_utf8(n.name)) {
      return std::string(n.option) + " \"" + n.name + "\" is not UTF-8 text";
    }
    return std::string(n.option) + " \"" + n.name +
           "\" holds a character that Windows-1252, the code page of the simulator's files, " +
           "cannot represent";
  }
  // Every file name is built from the two names: neither may lead out of DIR or mean anything
  // but a plain file there, on Linux or on Windows.
  const std::string refused = scenario_names_refusal(a->scenario, "--line", "--train");
  if (!refused.empty()) return refused;
  if (a->directory.empty()) return "a directory is needed";
  if (!file_exists(a->directory) || is_regular_file(a->directory)) {
    return a->directory + " is not a directory";
  }
  // Trailing separators go, but not the one of a root ("/", "C:\\").
  while (a->directory.size() > 1 &&
         (a->directory.back() == '/' || a->directory.back() == kPathSeparator) &&
         a->directory[a->directory.size() - 2] != ':') {
    a->directory.pop_back();
  }
  return "";
}

ShownSource shown(const std::string& directory, const std::string& name) {
  const std::string path = path_in(directory, name);
  std::string text;
  read_file(path, &text);
  return ShownSource(path, std::move(text));
}

// Where a problem's row lies, to leave it out: its first and last byte (whole lines).
bool row_span(const Problem& p, const std::string& text, size_t* from, size_t* to) {
  size_t first = p.row_offset != Problem::kNoOffset ? p.row_offset : p.offset;
  size_t last = std::max(p.offset, p.field_offset != Problem::kNoOffset ? p.field_offset : 0);
  if (first == Problem::kNoOffset || first > text.size()) return false;
  last = std::min(std::max(last, first), text.size());
  while (first > 0 && text[first - 1] != '\n' && text[first - 1] != '\r') --first;
  while (last < text.size() && text[last] != '\n' && text[last] != '\r') ++last;
  *from = first;
  *to = last;
  return true;
}

// What tells one problem from another across compilations of the same sources.
std::string problem_key(const Problem& p) {
  return formatted("%d/%d/%zu/%zu/%d", p.code, int(p.source), p.offset, p.field_offset, p.cell);
}

// The problems the compiler never reached: it stops at its first error, so each round leaves
// out the lines of the row it stopped at (blanks in their place, so that every offset and line
// stays where it was) and compiles again in memory, until the sources compile or the stop has
// no row. Bounded: at most 30 rounds, for sources of at most 2 MiB.
std::vector<Diagnostic> further_problems(const Arguments& a, const Compilation& first,
                                         const ShownSource& line, const ShownSource& train,
                                         const std::string& cells_path) {
  std::vector<Diagnostic> found;
  if (first.log.error.code == 0 || line.text().size() + train.text().size() > (size_t(2) << 20)) {
    return found;
  }
  std::set<std::string> seen;
  for (const Problem& p : first.log.problems) seen.insert(problem_key(p));
  CompileOptions options = in_memory_options(a.scenario, line.text(), train.text());
  options.build_plan = !a.no_plan;
  options.keep_rows = true;
  std::string* texts[2] = {&options.line_source_text, &options.train_source_text};
  const Compilation* previous = &first;
  std::unique_ptr<Compilation> round;
  for (int k = 0; k < 30 && previous->log.error.code != 0; ++k) {
    // The row that stopped the reading: the last problem met in a source.
    const Problem* stop = nullptr;
    for (const Problem& p : previous->log.problems) {
      if (p.source == ProblemSource::kLineSource || p.source == ProblemSource::kTrainSource)
        stop = &p;
    }
    if (stop == nullptr) break;
    std::string& text = *texts[stop->source == ProblemSource::kLineSource ? 0 : 1];
    size_t from, to;
    if (!row_span(*stop, text, &from, &to)) break;
    bool changed = false;
    for (size_t i = from; i < to; ++i) {
      if (text[i] != ' ') changed = true;
      text[i] = ' ';
    }
    if (!changed) break;
    auto next = std::make_unique<Compilation>();
    memorizza_percorso(options, next.get());
    for (const Problem& p : next->log.problems) {
      if (!seen.insert(problem_key(p)).second) continue;
      Diagnostic d = problem_diagnostic(*next, p, line, train, cells_path);
      d.past_first_error = true;
      d.notes.insert(d.notes.begin(),
                     "past the first error: the compiler stops before this; it is met once the "
                     "rows at fault before it are mended");
      found.push_back(d);
    }
    round = std::move(next);
    previous = round.get();
  }
  return found;
}

// The options of a compilation of an author's sources, which stay where they are. The rows lead
// problems back to their source lines; a hostile source of millions of rows is compiled
// without them.
CompileOptions author_options(const Arguments& a, const ShownSource& line,
                              const ShownSource& train) {
  CompileOptions options;
  options.directory = a.directory;
  options.scenario = a.scenario;
  options.build_plan = !a.no_plan;
  options.sources = SourceHandling::kKeep;
  options.write_files = false;
  options.keep_rows = line.text().size() + train.text().size() <= (size_t(16) << 20);
  return options;
}

// Whether diagnostics on standard error may be coloured.
bool colour_wanted(const std::string& mode) {
  if (mode == "always") return true;
  if (mode == "never") return false;
  if (std::getenv("NO_COLOR") != nullptr) return false;
#ifdef _WIN32
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD console_mode = 0;
  if (!_isatty(_fileno(stderr)) || !GetConsoleMode(err, &console_mode)) return false;
  return SetConsoleMode(err, console_mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
#else
  const char* term = std::getenv("TERM");
  return isatty(fileno(stderr)) && term != nullptr && std::string(term) != "dumb";
#endif
}

int compile(const Arguments& a, bool write) {
  // Compiling writes: one run at a time in the folder, whatever its scenario, from before the
  // sources are read until the last file is written, so that the files written are those of
  // the sources read, even with the installer or another compile started in the same folder.
  // A compile ended by a signal takes the lock file and its temporary files with it (under
  // their first names; any other, the next run clears away).
  FolderLock lock;
  if (write) {
    const std::vector<std::string> written = {
        line_plan_name(a.scenario), scenario_table_name(a.scenario), track_cells_name(a.scenario)};
    std::vector<std::string> temporaries;
    for (const std::string& name : written) {
      temporaries.push_back(temporary_path_for(path_in(a.directory, name), 0));
    }
    lock.clean_up_on_signals(std::move(temporaries));
    const Status locked = lock.acquire(path_in(a.directory, lock_file_name()), a.wait_milliseconds);
    if (!locked.ok()) return file_fault(locked.message());
    remove_leftover_temporaries(a.directory, written);
  }
  // The sources as they are before the compiler reads them, for the report. Their warnings are
  // kept as the lint gives them: each becomes a diagnostic only when the report is written.
  const ShownSource line = shown(a.directory, line_source_name(a.scenario));
  const ShownSource train = shown(a.directory, train_source_name(a.scenario));
  const std::vector<SourceWarning> line_warnings = lint_line_source(line.text(), !a.no_plan);
  const std::vector<SourceWarning> train_warnings = lint_train_source(train.text());

  // Compiled in memory first: the files are written only from sources that compile cleanly
  // (or when asked to with --force), so broken sources never replace good compiled files.
  const CompileOptions options = author_options(a, line, train);
  Compilation compiled;
  CompileResult result = memorizza_percorso(options, &compiled);
  const int32_t code = compiled.log.error.code;
  // A source that could not be read stops the run before the compiler has a result: it then
  // gives no error code, and the last line says nothing in its name.
  const bool compiler_ran = result.end != CompileEnd::kFileFault;
  const bool refused = a.werror && (!line_warnings.empty() || !train_warnings.empty());
  bool wrote = false;
  if (write && result.end == CompileEnd::kCompleted && !refused && (code == 0 || a.force)) {
    result.status = write_compiled_files(options, compiled.records);
    if (!result.status.ok()) result.end = CompileEnd::kFileFault;
    wrote = result.status.ok();
  }
  const std::string cells_path = path_in(a.directory, track_cells_name(a.scenario));
  const std::vector<Diagnostic> further = further_problems(a, compiled, line, train, cells_path);
  // Every diagnostic in order, made one at a time for `take`: the warnings of each source, the
  // problems the compiler recorded, those past its first error; with --werror, warnings as
  // errors. A million warnings never stand as a million diagnostics at once.
  size_t errors = 0, warnings = 0;
  const auto each_diagnostic = [&](const std::function<void(const Diagnostic&)>& take) {
    const auto give = [&](Diagnostic&& d) {
      if (a.werror && d.level == Diagnostic::Level::kWarning) {
        d.level = Diagnostic::Level::kError;
        d.code = "werror";
        d.message = "(--werror) " + d.message;
      }
      ++(d.level == Diagnostic::Level::kError ? errors : warnings);
      take(d);
    };
    each_warning_diagnostic(line_warnings, line, a.max_warnings, give);
    each_warning_diagnostic(train_warnings, train, a.max_warnings, give);
    for (const Problem& problem : compiled.log.problems) {
      give(problem_diagnostic(compiled, problem, line, train, cells_path));
    }
    for (const Diagnostic& d : further) give(Diagnostic(d));
  };

  // Results on standard output; diagnostics on standard error, or the whole report as JSON or
  // SARIF on standard output.
  std::string results;
  switch (result.end) {
    case CompileEnd::kIntegrityError:
      results += formatted(
          "Errore n. %d: %s; no compiled file written\n", result.integrity_error,
          result.integrity_error == 1250
              ? "the version slot of table entry 85 or of track cell 1 is already taken"
              : "the checksum slot of table entry 85 or of track cell 1 is already taken");
      break;
    case CompileEnd::kFileFault:
      std::fprintf(stderr, "scenario-tool: %s\n", result.status.message().c_str());
      break;
    case CompileEnd::kNothingCompiled:
      results += "nothing compiled: no compiled file written\n";
      break;
    case CompileEnd::kCompleted:
      if (wrote) {
        results += "wrote " +
                   (options.build_plan ? line_plan_name(a.scenario) + ", " : std::string()) +
                   scenario_table_name(a.scenario) + ", " + track_cells_name(a.scenario) + " in " +
                   a.directory + "\n";
      } else if (write) {
        results +=
            "no compiled file written: the sources gave " +
            std::string(refused && code == 0 ? "warnings, and --werror refuses them" : "an error") +
            "; the compiled files already in " + a.directory +
            " are kept (compile --force writes what the installer would)\n";
      } else {
        results += "checked in memory: nothing written\n";
      }
      break;
  }
  if (a.format == "json" || a.format == "sarif") {
    // Written as it is made, straight to standard output.
    const TextSink out = [](const std::string& text) {
      std::fwrite(text.data(), 1, text.size(), stdout);
    };
    const std::unique_ptr<DiagnosticDocument> document =
        a.format == "json" ? json_document(out) : sarif_document(out, kToolVersion);
    each_diagnostic([&document](const Diagnostic& d) { document->add(d); });
    if (result.end == CompileEnd::kFileFault) {
      // The document says what failed, as standard error does.
      Diagnostic fault;
      fault.code = "file";
      fault.message = result.status.message();
      document->add(fault);
    }
    document->finish(compiler_ran ? std::optional<int32_t>(code) : std::nullopt,
                     compiled.log.error.position);
  } else {
    const bool colour = colour_wanted(a.color);
    std::string report;
    each_diagnostic([&](const Diagnostic& d) { report += render_text(d, colour); });
    if (errors + warnings > 0) {
      report += formatted("%zu error%s, %zu warning%s\n", errors, errors == 1 ? "" : "s", warnings,
                          warnings == 1 ? "" : "s");
    }
    std::fputs(report.c_str(), stderr);
    std::fflush(stderr);
    std::fputs(results.c_str(), stdout);
    if (result.end == CompileEnd::kIntegrityError) {
      std::printf("errore=%d\n", result.integrity_error);
    } else if (compiler_ran) {
      // A code that carries no position of its own shows none: its position would be what
      // an earlier problem left.
      bool positioned = false;
      for (const Problem& p : compiled.log.problems) {
        if (p.code == code) positioned = p.positioned;
      }
      if (positioned) {
        std::printf("error code %d (position %d m): %s\n", code, compiled.log.error.position,
                    error_meaning(code));
      } else {
        std::printf("error code %d: %s\n", code, error_meaning(code));
      }
      std::printf("error_code=%d error_position=%d\n", code, compiled.log.error.position);
    }
  }
  if (result.end == CompileEnd::kIntegrityError) return kExitIntegrity;
  if (result.end == CompileEnd::kFileFault) return kExitFileFault;
  return code == 0 && !refused ? kExitClean : kExitSourceError;
}

// Says on standard error when the compiled files look like the output of a stopped compilation.
void warn_of_failed_compilation(const CompiledScenario& compiled, const std::string& directory) {
  for (const std::string& sign : signs_of_failed_compilation(compiled)) {
    std::fprintf(stderr,
                 "scenario-tool: warning: the compiled files in %s show signs of a failed "
                 "compilation: %s; 'scenario-tool check' on their sources shows the error\n",
                 directory.c_str(), sign.c_str());
  }
}

int dump(const Arguments& a) {
  CompiledScenario compiled;
  const Status status = load_compiled(a.directory, a.scenario, &compiled);
  if (!status.ok()) return file_fault(status.message());
  warn_of_failed_compilation(compiled, a.directory);
  if (a.json) {
    // Written as it is made, straight to standard output.
    dump_json(compiled, a.scenario,
              [](const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); });
  } else {
    std::fputs(dump_text(compiled, a.scenario).c_str(), stdout);
  }
  return kExitClean;
}

// A kilometre given on the command line in metres; defined with view's options below.
int plot(const Arguments& a) {
  if (a.output.empty()) return usage_error("plot needs -o FILE.svg");
  CompiledScenario compiled;
  const Status status = load_compiled(a.directory, a.scenario, &compiled);
  if (!status.ok()) return file_fault(status.message());
  PlotStretch stretch;
  const std::string no_stretch = plot_stretch(compiled, a.from_chainage, a.to_chainage, &stretch);
  if (!no_stretch.empty()) return usage_error(no_stretch);
  warn_of_failed_compilation(compiled, a.directory);
  const std::string svg = plot_svg(compiled, a.scenario, stretch);
  if (svg.empty()) return file_fault("no line plan to draw: compile without --no-plan");
  const Status written = replace_file(a.output, svg);
  if (!written.ok()) return file_fault(written.message());
  std::printf("drew %s\n", a.output.c_str());
  return kExitClean;
}

// Builds the route view of the sources in a.directory into a.output; with a stamp, for a page
// that 'view --watch' keeps up to date. Prints the problems as check does, in short.
Status write_view(const Arguments& a, const std::string& stamp) {
  const ShownSource line = shown(a.directory, line_source_name(a.scenario));
  const ShownSource train = shown(a.directory, train_source_name(a.scenario));
  // The view draws the plan, whatever --no-plan says.
  CompileOptions compile_options = author_options(a, line, train);
  compile_options.build_plan = true;
  Compilation compiled;
  CompileResult result = memorizza_percorso(compile_options, &compiled);
  std::vector<ViewProblem> problems;
  if (result.end == CompileEnd::kFileFault) {
    // A page made once fails with its source. A watched one shows why it has nothing to show,
    // and is made again once the source is mended.
    if (stamp.empty()) return result.status;
    compiled = Compilation();
    problems.push_back({"error", "sources", result.status.message(), std::nullopt});
  } else {
    problems = view_problems(compiled, line, train);
  }
  if (result.end == CompileEnd::kIntegrityError) {
    problems.push_back({"error", "compiled output",
                        "Errore n. " + std::to_string(result.integrity_error) +
                            ": a version or checksum slot of table entry 85 or cell 1 is taken",
                        int64_t(50)});
  }
  ViewOptions options;
  options.scenario = a.scenario;
  const Chainage chainage = chainage_of_line(compiled.records.table);
  const auto metres_of = [&chainage](std::optional<int64_t> value) -> std::optional<int64_t> {
    if (!value || chainage.references.empty()) return value;
    return chainage.metres_at(*value);
  };
  options.from_metres = metres_of(a.from_chainage);
  options.to_metres = metres_of(a.to_chainage);
  if (options.from_metres && options.to_metres && *options.from_metres > *options.to_metres) {
    std::swap(options.from_metres, options.to_metres);
  }
  if (!stamp.empty()) {
    options.watch_script = file_name_of(a.output) + ".stamp.js";
    options.watch_stamp = stamp;
  }
  const Status written =
      replace_file(a.output, view_page(compiled, line, train, problems, options));
  if (!written.ok()) return written;
  size_t errors = 0;
  for (const ViewProblem& p : problems) {
    if (p.level == "error") ++errors;
    std::printf("%s: %s: %s\n", p.where.c_str(), p.level.c_str(), p.text.c_str());
  }
  std::printf("wrote %s: %zu error%s, %zu warning%s", a.output.c_str(), errors,
              errors == 1 ? "" : "s", problems.size() - errors,
              problems.size() - errors == 1 ? "" : "s");
  if (result.end == CompileEnd::kFileFault) {
    std::printf("; the sources could not be read\n");
  } else {
    std::printf("; error_code=%d error_position=%d\n", compiled.log.error.code,
                compiled.log.error.position);
  }
  std::fflush(stdout);
  return Status::Ok();
}

// What 'view --watch' compares to tell that a source changed: each source's bytes, or why it
// cannot be read (deleted, a FIFO, grown past the limit), so that a source that becomes
// unreadable, and one mended again, both make the page again.
std::string sources_state(const Arguments& a) {
  std::string state;
  for (const std::string& name : {line_source_name(a.scenario), train_source_name(a.scenario)}) {
    std::string text;
    const Status read = read_file(path_in(a.directory, name), &text);
    state += read.ok() ? "+" + text : "-" + read.message();
    state += '\0';
  }
  return state;
}

int view(const Arguments& a) {
  if (a.output.empty()) return usage_error("view needs -o FILE.html");
  if (!a.watch) {
    const Status status = write_view(a, "");
    return status.ok() ? kExitClean : file_fault(status.message());
  }
  // Watching: the page again, and its stamp beside it, each time a source changes; the page
  // polls the stamp and reloads itself, keeping its place.
  const std::string stamp_path = a.output + ".stamp.js";
  for (long build = 1;; ++build) {
    const std::string seen = sources_state(a);
    const std::string stamp = std::to_string(build);
    Status status = write_view(a, stamp);
    if (status.ok()) {
      status = replace_file(stamp_path,
                            "window.__viewStamp && window.__viewStamp(\"" + stamp + "\");\n");
    }
    // A page that cannot be written at all ends the watch; one that fails later (a full disk, a
    // folder made read-only) is said, and tried again at the next change.
    if (!status.ok() && build == 1) return file_fault(status.message());
    if (!status.ok()) std::fprintf(stderr, "scenario-tool: %s\n", status.message().c_str());
    std::printf("watching %s for changes (Ctrl+C ends)\n", a.directory.c_str());
    std::fflush(stdout);
    do {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    } while (sources_state(a) == seen);
  }
}

// The shipped installer program for `windows` or Linux: given, or beside this tool, or in the
// build tree's app folder next to the tool's folder.
std::string installer_program(const Arguments& a, bool windows) {
  if (!a.installer.empty()) return a.installer;
  const std::string name =
      std::string(kShippedLineName) + "_" + kShippedTrainNumber + (windows ? ".exe" : "");
  std::string tool;
  if (!own_executable_path(&tool).ok()) return name;
  const std::string here = directory_of(tool);
  for (const std::string& candidate :
       {path_in(here, name), path_in(path_in(directory_of(here), "app"), name)}) {
    if (is_regular_file(candidate)) return candidate;
  }
  return path_in(here, name);
}

int package(const Arguments& a) {
  if (a.notes.empty() || a.sheet.empty() || a.slowdowns.empty()) {
    return usage_error("package needs --notes FILE, --sheet FILE and --slowdowns FILE");
  }
  if (a.target != "windows" && a.target != "linux") {
    return usage_error("--target is windows or linux, not " + a.target);
  }
  const bool windows = a.target == "windows";
  const std::string output =
      !a.output.empty()
          ? a.output
          : a.scenario.line_name + "_" + a.scenario.train_number + (windows ? ".exe" : "");
  // Run in the sources' folder, the installer would write its sources over them, then delete
  // them: it never goes there, however that folder is spelt (".", "..", a link, another case).
  // The output's folder must exist to be told apart, as it must to be written at all.
  bool beside_sources = false;
  const Status compared = same_folder(folder_of(output), a.directory, &beside_sources);
  if (!compared.ok()) return file_fault("cannot make " + output + ": " + compared.message());
  if (beside_sources) {
    return usage_error(
        "the installer would lie beside the sources it carries, and running it "
        "there would replace and then delete them: give -o a path in another "
        "folder");
  }

  // Every text in the form the installer writes; a character it cannot hold is refused here.
  ScenarioPayload payload;
  payload.scenario = a.scenario;
  const struct {
    std::string path;
    std::string* written;
  } texts[] = {{path_in(a.directory, line_source_name(a.scenario)), &payload.line_source},
               {path_in(a.directory, train_source_name(a.scenario)), &payload.train_source},
               {a.notes, &payload.notes},
               {a.slowdowns, &payload.slowdown_order},
               {a.sheet, &payload.train_sheet}};
  bool refused = false;
  for (const auto& text : texts) {
    std::string bytes;
    const Status read = read_file(text.path, &bytes);
    if (!read.ok()) return file_fault(read.message());
    TextProblem problem;
    const std::optional<std::string> written = text_as_written(bytes, &problem);
    if (!written) {
      std::fprintf(stderr, "%s:%d:%d: error: %s\n", text.path.c_str(), problem.line, problem.column,
                   problem.message.c_str());
      refused = true;
      continue;
    }
    *text.written = *written;
  }
  if (refused) {
    std::printf("not packaged: a text cannot be written as the installer writes it\n");
    return kExitSourceError;
  }

  // The sources as the installer will write them must compile cleanly.
  const ShownSource line(texts[0].path, payload.line_source);
  const ShownSource train(texts[1].path, payload.train_source);
  const std::vector<SourceWarning> line_warnings = lint_line_source(line.text(), true);
  const std::vector<SourceWarning> train_warnings = lint_train_source(train.text());
  const size_t warnings = line_warnings.size() + train_warnings.size();
  // Diagnostics on standard error, as check and compile give them.
  std::fputs(format_warnings(line_warnings, line, a.max_warnings).c_str(), stderr);
  std::fputs(format_warnings(train_warnings, train, a.max_warnings).c_str(), stderr);
  Compilation compiled;
  const CompileResult result = memorizza_percorso(
      in_memory_options(a.scenario, payload.line_source, payload.train_source), &compiled);
  const ErrorState& error = compiled.log.error;
  for (const Problem& problem : compiled.log.problems) {
    std::fputs(format_problem(compiled, problem, line, train,
                              path_in(a.directory, track_cells_name(a.scenario)))
                   .c_str(),
               stderr);
  }
  if (result.end == CompileEnd::kIntegrityError) {
    std::printf("not packaged: Errore n. %d\nerrore=%d\n", result.integrity_error,
                result.integrity_error);
    return kExitIntegrity;
  }
  if (error.code != 0 || result.end != CompileEnd::kCompleted) {
    std::printf("not packaged: the sources gave error code %d (position %d m): %s\n", error.code,
                error.position, error_meaning(error.code));
    std::printf("error_code=%d error_position=%d\n", error.code, error.position);
    return kExitSourceError;
  }
  if (a.werror && warnings > 0) {
    std::printf("not packaged: %zu warning%s, and --werror makes each an error\n", warnings,
                warnings == 1 ? "" : "s");
    return kExitSourceError;
  }

  std::string installer;
  const Status made = make_installer(installer_program(a, windows), windows, payload, &installer);
  if (!made.ok()) return file_fault(made.message());
  const Status written = replace_file(output, installer);
  if (!written.ok()) return file_fault(written.message());
  if (!windows) {
    const Status executable = make_executable(output);
    if (!executable.ok()) return file_fault(executable.message());
  }
  std::printf("made %s: the %s installer of %s %s\n", output.c_str(), windows ? "Windows" : "Linux",
              a.scenario.line_name.c_str(), a.scenario.train_number.c_str());
  return kExitClean;
}

int compile_command(const Arguments& a) {
  return compile(a, true);
}
int check_command(const Arguments& a) {
  return compile(a, false);
}

// The commands: each its name, what it does in a line, what declares the options it takes besides
// DIR, --line, --train and --help, its own help, and what runs it.
struct Command {
  const char* name;
  const char* summary;
  void (*options)(CLI::App& app, Arguments* a);
  const char* help;
  int (*run)(const Arguments& a);
};
const Command kCommands[] = {
    {"compile", "compile the sources in DIR and write the compiled files there", compile_options,
     kCompileHelp, compile_command},
    {"check", "the same, in memory only: nothing is written or deleted", check_options,
     kCompileHelp, check_command},
    {"dump", "show the compiled files in DIR for people, or as JSON", dump_options, kDumpHelp,
     dump},
    {"plot", "draw the compiled line as an SVG picture", plot_options, kPlotHelp, plot},
    {"view", "an interactive page of the line, made from the sources; --watch keeps it up to date",
     view_options, kViewHelp, view},
    {"package", "make an installer of your scenario for its drivers, like the shipped one",
     package_options, kPackageHelp, package},
};

const Command* command_named(const std::string& name) {
  for (const Command& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

// "; did you mean 'compile'?" for a name a letter or two away from a command's.
std::string nearest_command(const std::string& name) {
  const Command* best = nullptr;
  size_t distance = 3;
  for (const Command& command : kCommands) {
    const size_t d = edit_distance(name, command.name);
    if (d < distance) {
      distance = d;
      best = &command;
    }
  }
  return best == nullptr ? "" : std::string("; did you mean '") + best->name + "'?";
}

int help(const std::vector<std::string>& args) {
  const std::string topic = args.empty() ? "" : args[0];
  if (const Command* command = command_named(topic)) {
    std::fputs(command->help, stdout);
  } else if (topic == "format") {
    std::fputs(kSourceFormatPage, stdout);
  } else if (topic.empty()) {
    std::string commands;
    for (const Command& command : kCommands) {
      commands += formatted("  %-8s %s\n", command.name, command.summary);
    }
    std::string text = kHelp;
    text.replace(text.find("%s"), 2, commands);
    std::fputs(text.c_str(), stdout);
    std::fputs("\n", stdout);
    std::fputs(kUsage, stdout);
  } else {
    return usage_error("no help on " + topic + nearest_command(topic));
  }
  return kExitClean;
}

}  // namespace

int run(const std::vector<std::string>& args) {
  if (args.empty()) return usage_error("no command");
  const std::string& name = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (name == "--version") {
    std::printf("scenario-tool %s\n", kToolVersion);
    return kExitClean;
  }
  if (name == "--help" || name == "-h" || name == "help") return help(rest);
  if (const Command* command = command_named(name)) {
    Arguments a;
    const std::string wrong = parse(rest, command->options, &a);
    if (!wrong.empty()) return usage_error(wrong);
    if (a.help) {
      std::fputs(command->help, stdout);
      return kExitClean;
    }
    return command->run(a);
  }
  return usage_error("unknown command " + name + nearest_command(name));
}

namespace {

// Says in one line that memory ran out and what the command in `args` was doing, for the exit
// status that says so.
// By then the stack has unwound: a file being written is as it was, its temporary file removed,
// and the folder's lock released.
int out_of_memory(const std::vector<std::string>& args) {
  static const struct {
    const char* command;
    const char* doing;
  } kDoing[] = {{"compile", "compiling"},
                {"check", "checking the sources"},
                {"dump", "showing the compiled files"},
                {"plot", "drawing the line"},
                {"view", "writing the route view"},
                {"package", "making the installer"}};
  const char* doing = "reading the command line";
  for (const auto& d : kDoing) {
    if (!args.empty() && args[0] == d.command) doing = d.doing;
  }
  std::fflush(stdout);
  std::fprintf(stderr, "scenario-tool: out of memory while %s\n", doing);
  return kExitOutOfMemory;
}

}  // namespace

#ifdef _WIN32
// Windows hands the command line over in UTF-16, whatever the code page: names and folders
// outside it arrive whole. The tool's texts are UTF-8, and so is what it prints to a console.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  try {
    for (int i = 1; i < argc; ++i) args.push_back(from_wide(argv[i]));
    SetConsoleOutputCP(CP_UTF8);
    report_oversized_writes_as_failures();
    return run(args);
  } catch (const std::bad_alloc&) {
    return out_of_memory(args);
  }
}
#else
int main(int argc, char** argv) {
  std::vector<std::string> args;
  try {
    args.assign(argv + 1, argv + argc);
    report_oversized_writes_as_failures();
    return run(args);
  } catch (const std::bad_alloc&) {
    return out_of_memory(args);
  }
}
#endif
