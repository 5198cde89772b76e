#include "tools/main/help_texts.h"

#include "tools/language/translation.h"

// The prose of each help; the usage lines above it are made from the options' declarations.

const char kOverviewHelp[] = tr_mark(
    "scenario-tool compiles a scenario's two text sources into the three files the simulator\n"
    "loads, with the installer's own compiler, and shows what came of them.\n"
    "\n"
    "commands:\n"
    "{1}"
    "  help     this text, or a command's own: scenario-tool help compile; or the source\n"
    "           format, every row and field with its limits: scenario-tool help format\n"
    "\n"
    "The sources are <line>_linea.txt and <line>_<train>-.txt; the compiled files are\n"
    "<line>_linea.dat (line plan), <line>_<train>.sim (scenario table) and <line>_<train>.dat\n"
    "(track cells). Every command but extract takes --line NAME (default Viterbo_Attigliano)\n"
    "and --train NUMBER (default 7545; init needs both); a name left out is the folder's when\n"
    "DIR holds one line source and one train source of that line. Every command exits with\n"
    "status 5 when memory runs out, saying while doing what; a file it was writing then stays\n"
    "as it was.\n"
    "--lang=it or --lang=en, anywhere on the command line, chooses the language of what the\n"
    "tool says; without it, the system's (LANGUAGE, LC_ALL, LC_MESSAGES, LANG; on Windows the\n"
    "display language), else English.\n");

const char kCompileHelp[] = tr_mark(
    "\n"
    "Compiles <line>_linea.txt and <line>_<train>-.txt in DIR. When they compile with error\n"
    "code 0, compile writes <line>_linea.dat, <line>_<train>.sim and <line>_<train>.dat into\n"
    "DIR; otherwise it writes nothing and the compiled files already there stay.\n"
    "check writes nothing (but with --fix). The sources stay.\n"
    "  --no-plan          do not build (or write) the line plan\n"
    "  --fix              check: apply the sure repairs (the help: lines) to the sources, each\n"
    "                     source's only when the repaired sources check in memory with no new\n"
    "                     error; the old source is kept as <name>.orig, or by a later --fix\n"
    "                     as <name>.orig.2, .orig.3, ... (no backup is ever replaced); a\n"
    "                     source that is read-only or a symbolic link is left as it is\n"
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
    "(km CHAINAGE), with the source line and a caret under the field, and its repair when\n"
    "one is sure (help: and the line as repaired); problems of the signal-cell rules name\n"
    "the cell and the objects around it. Warnings, for what compiles but is rarely meant (a\n"
    "misspelt keyword, rows out of order, overlaps, a station without its name), have the\n"
    "same shape and never change what is compiled. Of a long source line, 60 characters\n"
    "either side of the column are shown, with \"...\" where it is cut.\n"
    "The compiler stops at its first error; the problems it never reached are listed after it,\n"
    "each marked past the first error, then a count of errors and warnings. Diagnostics go to\n"
    "standard error, results to standard output.\n"
    "\n"
    "The last line is, for scripts, 'error_code=N error_position=P', or 'errore=N' when the\n"
    "compiled output failed its integrity check (1250, 1251).\n"
    "Exit status: 0 error code 0; 1 bad usage; 2 the sources gave an error code (nothing\n"
    "written unless --force); 3 integrity check failed, nothing written; 4 a source could not\n"
    "be read or a compiled file written, or another run kept working on the same line in DIR.\n");

const char kViewHelp[] = tr_mark(
    "\n"
    "Compiles the sources in DIR in memory (nothing is written there) and makes FILE.html, one\n"
    "page that opens from disk in any current browser, with nothing fetched: the plan of the\n"
    "line with its stations, curves, tunnels, boards, signals and slowdowns and the line's end;\n"
    "under it the gradient, line speed and adhesion and a lane for each kind of object, on one\n"
    "chainage axis; every object's values and source line on hover or click; the problems with\n"
    "their notes (click one to go to its row), and a banner when the compilation stopped; a\n"
    "search box (a station, 37+250, metres, file:line, signal 3); and the timetable against the\n"
    "least running time at the line speed. Wheel or +/- zooms, drag or the arrows pan, Home\n"
    "shows the whole line. The problems go to standard error too, as check reports them.\n"
    "  -o FILE.html        the page to write\n"
    "  --from KM, --to KM  show that stretch first, in the line's own kilometres (37.5 or\n"
    "                      37+500); without chainage references, kilometres from the start\n"
    "  --no-plan           check as check --no-plan does: no plan built (a curve row's numbers\n"
    "                      are passed over), the line drawn straight\n"
    "  --watch             make the page again each time a source is saved, and list the\n"
    "                      problems again; the open page reloads itself and keeps its place\n"
    "  --editor-url PATTERN  the links of each file:line: {path} the source's absolute path,\n"
    "                      {line} its line (vscode://file{path}:{line} unless given)\n"
    "Exit status: 0 page written; 1 bad usage; 4 a file could not be read or written.\n");

const char kPackageHelp[] = tr_mark(
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
    "  --max-warnings N     show at most N warnings of each kind, as check does (default 20;\n"
    "                       0 shows all)\n"
    "  --color=WHEN         colour the diagnostics: auto (on a terminal), always, never\n"
    "  --format=FORM        text (default), or json or sarif (SARIF 2.1.0): every diagnostic,\n"
    "                       a refused text's included, in one document on standard output,\n"
    "                       which then holds nothing else\n"
    "Exit status: 0 installer made; 1 bad usage; 2 the sources or a text were refused;\n"
    "3 integrity check failed; 4 a file could not be read or written.\n");

const char kExtractHelp[] = tr_mark(
    "\n"
    "Writes into DIR the two sources and the three documents that INSTALLER carries, byte for\n"
    "byte as it would write them (Windows-1252, CR LF), under its scenario's names: the built-in\n"
    "texts of the shipped installer program (Linux or Windows), or the scenario a packaged\n"
    "installer carries. Nothing is compiled, deleted or run. Any other file is refused, and so\n"
    "is an installer whose appended scenario is damaged, for the reason the installer itself\n"
    "would give; nothing is then written. DIR is made when only its last folder is missing.\n"
    "  -o DIR   the folder to write into\n"
    "  --force  replace files of the same names already in DIR (without it, nothing is\n"
    "           written when one is there)\n"
    "Exit status: 0 written; 1 bad usage; 4 a file could not be read or written, INSTALLER is\n"
    "no installer or is damaged, a file is already in DIR, or another run kept working there.\n");

const char kInitHelp[] = tr_mark(
    "\n"
    "Writes into DIR a small starter scenario under your names: the line source, the train\n"
    "source (a 10 km line with a few rows of every kind: curves, gradients, tunnels, speed\n"
    "boards, signboards, stations, speed limits, adhesion, a slowdown, signals, a speed\n"
    "restriction point) and the three documents, which checks with no warning, compiles and\n"
    "packages as it is. DIR is made when only its last folder is missing.\n"
    "  --line NAME, --train NUMBER  the scenario's names (both needed)\n"
    "  --force                      replace files of the same names already in DIR (without\n"
    "                               it, nothing is written when one is there)\n"
    "Exit status: 0 written; 1 bad usage; 4 a file could not be written, a file is already in\n"
    "DIR, or another run kept working there.\n");

const char kDumpHelp[] = tr_mark(
    "\n"
    "Reads the three compiled files in DIR back and shows them: the scenario table by role\n"
    "(stations with their times, signboard texts, chainage references, route, line and train\n"
    "settings, version word and checksum, and whether the checksums match), the track cells\n"
    "that hold anything, and runs of the gradient, speed, adhesion and tunnel fields.\n"
    "  --json  the same as JSON, for scripts\n"
    "Exit status: 0 shown; 1 bad usage; 4 a file is missing, cut short or not of its kind.\n");

const char kPlotHelp[] = tr_mark(
    "\n"
    "Draws the compiled line in DIR as one SVG picture: the plan view from the line plan (north\n"
    "up, with km marks, stations, tunnels, signals and slowdowns), and below it, along the line,\n"
    "the gradient profile, the line speed, the stations, signals, slowdowns and speed\n"
    "restriction points.\n"
    "  -o FILE.svg         the picture to write\n"
    "  --from KM, --to KM  draw only that stretch, in the line's own kilometres (37, 37.25 or\n"
    "                      37+250); without chainage references, kilometres from the start\n"
    "Exit status: 0 drawn; 1 bad usage; 4 a file is missing, cut short or not of its kind, or\n"
    "there is no line plan.\n");

std::string usage_line(const char* lead, const char* command,
                       const std::vector<std::string>& words) {
  // Lines of at most 92 characters; a word that does not fit begins the next line, under the
  // first word after DIR.
  constexpr size_t kWidth = 92;
  std::string text = std::string(lead) + "scenario-tool " + command;
  size_t line_start = 0;
  const size_t indent = text.size() + 1 + (words.empty() ? 0 : words[0].size() + 1);
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (i > 0 && text.size() - line_start + 1 + word.size() > kWidth) {
      text += "\n";
      line_start = text.size();
      text += std::string(indent, ' ');
    } else {
      text += ' ';
    }
    text += word;
  }
  return text + "\n";
}

const char kDecompileHelp[] = tr_mark(
    "\n"
    "Reads the three compiled files of the scenario in DIR (<line>_linea.dat, <line>_<train>.sim,\n"
    "<line>_<train>.dat) and writes the two sources that compile to them into OUT, in the\n"
    "shipped sources' layout: every row the files say enough about, among them the curves\n"
    "from the line plan and the 'abbattimento' points the source had (not those the rules\n"
    "placed). The sources are compiled again in memory and the result compared byte for byte.\n"
    "Without a line plan (compiled with the plan off) the curves cannot be known: the rest is.\n"
    "  --line NAME, --train NUMBER  the scenario (default: the shipped one)\n"
    "  -o OUT                       the folder the sources go to (needed; made when only its\n"
    "                               last folder is missing)\n"
    "  --force                      replace sources of the same names already in OUT\n"
    "Exit status: 0 written, and they compile to the same bytes; 6 written, but no source that\n"
    "this tool writes gives these files back (files of a compilation that stopped on an error,\n"
    "for one): each cell, table entry or run of plan points that would differ is listed;\n"
    "1 bad usage; 4 a file could not be read or written, or a source is already in OUT.\n");

const char kDiffHelp[] = tr_mark(
    "\n"
    "Compares two compiled scenarios by what their rows mean (the rows decompile recovers):\n"
    "stations moved, renamed or retimed; speed limits, gradients and adhesion changed, over\n"
    "which kilometres; signals, speed boards, signboards, slowdowns, tunnels, curves and\n"
    "'abbattimento' points added, removed or changed; the train's and the general section's\n"
    "values. A and B are folders holding the compiled files (the scenario named by --line and\n"
    "--train, or the only one there) or installers (their scenario compiled in memory). Where\n"
    "a folder also holds the sources, each change names its source lines.\n"
    "  --line NAME, --train NUMBER  the scenario in the folders (default: the shipped one, or\n"
    "                               the only one a folder holds)\n"
    "  --format=text|json           the report for people, or a JSON array of the changes\n"
    "Exit status: 0 no difference; 1 they differ; 2 bad usage, or a file could not be read.\n");

const char kFormatHelp[] = tr_mark(
    "\n"
    "Lays the two sources in DIR out as decompile writes them: each block of rows (the rows\n"
    "between two lines that hold no row) with the keyword, a comma and each value right-aligned\n"
    "in its column, blanks between them, the clock's numbers after blanks. Keywords, values,\n"
    "texts, section headers, every line that holds no row whole (a comment, a row spread over\n"
    "lines), the order of everything and each line's end stay as they were: what the sources\n"
    "compile to never changes (both are compiled in memory, before and after, to make sure).\n"
    "A source with an error is laid out only up to the row where the reading stops; the rest\n"
    "stays as it was, and the command says where. A source that changes is replaced whole, its\n"
    "old bytes kept first as <name>.orig (.orig.2, ... after that, as check's repairs keep\n"
    "them), under the folder's lock; a source that is read-only or a symbolic link is left as\n"
    "it is.\n"
    "(The source format itself: scenario-tool help format.)\n"
    "  --check   change nothing: name the sources that formatting would change, for CI\n"
    "Exit status: 0 done (with --check: nothing would change); 1 bad usage, or with --check a\n"
    "source would change; 2 a source has an error, laid out only up to it; 4 a source could\n"
    "not be read or written, or another run kept working in DIR.\n");
