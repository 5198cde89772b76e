#include "compiler/entry_fields.h"

#include <cstring>

#include "common/people_text.h"

const std::vector<EntryRoleFields>& entry_roles() {
  static const std::vector<EntryRoleFields> roles = {
      {"station",
       {{"kind", tr_mark("kind")},
        {"start", tr_mark("where it starts, m")},
        {"end", tr_mark("where it ends, m")},
        {"position", tr_mark("position, m")},
        {"flag_a", tr_mark("source field 4")},
        {"text", tr_mark("name")},
        {"value_1", tr_mark("source field 7")},
        {"value_2", tr_mark("source field 8")},
        {"value_3", tr_mark("source field 10")},
        {"value_4", tr_mark("source field 11")},
        {"value_5", tr_mark("source field 12")},
        {"flag_b", tr_mark("source field 9")},
        {"flag_c", tr_mark("source field 13")},
        {"flag_d",
         tr_mark("source field 6, which adds 50 m to the end (0 for kinds 5 to 8 and the first "
                 "station)")},
        {"flag_e", tr_mark("source field 5 (0 below 600 m and for the first station)")},
        {"time", tr_mark("timetable time, seconds after midnight")}}},
      {"signboard", {{"text", tr_mark("text")}}},
      {"chainage",
       {{"start", tr_mark("position along the route, m")},
        {"end", tr_mark("chainage, m (100 added when the flag is 1)")},
        {"position", tr_mark("flag")}}},
      {"route",
       {{"start", tr_mark("braked mass, per cent")},
        {"end", tr_mark("route length, m")},
        {"position", tr_mark("cars")}}},
      {"line",
       {{"start", tr_mark("background 1")},
        {"end", tr_mark("background 3")},
        {"position", tr_mark("background 2")},
        {"text", tr_mark("line name")},
        {"value_1", tr_mark("version word")},
        {"time", tr_mark("checksum of the line name and train number")}}},
      {"train",
       {{"start", tr_mark("first signal repetition distance, m")},
        {"end", tr_mark("second signal repetition distance, m")},
        {"position", tr_mark("signal repetition codes (4 or 9; 0 without a second distance)")},
        {"text", tr_mark("train number")},
        {"value_1", tr_mark("sand")},
        {"value_3", tr_mark("start clock, hours")},
        {"value_4", tr_mark("start clock, minutes")},
        {"value_5", tr_mark("start clock, seconds")}}},
  };
  return roles;
}

const std::vector<EntryField>* entry_fields(const char* role) {
  for (const EntryRoleFields& r : entry_roles()) {
    if (std::strcmp(r.role, role) == 0) return &r.fields;
  }
  return nullptr;
}
