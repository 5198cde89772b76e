// The two checksums that tie the compiled files to their scenario, computed from the train
// number and the line name that the scenario table holds in entries 86 and 85: so the table
// file alone is enough to check them again.
#pragma once

#include <cstdint>

#include "compiler/records.h"

// Sum over the 25 characters of the checksum text of each one's code times its place (1 to 25).
int32_t codice_gara_st(const ScenarioTable& table);
// Sum of the codes of the 25 characters of the checksum text.
int32_t codice_gara_og(const ScenarioTable& table);
