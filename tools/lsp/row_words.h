// What the editor says of a row and its values: hover, signature help, inlay hints and
// completion take the rows and their values' names from the grammar (compiler/source_grammar.def)
// and add here only the words for authors: units and limits, what a row is, what a value does,
// the sections a source is written in.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "compiler/source_grammar.h"
#include "tools/analysis/row_index.h"
#include "tools/lsp/lsp_text.h"

// What a value's name says of its units and limits ("metres along the line").
std::string units_of(const std::string& name);

// What the value `k` of `row` does, where more is known of it than its name and units: a
// station's fields 4 to 13 say what the compiler makes of them or that only the simulator reads
// them, a station's position and length what they must be. Empty for the rest.
std::string value_use(const RowGrammar& row, int k);

// A value's name without the words all of its row's names begin with: "kind" for "station
// kind", "field 4" for "station field 4". The name itself for a row of one value.
std::string short_value_name(const RowGrammar& row, int k);

// What the row is, in a sentence for authors ("a gradient from its position to the next").
std::string row_meaning(const RowGrammar& row);

// `text` with the characters markdown reads as marks escaped.
std::string markdown_escaped(const std::string& text);

// The row's documentation as markdown: what it is, then each value with its units.
std::string row_documentation(const RowGrammar& row);

// A curve keyword's radius in metres and its side, by the compiler's curvature table: the
// lowest digit 1 to 6 of the keyword field `field`, and an "s" in it to the left. Nothing when
// the field has no such digit (the compiler refuses it).
struct CurveRadius {
  int metres = 0;
  int digit = 0;
  bool left = false;
};
std::optional<CurveRadius> curve_radius(const std::string& field);
// "radius 1000 m to the right".
std::string curve_radius_text(const CurveRadius& radius);

// The section headers authors write in a source, each with what it holds: the headers are
// ordinary fields the reading passes over, but for [generale], where the reading begins, and the
// first header after it, where the line source's features begin.
struct SectionHeader {
  const char* header;
  bool line_source;  // a header of the line source, else of the train source
  const char* holds;
  std::vector<RowId> rows;  // the rows written under it
};
const std::vector<SectionHeader>& section_headers();
// The header of the last section heading before `offset` in `text` (its first field), or
// nothing.
const SectionHeader* section_at(const SourceText& text, size_t offset, bool line_source);

// Which part of a source `offset` lies in: the line source's general section up to its next
// section heading, its features after it, or the train source.
SourcePart part_at(const SourceText& text, size_t offset, bool line_source);
