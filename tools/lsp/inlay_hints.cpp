#include "tools/lsp/inlay_hints.h"

#include <string>

#include "tools/analysis/words.h"
#include "tools/lsp/row_words.h"

using nlohmann::json;

void InlayHintSettings::take(const json& given) {
  if (!given.is_object()) return;
  // Visual Studio Code sends its settings under the extension's section.
  const auto section = given.find("scenarioSources");
  const json& settings = section != given.end() && section->is_object() ? *section : given;
  const auto hints = settings.find("inlayHints");
  if (hints == settings.end() || !hints->is_object()) return;
  const auto set = [&hints](const char* name, bool* value) {
    const auto found = hints->find(name);
    if (found != hints->end() && found->is_boolean()) *value = found->get<bool>();
  };
  set("kilometres", &kilometres);
  set("radius", &radius);
  set("fieldNames", &field_names);
}

namespace {

// Whether the value `k` of `row` is a place on the line: a position, a start, an end.
bool is_place(const RowGrammar& row, int k) {
  if (k >= row.numbers) return false;
  const std::string name = row.names[k];
  for (const char* tail : {"position", "start", "end"}) {
    const std::string t = tail;
    if (name.size() >= t.size() && name.compare(name.size() - t.size(), t.size(), t) == 0)
      return true;
  }
  return false;
}

}  // namespace

json inlay_hints(const FeatureDocument& document, size_t from, size_t to,
                 const InlayHintSettings& settings) {
  json hints = json::array();
  const RowIndex& rows = document.rows;
  const auto hint = [&](size_t at, const std::string& label, int kind, bool before) {
    if (at < from || at > to) return;
    json h = {{"position", document.position(at)}, {"label", label}};
    if (kind != 0) h["kind"] = kind;
    h[before ? "paddingRight" : "paddingLeft"] = true;
    hints.push_back(std::move(h));
  };
  // The rows that reach into the range: from the last that begins at or before it.
  const IndexedRow* first = rows.row_before(from);
  size_t r = first == nullptr ? 0 : size_t(first - rows.rows.data());
  for (; r < rows.rows.size() && rows.rows[r].keyword_from <= to; ++r) {
    const IndexedRow& row = rows.rows[r];
    const RowGrammar& grammar = *row.grammar;
    if (settings.radius && grammar.id == RowId::kCurve) {
      const std::string field =
          document.text.bytes().substr(row.keyword_from, row.keyword_to - row.keyword_from);
      if (const auto radius = curve_radius(field))
        hint(row.keyword_to, curve_radius_text(*radius), 0, false);
    }
    const bool named = settings.field_names && grammar.values_count() >= kLongRowValues;
    for (size_t k = 0; k < row.value_count; ++k) {
      const IndexedValue& value = *rows.value(row, k);
      if (named) hint(value.from, short_value_name(grammar, int(k)) + ":", 2, true);
      if (settings.kilometres && document.table != nullptr && is_place(grammar, int(k)) &&
          value.read()) {
        const std::string km = chainage_text(*document.table, *value.read());
        if (!km.empty()) hint(value.to, km, 1, false);
      }
    }
  }
  return hints;
}
