// What the fields of a scenario-table entry hold, by the entry's role: the fixed entries of
// records.h (chainage references, route, line, train) and the stations' and signboard texts'
// entries each use some of TableEntry's fields; the others stay 0.
#pragma once

#include <vector>

// One field an entry uses: its TableEntry member, as compiler/record_fields.def names it, and
// what it holds, in words.
struct EntryField {
  const char* name;
  const char* meaning;
};

// The fields of an entry of one role, in the order of their bytes.
struct EntryRoleFields {
  const char* role;  // "station", "signboard", "chainage", "route", "line" or "train"
  std::vector<EntryField> fields;
};

// Every role's fields.
const std::vector<EntryRoleFields>& entry_roles();
// The fields of `role`; null for a role none of the above.
const std::vector<EntryField>* entry_fields(const char* role);
