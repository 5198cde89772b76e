#include "tools/lsp/completion.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

#include "tools/language/translation.h"
#include "tools/lsp/row_words.h"

using nlohmann::json;

namespace {

// The protocol's kinds of items.
constexpr int kField = 5;
constexpr int kKeyword = 14;
constexpr int kModule = 9;

json markdown(const std::string& text) {
  return {{"kind", "markdown"}, {"value", text}};
}

// Where a section header typed up to `offset` would begin: blanks alone before it on its line,
// then perhaps a '[' and the letters of a header begun. Nothing when other text stands there.
std::optional<size_t> header_start(const SourceText& text, size_t offset) {
  const std::string& bytes = text.bytes();
  size_t start = offset;
  while (start > 0 &&
         (std::isalpha(static_cast<unsigned char>(bytes[start - 1])) || bytes[start - 1] == '_')) {
    --start;
  }
  if (start > 0 && bytes[start - 1] == '[') --start;
  const size_t line = text.position_of_byte(offset, PositionUnits::kUtf32).line;
  for (size_t at = text.line_start(line); at < start; ++at) {
    if (bytes[at] != ' ' && bytes[at] != '\t') return std::nullopt;
  }
  return start;
}

}  // namespace

json completion_items(const FeatureDocument& document, size_t offset) {
  json items = json::array();
  const SourceText& text = document.text;
  const RowIndex& rows = document.rows;
  // The row the position is in or after: its next value comes here unless every value of it is
  // already behind the position.
  const IndexedRow* row = rows.row_before(offset);
  size_t next = 0;
  if (row != nullptr && offset > row->keyword_to) {
    while (next < row->value_count && rows.value(*row, next)->to < offset) ++next;
  }
  if (row != nullptr && offset > row->keyword_to && next < size_t(row->grammar->values_count())) {
    // The value at this field and those after it, in the order they come.
    const RowGrammar& grammar = *row->grammar;
    std::string snippet;
    for (int v = int(next), n = 1; v < grammar.values_count(); ++v, ++n) {
      snippet += (n == 1 ? " ${" : ", ${") + std::to_string(n) + ":" + tr(grammar.names[v]) + "}";
    }
    const std::string name = grammar.names[next];
    json item = {{"label", tr(name.c_str())},
                 {"kind", kField},
                 {"detail", units_of(name)},
                 {"insertText", snippet},
                 {"insertTextFormat", 2}};
    const std::string use = value_use(grammar, int(next));
    if (!use.empty()) item["documentation"] = markdown(markdown_escaped(use));
    items.push_back(item);
    return items;
  }
  // Each keyword of the part, with its row to fill; those the section holds sort first.
  const SectionHeader* section = section_at(text, offset, document.line_source);
  for (const RowGrammar* grammar : rows_of(part_at(text, offset, document.line_source))) {
    const bool own = section != nullptr && std::find(section->rows.begin(), section->rows.end(),
                                                     grammar->id) != section->rows.end();
    const std::string spellings = grammar->spellings;
    for (size_t from = 0; from <= spellings.size();) {
      const size_t bar = std::min(spellings.find('|', from), spellings.size());
      const std::string spelling = spellings.substr(from, bar - from);
      from = bar + 1;
      std::string snippet = spelling;
      for (int v = 0; v < grammar->values_count(); ++v) {
        snippet += ", ${" + std::to_string(v + 1) + ":" + tr(grammar->names[v]) + "}";
      }
      items.push_back({{"label", spelling},
                       {"kind", kKeyword},
                       {"detail", tr(grammar->values)},
                       {"documentation", markdown(row_documentation(*grammar))},
                       {"sortText", (own ? "0 " : "1 ") + spelling},
                       {"insertText", snippet},
                       {"insertTextFormat", 2}});
    }
  }
  // The section headers of the source, where a line begins.
  if (const std::optional<size_t> start = header_start(text, offset)) {
    const json range = {{"start", document.position(*start)}, {"end", document.position(offset)}};
    for (const SectionHeader& h : section_headers()) {
      if (h.line_source != document.line_source) continue;
      std::string held = std::string(tr(h.holds)) + ".";
      for (const RowId id : h.rows) {
        const std::string spellings = grammar_of(id).spellings;
        const std::string keyword = spellings.substr(0, spellings.find('|'));
        held += id == h.rows.front() ? "\n\n" + tr("Rows: {1}", {keyword}) : ", " + keyword;
      }
      items.push_back({{"label", h.header},
                       {"kind", kModule},
                       {"detail", tr("section header")},
                       {"documentation", markdown(markdown_escaped(held))},
                       {"sortText", std::string("2 ") + h.header},
                       {"filterText", h.header},
                       {"textEdit", {{"range", range}, {"newText", h.header}}}});
    }
  }
  return items;
}
