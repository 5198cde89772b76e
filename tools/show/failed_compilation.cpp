#include "tools/show/failed_compilation.h"

#include "compiler/records.h"
#include "tools/analysis/words.h"

std::vector<std::string> signs_of_failed_compilation(const CompiledScenario& c) {
  std::vector<std::string> signs;
  // A complete reading lays the last gradient and the last speed on to cell last - 3; a reading
  // stopped by an error leaves the cells after the stop at 0. (A gradient of -100 per mille or a
  // speed below 3 km/h would read as 0 too, and neither is a line's last.)
  const size_t cells = c.cells.size();
  if (cells >= 4) {
    const size_t tail = cells - 4;
    // "the gradients stop at cell 40 (2000 m), ..." or "no cell holds a gradient, ...".
    const auto sign = [&c, tail](const char* what, const char* one, auto field) {
      size_t last = tail;
      while (last > 0 && field(c.cells[last]) == 0) --last;
      const std::string where =
          field(c.cells[last]) == 0
              ? formatted("no cell holds %s", one)
              : formatted("the %s stop at cell %zu (%zu m)", what, last, last * kCellMetres);
      return where + formatted(", short of cell %zu where a complete compilation lays them", tail);
    };
    if (c.cells[tail].gradient == 0) {
      signs.push_back(
          sign("gradients", "a gradient", [](const TrackCell& t) { return t.gradient; }));
    }
    if (c.cells[tail].speed == 0) {
      signs.push_back(
          sign("line speeds", "a line speed", [](const TrackCell& t) { return t.speed; }));
    }
  }
  if (c.has_plan && c.plan.last_metre() >= 2 && c.plan.computed_end < c.plan.last_metre() - 1) {
    signs.push_back(formatted("the line plan stops at metre %d of %d", c.plan.computed_end - 1,
                              c.plan.last_metre() - 2));
  }
  for (int entry : {kChainageEntry3, kChainageEntry2, kChainageEntry1}) {
    const TableEntry& e = c.table[entry];
    if (e.start % 50 != 0 || e.end % 50 != 0) {
      signs.push_back(formatted(
          "chainage reference in table entry %d (%d m, chainage %d m) is off the 50 m grid", entry,
          e.start, e.end));
    }
  }
  return signs;
}
