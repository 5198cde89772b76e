// textDocument/completion: at the start of a line the section headers and every keyword of the
// part of the source the position is in, each with its documentation (the keywords of the
// section's own rows first); inside a row, the value that comes there, the rest of the row after
// it.
#pragma once

#include <nlohmann/json.hpp>

#include "tools/lsp/feature_document.h"

nlohmann::json completion_items(const FeatureDocument& document, size_t offset);
