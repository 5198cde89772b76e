// textDocument/signatureHelp: on any row, the row's values as the parameters of its keyword,
// the one under the position active, each with its units and limits.
#pragma once

#include <nlohmann/json.hpp>

#include "tools/lsp/feature_document.h"

// The signature of the row that the position `offset` is in or after, while values of it are
// still to come; null elsewhere (on a keyword, past a row's last value, outside the rows).
nlohmann::json signature_help(const FeatureDocument& document, size_t offset);
