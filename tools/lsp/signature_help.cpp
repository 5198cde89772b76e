#include "tools/lsp/signature_help.h"

#include <string>

#include "tools/language/translation.h"
#include "tools/lsp/row_words.h"

using nlohmann::json;

json signature_help(const FeatureDocument& document, size_t offset) {
  const RowIndex& rows = document.rows;
  const IndexedRow* row = rows.row_before(offset);
  if (row == nullptr || offset <= row->keyword_to) return nullptr;
  const RowGrammar& grammar = *row->grammar;
  // The value under the position; else, between values, the next one: the first that ends
  // before the position is behind it.
  size_t active = 0;
  if (const IndexedValue* value = rows.value_at(*row, offset)) {
    active = value->k;
  } else {
    while (active < row->value_count && rows.value(*row, active)->to < offset) ++active;
  }
  if (active >= size_t(grammar.values_count())) return nullptr;
  // The keyword as written first, then each value's name: the parameters are their places in
  // the label, for one name may hold another ("gradient position", "gradient").
  const std::string spellings = grammar.spellings;
  std::string label = spellings.substr(0, spellings.find('|'));
  json parameters = json::array();
  for (int v = 0; v < grammar.values_count(); ++v) {
    label += ", ";
    const size_t from = label.size();
    label += tr(grammar.names[v]);
    std::string said = units_of(grammar.names[v]);
    const std::string use = value_use(grammar, v);
    if (!use.empty()) said += (said.empty() ? "" : "; ") + use;
    json parameter = {{"label", {from, label.size()}}};
    if (!said.empty()) parameter["documentation"] = said;
    parameters.push_back(parameter);
  }
  std::string documentation = row_meaning(grammar);
  if (grammar.id == RowId::kCurve) {
    const std::string field =
        document.text.bytes().substr(row->keyword_from, row->keyword_to - row->keyword_from);
    if (const auto radius = curve_radius(field)) {
      // TRANSLATORS: {1} is a curve's radius and side ("radius 1000 m to the right").
      documentation += "\n\n" + tr("This one: {1}.", {curve_radius_text(*radius)});
    }
  }
  return {{"signatures",
           {{{"label", label},
             {"documentation", documentation},
             {"parameters", parameters},
             {"activeParameter", active}}}},
          {"activeSignature", 0},
          {"activeParameter", active}};
}
