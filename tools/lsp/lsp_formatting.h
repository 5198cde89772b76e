// The editor's "format document" (textDocument/formatting): the layout 'scenario-tool format'
// writes, as edits of the document.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "common/scenario_identity.h"
#include "tools/lsp/lsp_text.h"

// The edits that lay out the source at `path`, one of the scenario's two `paths` (the line
// source, the train source): each line the layout changes, replaced whole, with positions in
// `units`. Each source is taken from `open_text` (the editor's text of a path, or null when it
// is not open), else from the disk. A line holding a character Windows-1252 cannot represent is
// left as it is, so that the character is not lost.
nlohmann::json formatting_edits(
    const ScenarioIdentity& identity, const std::string (&paths)[2], const std::string& path,
    PositionUnits units, const std::function<const SourceText*(const std::string&)>& open_text);
