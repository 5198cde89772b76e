#include "tools/show/failed_compilation.h"

#include <optional>

#include "compiler/records.h"
#include "tools/analysis/words.h"
#include "tools/language/translation.h"

std::vector<std::string> signs_of_failed_compilation(const CompiledScenario& c) {
  std::vector<std::string> signs;
  // A complete reading lays the last gradient and the last speed on to cell last - 3; a reading
  // stopped by an error leaves the cells after the stop at 0. (A gradient of -100 per mille or a
  // speed below 3 km/h would read as 0 too, and neither is a line's last.)
  const size_t cells = c.cells.size();
  if (cells >= 4) {
    const size_t tail = cells - 4;
    // The last cell of a kind that holds a value, or none; each sign a whole sentence.
    const auto last_holding = [&c, tail](auto field) -> std::optional<size_t> {
      size_t last = tail;
      while (last > 0 && field(c.cells[last]) == 0) --last;
      if (field(c.cells[last]) == 0) return std::nullopt;
      return last;
    };
    const std::string short_of = std::to_string(tail);
    if (c.cells[tail].gradient == 0) {
      const auto last = last_holding([](const TrackCell& t) { return t.gradient; });
      signs.push_back(
          last ? tr("the gradients stop at cell {1} ({2} m), short of cell {3} where a complete "
                    "compilation lays them",
                    {std::to_string(*last), std::to_string(*last * kCellMetres), short_of})
               : tr("no cell holds a gradient, short of cell {1} where a complete compilation "
                    "lays them",
                    {short_of}));
    }
    if (c.cells[tail].speed == 0) {
      const auto last = last_holding([](const TrackCell& t) { return t.speed; });
      signs.push_back(
          last ? tr("the line speeds stop at cell {1} ({2} m), short of cell {3} where a "
                    "complete compilation lays them",
                    {std::to_string(*last), std::to_string(*last * kCellMetres), short_of})
               : tr("no cell holds a line speed, short of cell {1} where a complete "
                    "compilation lays them",
                    {short_of}));
    }
  }
  if (c.has_plan && c.plan.last_metre() >= 2 && c.plan.computed_end < c.plan.last_metre() - 1) {
    signs.push_back(
        tr("the line plan stops at metre {1} of {2}",
           {std::to_string(c.plan.computed_end - 1), std::to_string(c.plan.last_metre() - 2)}));
  }
  for (int entry : {kChainageEntry3, kChainageEntry2, kChainageEntry1}) {
    const TableEntry& e = c.table[entry];
    if (e.start % 50 != 0 || e.end % 50 != 0) {
      signs.push_back(
          tr("chainage reference in table entry {1} ({2} m, chainage {3} m) is off the 50 m grid",
             {std::to_string(entry), std::to_string(e.start), std::to_string(e.end)}));
    }
  }
  return signs;
}
