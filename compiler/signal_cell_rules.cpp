#include "compiler/signal_cell_rules.h"

#include "compiler/error_codes.h"
#include "compiler/minimo.h"

namespace {

constexpr int16_t kRestrictionSpeed = 180;
// Slowdowns at this speed or above get no points inside them.
constexpr int16_t kSpacedBelowSpeed = 110;
constexpr int32_t kSpacing = 8;      // cells between points inside a slowdown (400 m)
constexpr int32_t kLookBack = 20;    // cells the warning rule looks back (1000 m)
constexpr int32_t kExitSearch = 12;  // cells the exit rule looks past the end (600 m)

class RulePass {
 public:
  RulePass(CompiledRecords* records, ProblemLog* log)
      : cells_(records->cells), log_(*log), last_(records->last_cell()) {}

  void run() {
    for (int32_t n = 1; n <= last_ - 2; ++n) {
      if (type(n) == kCellSlowdownWarning) {
        warning_look_back(n);
      } else if (type(n) == kCellSlowdownStart) {
        approach_windows(n);
        int32_t end;
        if (!slowdown_end(n, &end)) continue;
        exit_rule(end);
      }
    }
  }

 private:
  uint8_t type(int32_t i) const { return cells_[i].type; }
  bool free_cell(int32_t i) const { return i >= 0 && i <= last_ && is_free(cells_[i]); }
  void place(int32_t i) {
    cells_[i].type = kCellSpeedRestriction;
    cells_[i].value_a = kRestrictionSpeed;
  }
  void problem(int32_t code, int32_t cell) {
    log_.error.set(code, cell * 50);
    log_.record(ProblemSource::kTrackCells, Problem::kNoOffset, true, cell);
  }
  // A point there already: lower it to at most 180.
  void lower(int32_t i) {
    cells_[i].value_a = static_cast<int16_t>(minimo<int32_t>(kRestrictionSpeed, cells_[i].value_a));
  }

  // Signals up to 1000 m before a warning point get a point just before them.
  void warning_look_back(int32_t n) {
    for (int32_t k = 1; k <= kLookBack; ++k) {
      const int32_t i = n - k;
      if (i < 3) return;
      if (type(i) != kCellSignal) continue;
      if (free_cell(i - 1)) {
        place(i - 1);
      } else if (free_cell(i - 2)) {
        place(i - 2);
      } else if (type(i - 1) == kCellSpeedRestriction) {
        lower(i - 1);
      } else if (type(i - 2) == kCellSpeedRestriction) {
        lower(i - 2);
      } else {
        problem(kNoRoomBeforeSignal, i);
      }
    }
  }

  // Points 250-350 m, 550-650 m and 900-1000 m before a slowdown start.
  void approach_windows(int32_t n) {
    const int32_t windows[3][3] = {{5, 6, 7}, {11, 12, 13}, {18, 19, 20}};
    for (const auto& window : windows) {
      if (n <= window[2]) continue;
      bool placed = false;
      for (int32_t back : window) {
        if (free_cell(n - back)) {
          place(n - back);
          placed = true;
          break;
        }
      }
      if (!placed) problem(kNoFreeApproachCell, n);
    }
  }

  // Finds the end of the slowdown that starts at n, placing points every 400 m on the way when
  // it is slow. A slowdown whose end lies beyond the cells records error 15.
  bool slowdown_end(int32_t n, int32_t* end) {
    const bool spaced = cells_[n].value_a < kSpacedBelowSpeed;
    int32_t count = 0;  // cells since the last point, or since the start
    for (int32_t m = n;;) {
      ++m;
      ++count;
      if (m > last_) {
        problem(kBeyondCells, n);
        return false;
      }
      if (spaced && count == kSpacing) {
        // Each point lands 8 cells after the one before, wherever that one landed.
        if (free_cell(m)) {
          place(m);
          count = 0;
        } else if (free_cell(m - 1)) {
          place(m - 1);
          count = 1;
        } else if (free_cell(m + 1)) {
          place(m + 1);
          count = -1;
        } else {
          // The count only grows from here: no more points in this slowdown.
          problem(kNoFreeSpacingCell, m);
        }
      }
      if (type(m) == kCellSlowdownEnd) {
        *end = m;
        return true;
      }
    }
  }

  // The first signal up to 600 m after the end gets a point in the cell before it, or the one
  // before that.
  void exit_rule(int32_t end) {
    int32_t p = 0;
    for (int32_t t = end; t <= end + kExitSearch && t <= last_; ++t) {
      if (type(t) == kCellSignal) {
        p = t - 1;
        break;
      }
    }
    if (p <= 0) return;
    if (free_cell(p)) {
      place(p);
    } else if (free_cell(p - 1)) {
      place(p - 1);
    } else {
      problem(kNoFreeSpacingCell, end);
    }
  }

  std::vector<TrackCell>& cells_;
  ProblemLog& log_;
  const int32_t last_;
};

}  // namespace

void apply_signal_cell_rules(CompiledRecords& records, ProblemLog& log) {
  RulePass(&records, &log).run();
}
