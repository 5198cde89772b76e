// Two compiled scenarios compared by what their rows mean: the rows decompile recovers from
// each, matched by place and kind, each difference one change with the kilometres it covers
// and, where a folder also holds its sources, the source lines it comes from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/source_rows.h"
#include "tools/analysis/words.h"
#include "tools/recover/decompile.h"

// One scenario as diff sees it: the rows recovered from its compiled files and, when its
// sources are at hand, the rows the compiler stored from them and the sources' texts.
struct DiffSide {
  RecoveredScenario scenario;
  // The line's kilometres, as the compiled table gives them: where its changes are named.
  Chainage chainage;
  bool has_sources = false;
  std::vector<SourceRow> rows;
  std::string line_path, train_path;  // as named in places
  std::string line_text, train_text;
};

// One difference: what kind of row (station, speed limit, ...), what became of it (added,
// removed, changed, moved, renamed, retimed), the metres it covers, its values in A and in B
// ("" where it has none), and the source lines of A and of B it comes from. The kind and the
// values are in English, as the JSON document gives them in every language; the report for
// people shows them in the tool's language, as `shown_kind`, `shown_before` and `shown_after`.
struct Change {
  std::string kind;
  std::string what;
  int64_t from = 0;
  int64_t to = 0;
  std::string before;
  std::string after;
  std::vector<std::string> places;
  std::string shown_kind, shown_before, shown_after;
};

std::vector<Change> compare_scenarios(const DiffSide& a, const DiffSide& b);

// Where `metres` along the line lie, in its own kilometres ("km 5+500", as the other commands
// name places), or "12300 m" where the line has no chainage or it would be negative there.
std::string place_on_line(const Chainage& chainage, int64_t metres);

// The changes for people, a line each, their places in the kilometres of `chainage` (A's); and
// as JSON, an array of one object per change, its places in metres.
std::string diff_text(const std::vector<Change>& changes, const Chainage& chainage);
std::string diff_json(const std::vector<Change>& changes);
