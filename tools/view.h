// The route view: one self-contained HTML page (no network, nothing fetched) that shows an
// author's scenario as compiled from its sources: the plan with its stations, tunnels, boards,
// signals and slowdowns; the gradient, speed and adhesion profiles and a lane for each kind of
// object on one chainage axis that follows the zoom; every object's values and source line;
// the problems; and the timetable against the least running time at the line speed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compiler/scenario_compiler.h"
#include "tools/diagnostics.h"

// A problem as the page lists it.
struct ViewProblem {
  std::string level;  // "error" or "warning"
  std::string where;  // file:line:column, or the file, or the cell
  std::string text;
  std::optional<int64_t> metres;  // where on the line, when it has a place
};

struct ViewOptions {
  // The scenario shown: the page's title.
  ScenarioIdentity scenario;
  // The range of the line shown first, in metres; the whole line when not given.
  std::optional<int64_t> from_metres;
  std::optional<int64_t> to_metres;
  // For 'view --watch': the script the page polls beside itself, and this build's stamp.
  std::string watch_script;
  std::string watch_stamp;
};

// The problems of a compilation and the warnings of its sources, as the page lists them.
std::vector<ViewProblem> view_problems(const Compilation& compiled, const ShownSource& line_source,
                                       const ShownSource& train_source);

// The page. `compiled` holds the two sources with keep_rows set and the plan built.
std::string view_page(const Compilation& compiled, const ShownSource& line_source,
                      const ShownSource& train_source, const std::vector<ViewProblem>& problems,
                      const ViewOptions& options);
