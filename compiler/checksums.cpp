// The two checksums that tie the compiled files to their scenario: both are computed over the
// same 25 characters, the train number and the line name in lower case, padded.
#include "compiler/checksums.h"

#include <string>

namespace {

const char kChecksumPad[] = "aabbccddeeffgghhiillmmnnoo";
constexpr size_t kChecksumLength = 25;

// Lower case in the Windows-1252 code page: A-Z, the accented capitals and the four capitals
// whose small letters lie elsewhere.
unsigned char lower_windows_1252(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  switch (c) {
    case 0x8A:
      return 0x9A;  // S caron
    case 0x8C:
      return 0x9C;  // OE
    case 0x8E:
      return 0x9E;  // Z caron
    case 0x9F:
      return 0xFF;  // Y diaeresis
    default:
      return c;
  }
}

std::string checksum_text(const ScenarioTable& table) {
  std::string text = table[kTrainEntry].text + table[kLineEntry].text;
  for (char& c : text) c = static_cast<char>(lower_windows_1252(static_cast<unsigned char>(c)));
  text += kChecksumPad;
  return text.substr(0, kChecksumLength);
}

}  // namespace

int32_t codice_gara_st(const ScenarioTable& table) {
  const std::string text = checksum_text(table);
  int32_t sum = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    sum += static_cast<int32_t>(i + 1) * static_cast<unsigned char>(text[i]);
  }
  return sum;
}

int32_t codice_gara_og(const ScenarioTable& table) {
  int32_t sum = 0;
  for (unsigned char c : checksum_text(table)) sum += c;
  return sum;
}

int stamp_version_and_checksums(ScenarioTable& table, TrackCell& header) {
  TableEntry& line = table[kLineEntry];
  if (line.value_1 != 0 || header.value_a != 0) return 1250;
  line.value_1 = kLineVersionWord;
  header.value_a = kHeaderVersionWord;
  if (line.time != 0 || header.value_b != 0) return 1251;
  line.time = codice_gara_st(table);
  header.value_b = static_cast<int16_t>(codice_gara_og(table));
  return 0;
}

bool header_before_stamps(const ScenarioTable& table, TrackCell* header) {
  if (header->value_a != kHeaderVersionWord ||
      header->value_b != static_cast<int16_t>(codice_gara_og(table))) {
    return false;
  }
  header->value_a = 0;
  header->value_b = 0;
  return true;
}
