// What scenario-tool says about a compilation: each problem the compiler recorded and each
// warning, in the shape compilers use,
//
//   <file>:<line>:<column>: error <code>: <meaning>, at <metres> m (km <chainage>)
//       <the source line>
//       <a caret under the field>
//
// Problems of the signal-cell rules, which have no source line, name the cell and the objects
// around it instead.
#pragma once

#include <string>
#include <vector>

#include "compiler/scenario_compiler.h"
#include "tools/source_lint.h"

// A source as the tool read it: its path as shown, and its bytes (empty when missing).
struct ShownSource {
  std::string path;
  std::string text;
};

struct LineAndColumn {
  int line;    // from 1
  int column;  // from 1, in characters (one byte each)
};

// Line and column of the byte at `offset`; CR LF, lone LF and lone CR each end a line.
LineAndColumn locate(const std::string& text, size_t offset);

// The meaning of a problem in plain words, with what it met where it says so.
std::string problem_meaning(const ScenarioCompiler& compiler, const Problem& problem);

// The full report of one problem: its line and the source line with a caret, or the cells
// around it.
std::string format_problem(const ScenarioCompiler& compiler, const Problem& problem,
                           const ShownSource& line_source, const ShownSource& train_source,
                           const std::string& cells_path);

std::string format_warning(const SourceWarning& warning, const ShownSource& source);
