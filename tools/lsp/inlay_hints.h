// textDocument/inlayHint: beside each place on the line its kilometre, beside a curve's keyword
// its radius, and on long rows (a station's 17 values) each value's name before it. Each kind is
// switched by a setting.
#pragma once

#include <nlohmann/json.hpp>

#include "tools/lsp/feature_document.h"

struct InlayHintSettings {
  bool kilometres = true;
  bool radius = true;
  bool field_names = true;

  // Takes what `settings` says: {"inlayHints": {"kilometres": false, ...}}; what it does not say
  // is left as it is.
  void take(const nlohmann::json& settings);
};

// A row with this many values or more gets the names of its values.
constexpr int kLongRowValues = 6;

// The hints whose places lie from `from` to `to` (bytes of the document).
nlohmann::json inlay_hints(const FeatureDocument& document, size_t from, size_t to,
                           const InlayHintSettings& settings);
