// What the editor's features (signature help, inlay hints, completion) read of a document: its
// text, its rows as the compiler's walk reads them, and the scenario table of the last check.
#pragma once

#include <nlohmann/json.hpp>

#include "compiler/records.h"
#include "tools/analysis/row_index.h"
#include "tools/lsp/lsp_text.h"

struct FeatureDocument {
  const SourceText& text;
  const RowIndex& rows;
  bool line_source;            // the line source, else a train source
  const ScenarioTable* table;  // the last check's (its chainage references), or null
  PositionUnits units;         // the editor's

  // A position of the protocol for the byte at `offset`.
  nlohmann::json position(size_t offset) const {
    const TextPosition p = text.position_of_byte(offset, units);
    return {{"line", p.line}, {"character", p.character}};
  }
};
