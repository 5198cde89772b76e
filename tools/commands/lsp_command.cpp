#include "tools/commands/lsp_command.h"

#include <chrono>

#include "tools/commands/exit_status.h"
#include "tools/language/translation.h"
#include "tools/lsp/lsp_server.h"
#include "tools/main/command_table.h"
#include "tools/render/console.h"

const char kLspHelp[] = tr_mark(
    "\n"
    "A language server for editors (Language Server Protocol, JSON-RPC over standard input and\n"
    "output): an editor starts it and talks to it; nothing is printed for people. A document\n"
    "named <line>_linea.txt or <line>_<train>-.txt is a source; both sources of its scenario\n"
    "(the other one from the editor when open there, else from its folder) are checked in memory\n"
    "as check does, while you type, and the problems of both are shown where they lie, their\n"
    "repairs as quick fixes. Hover a field for its meaning, units and limits and what the\n"
    "compiler made of it; completion of keywords with the fields to fill; the outline of\n"
    "stations, tunnels, signals, slowdowns and curves. Nothing is written. Its texts are in the\n"
    "language the command line chooses, else the editor's (the locale it sends), else the\n"
    "environment's.\n"
    "  --stdio   taken and passed over: standard input and output are always the channel\n"
    "Exit status: 0 after the editor's shutdown and exit; 1 when the stream ended or broke\n"
    "before them; 5 when memory ran out (the editor is told, and what it asked is answered).\n");

std::vector<std::string> lsp_usage_words() {
  return {"[--stdio]"};
}

int lsp(const std::vector<std::string>& args, const Command& command, bool (*)()) {
  for (const std::string& arg : args) {
    if (arg == "-h" || arg == "--help") {
      write_output(Stream::kOut, command_help(command));
      return kExitClean;
    }
    if (arg != "--stdio") return usage_error(tr("lsp takes no {1}", {arg}));
  }
  binary_standard_streams();
  // A change is checked once the typing has paused this long.
  constexpr std::chrono::milliseconds kDebounce(150);
  return serve_lsp(
      read_standard_input,
      [](const std::string& bytes) {
        write_output(Stream::kOut, bytes);
        flush_output(Stream::kOut);
      },
      kDebounce);
}
