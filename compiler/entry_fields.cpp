#include "compiler/entry_fields.h"

#include <cstring>

const std::vector<EntryRoleFields>& entry_roles() {
  static const std::vector<EntryRoleFields> roles = {
      {"station",
       {{"kind", "kind"},
        {"start", "where it starts, m"},
        {"end", "where it ends, m"},
        {"position", "position, m"},
        {"flag_a", "source field 4"},
        {"text", "name"},
        {"value_1", "source field 7"},
        {"value_2", "source field 8"},
        {"value_3", "source field 10"},
        {"value_4", "source field 11"},
        {"value_5", "source field 12"},
        {"flag_b", "source field 9"},
        {"flag_c", "source field 13"},
        {"flag_d",
         "source field 6, which adds 50 m to the end (0 for kinds 5 to 8 and the first "
         "station)"},
        {"flag_e", "source field 5 (0 below 600 m and for the first station)"},
        {"time", "timetable time, seconds after midnight"}}},
      {"signboard", {{"text", "text"}}},
      {"chainage",
       {{"start", "position along the route, m"},
        {"end", "chainage, m (100 added when the flag is 1)"},
        {"position", "flag"}}},
      {"route",
       {{"start", "braked mass, per cent"}, {"end", "route length, m"}, {"position", "cars"}}},
      {"line",
       {{"start", "background 1"},
        {"end", "background 3"},
        {"position", "background 2"},
        {"text", "line name"},
        {"value_1", "version word"},
        {"time", "checksum of the line name and train number"}}},
      {"train",
       {{"start", "first signal repetition distance, m"},
        {"end", "second signal repetition distance, m"},
        {"position", "signal repetition codes (4 or 9; 0 without a second distance)"},
        {"text", "train number"},
        {"value_1", "sand"},
        {"value_3", "start clock, hours"},
        {"value_4", "start clock, minutes"},
        {"value_5", "start clock, seconds"}}},
  };
  return roles;
}

const std::vector<EntryField>* entry_fields(const char* role) {
  for (const EntryRoleFields& r : entry_roles()) {
    if (std::strcmp(r.role, role) == 0) return &r.fields;
  }
  return nullptr;
}
