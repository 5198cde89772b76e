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

// The compiler's last step, and its inverse beside it. It stamps the version words (610 into the
// line's table entry, 5121 into the header cell) and the two checksums (codice_gara_st into the
// line entry's time, codice_gara_og into the header cell's value_b), each only where the rows
// left 0: a slot already taken is integrity error 1250 (a version slot) or 1251 (a checksum slot),
// and nothing is stamped past it.
constexpr int16_t kLineVersionWord = 610;
constexpr int16_t kHeaderVersionWord = 5121;

// Stamps `table` and the header cell `header`; 0, or the integrity error that stopped it.
int stamp_version_and_checksums(ScenarioTable& table, TrackCell& header);

// The header cell as the rows left it, before the stamps: its version word and checksum back to
// the 0 they replaced, when they are what stamp_version_and_checksums writes for `table`; false,
// and `header` as it is, when they are not.
bool header_before_stamps(const ScenarioTable& table, TrackCell* header);
