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
#include "tools/analysis/analysis.h"
#include "tools/analysis/diagnostics.h"

struct ViewOptions {
  // The scenario shown: the page's title.
  ScenarioIdentity scenario;
  // The range of the line shown first, in metres; the whole line when not given.
  std::optional<int64_t> from_metres;
  std::optional<int64_t> to_metres;
  // The sources' absolute paths, and the pattern of a link that opens a source in an editor:
  // {path} stands for the path (as a URL path, '/' first) and {line} for the line.
  std::string line_path;
  std::string train_path;
  std::string editor_url = "vscode://file{path}:{line}";
  // For 'view --watch': the script the page polls beside itself, and this build's stamp.
  std::string watch_script;
  std::string watch_stamp;
};

// What the analysis found, as the page lists it: as many warnings of each kind as check shows,
// then every problem, each with its place on the line where it has one.
std::vector<Diagnostic> view_problems(const Analysis& analysis);

// The page of an analysis made with the plan built. The page lists `problems` by their file name
// and line (or their cell), level and message.
std::string view_page(const Analysis& analysis, const std::vector<Diagnostic>& problems,
                      const ViewOptions& options);

// The English of every text for people the page's template and script give ("{{...}}",
// t("...")), each marked for the catalogue: what the page can show in another language.
std::vector<std::string> view_page_texts();
