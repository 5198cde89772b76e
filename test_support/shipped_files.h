// The five text files of the shipped scenario as they must land on disk: name, line count, size
// and SHA-256. The digests were taken from files built independently of this program's code, so
// they pin every byte.
#pragma once

#include <cstddef>
#include <vector>

struct ShippedFile {
  const char* name;
  size_t lines;
  size_t bytes;
  const char* sha256;
};

extern const ShippedFile kLineSourceFile;
extern const ShippedFile kTrainSourceFile;
extern const ShippedFile kNotesFile;
extern const ShippedFile kSlowdownOrderFile;
extern const ShippedFile kTrainSheetFile;

// All five, in the order the run writes them.
std::vector<ShippedFile> shipped_text_files();

// The compiled files of the shipped scenario (lines is 0 for these).
extern const ShippedFile kLinePlanFile;
extern const ShippedFile kScenarioTableFile;
extern const ShippedFile kTrackCellsFile;
std::vector<ShippedFile> shipped_compiled_files();
