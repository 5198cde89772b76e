#include "tools/lsp/lsp_formatting.h"

#include "common/file_io.h"
#include "common/windows_1252.h"
#include "tools/recover/source_layout.h"

nlohmann::json formatting_edits(
    const ScenarioIdentity& identity, const std::string (&paths)[2], const std::string& path,
    PositionUnits units, const std::function<const SourceText*(const std::string&)>& open_text) {
  SourceText texts[2];
  for (int f = 0; f < 2; ++f) {
    if (const SourceText* open = open_text(paths[f])) {
      texts[f] = *open;
    } else {
      std::string bytes;
      if (is_regular_file(paths[f])) read_file(paths[f], &bytes);
      texts[f] = SourceText::from_windows_1252(std::move(bytes));
    }
  }
  const int f = paths[0] == path ? 0 : 1;
  const FormattedSources formatted = format_sources(identity, texts[0].bytes(), texts[1].bytes());
  const FormattedSource& result = f == 0 ? formatted.line : formatted.train;
  nlohmann::json edits = nlohmann::json::array();
  if (!result.changed) return edits;
  // The layout keeps every line and line end: the lines of both texts pair up.
  const SourceText& before = texts[f];
  const SourceText after = SourceText::from_windows_1252(result.text);
  for (size_t line = 0; line < before.line_count() && line < after.line_count(); ++line) {
    const std::string old_bytes = before.bytes().substr(
        before.line_start(line), before.line_end(line) - before.line_start(line));
    const std::string new_bytes =
        result.text.substr(after.line_start(line), after.line_end(line) - after.line_start(line));
    if (old_bytes == new_bytes) continue;
    const size_t from = before.utf8_at({line, 0}, units);
    const TextPosition end = before.position_of_byte(before.line_end(line), units);
    if (before.utf8().compare(from, before.utf8_at(end, units) - from,
                              utf8_from_windows_1252(old_bytes)) != 0)
      continue;
    edits.push_back({{"range",
                      {{"start", {{"line", line}, {"character", 0}}},
                       {"end", {{"line", end.line}, {"character", end.character}}}}},
                     {"newText", utf8_from_windows_1252(new_bytes)}});
  }
  return edits;
}
