// From the three compiled files back to the two sources that compile to them: every row the
// compiled records say enough about, recovered with the compiler's own encodings read backwards,
// and the result compiled again in memory to prove it, byte for byte. Also the recovered rows
// as a scenario's meaning, which 'diff' compares.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/scenario_identity.h"
#include "compiler/records.h"

// The rows of a scenario as its sources would hold them, in the units of the sources.
struct RecoveredLine {
  int32_t route_length = 0;
  struct Chainage {
    int32_t position = 0, value = 0, flag = 0;
  } chainage[3];               // "uno", "due", "tre"
  int32_t background[3] = {};  // "sfondo uno", "due", "tre"
  int32_t repetition[2] = {};  // the two distances
  int repetition_codes = 4;    // the digit of the keyword: 4 or 9
  bool plan_known = false;     // compiled with the line plan: the curves are known
  struct Curve {
    int32_t start = 0, length = 0;
    int digit = 1;  // 1 to 6
    bool left = false;
  };
  std::vector<Curve> curves;
  struct Value {
    int32_t position = 0, value = 0;
  };
  std::vector<Value> gradients;
  struct Tunnel {
    int32_t start = 0, end = 0, kind = 0;  // kind as written: above 10 with markers
  };
  std::vector<Tunnel> tunnels;
  struct Board {
    int32_t position = 0;
    int32_t speeds[3] = {}, stripes = 0, second_speeds[3] = {}, second_stripes = 0;
  };
  std::vector<Board> boards;
  struct Signboard {
    int32_t position = 0;
    std::string text;  // Windows-1252
  };
  std::vector<Signboard> signboards;  // in the order of their table entries, 80 downward
};

struct RecoveredTrain {
  int32_t cars = 0, braked_mass = 0, sand = 0;
  int32_t clock[3] = {};
  std::vector<RecoveredLine::Value> speeds;     // km/h
  std::vector<RecoveredLine::Value> adhesions;  // as stored
  struct Station {
    int32_t position = 0, kind = 0, length = 0;
    int32_t values[10] = {};  // f4 to f13
    int32_t time = 0;         // seconds after midnight
    std::string name;         // Windows-1252
  };
  std::vector<Station> stations;
  struct Slowdown {
    int32_t start = 0, speed = 0, length = 0, flag = 0, warning_boards = 0, second_speed = 0;
  };
  std::vector<Slowdown> slowdowns;
  bool slowdowns_first = false;  // a slowdown lies under a station's end: written before it
  struct Signal {
    int32_t position = 0;
    int32_t values[10] = {};  // SX, S1, S2, S3, RAPP, DX, D1, D2, D3, T
  };
  std::vector<Signal> signals;
  // The order of the station and signal rows in the source (their approach markers can share a
  // cell, where the row read last wins; a signal under a station's end comes before it): true
  // for a station, and the index in its list.
  std::vector<std::pair<bool, size_t>> order;
  std::vector<RecoveredLine::Value> restriction_points;  // 'abbattimento' rows
};

struct RecoveredScenario {
  RecoveredLine line;
  RecoveredTrain train;
  // What the files hold that no row explains, found while recovering, for the report.
  std::vector<std::string> unexplained;
};

// The compiled files as read: their bytes, the line plan's empty when there is none.
struct CompiledBytes {
  std::string table;
  std::string cells;
  std::string plan;
  bool has_plan = false;
};

// What decompile gives: the two sources (their bytes, CR LF and Windows-1252), and whether they
// compile back to the same bytes; where not, each cell, table entry or run of plan points that
// would differ, one line each.
struct Decompiled {
  bool read = false;    // false: a file was refused (see `refused`); nothing else is set
  std::string refused;  // why
  RecoveredScenario scenario;
  std::string line_source;
  std::string train_source;
  bool exact = false;
  std::vector<std::string> differences;
};

// Decompiles the files of `scenario` (the names the table holds in its line and train entries).
Decompiled decompile_scenario(const CompiledBytes& files, const ScenarioIdentity& scenario);

// The rows recovered from decoded records, before any compile: what 'diff' compares.
RecoveredScenario recover_scenario(const ScenarioTable& table, const std::vector<TrackCell>& cells,
                                   const std::vector<double>* plan_x,
                                   const std::vector<double>* plan_y, int32_t plan_computed_end);

// The two sources' lines for `recovered`, in the shipped sources' layout; with
// `leave_out_defaults`, without the rows that give what leaving them out gives (a value of 0 in
// the general sections, a first gradient, speed or adhesion of 0 from 0 m).
std::vector<std::string> line_source_of(const RecoveredScenario& recovered,
                                        bool leave_out_defaults = false);
std::vector<std::string> train_source_of(const RecoveredScenario& recovered,
                                         bool leave_out_defaults = false);
