#include "compiler/entry_fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(EntryFieldsTest, EveryRoleNamesRealFieldsInTheOrderOfTheirBytes) {
  std::vector<std::string> fields;
#define TABLE_ENTRY_FIELD(name, width) fields.push_back(#name);
#include "compiler/record_fields.def"
  for (const EntryRoleFields& role : entry_roles()) {
    SCOPED_TRACE(role.role);
    EXPECT_EQ(entry_fields(role.role), &role.fields);
    size_t next = 0;
    for (const EntryField& f : role.fields) {
      size_t at = next;
      while (at < fields.size() && fields[at] != f.name) ++at;
      EXPECT_LT(at, fields.size()) << f.name << " is not a field, or out of order";
      next = at + 1;
    }
  }
  EXPECT_EQ(entry_fields("empty"), nullptr);
}
