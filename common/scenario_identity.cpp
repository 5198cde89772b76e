#include "common/scenario_identity.h"

#include <cstdint>

#include "common/file_io.h"
#include "common/people_text.h"
#include "common/windows_1252.h"

namespace {

std::string document_name(const ScenarioIdentity& s, const char* tail) {
  return s.line_name + "_" + s.train_number + "_" + tail;
}

// The most a file name may take: 255 bytes on Linux (NAME_MAX of its file systems), 255 UTF-16
// units on Windows (NTFS, and FAT's long names).
constexpr size_t kLongestFileName = 255;

std::string hex_byte(unsigned char c) {
  const char digits[] = "0123456789ABCDEF";
  return std::string("\\x") + digits[c >> 4] + digits[c & 0xF];
}

// `name` as a message quotes it, on one line: control characters, and every byte past ASCII of
// a name that is not UTF-8, written as \xNN; a long name cut after 40 characters, with "...".
std::string shown(const std::string& name) {
  const bool utf8 = is_utf8(name);
  std::string out;
  size_t characters = 0;
  for (const char byte : name) {
    const unsigned char c = static_cast<unsigned char>(byte);
    if ((!utf8 || (c & 0xC0) != 0x80) && characters++ == 40) return out + "...";
    out += c < 0x20 || c == 0x7F || (!utf8 && c >= 0x80) ? hex_byte(c) : std::string(1, byte);
  }
  return out;
}

// Why the character `c` may not stand in a file name on Linux or on Windows; empty when it may.
std::string character_refusal(unsigned char c) {
  // TRANSLATORS: {1} is the byte as \xNN.
  if (c < 0x20 || c == 0x7F) return people_text("control character {1}", {hex_byte(c)});
  switch (c) {
    case '/':
      return people_text("'/' separates folders");
    case '\\':
      return people_text("'\\' separates folders on Windows");
    case ':':
      return people_text("':' names a drive (C:) or a stream on Windows");
    case '<':
    case '>':
    case '"':
    case '|':
    case '?':
    case '*':
      return people_text("'{1}' is not allowed in a file name on Windows",
                         {std::string(1, char(c))});
    default:
      return "";
  }
}

// The Windows device name `name` stands for, as written in it, or an empty text. Windows takes
// a device name whatever its case and whatever extension follows it, and drops blanks before
// the extension ("nul .txt" is NUL). Superscript digits count as digits there (COM¹).
std::string device_name(const std::string& name) {
  std::string base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  std::string upper = base;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (upper == device) return base;
  }
  if (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0) return "";
  const std::string number = upper.substr(3);
  const bool digit = number.size() == 1 && number[0] >= '0' && number[0] <= '9';
  const bool superscript = number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
  return digit || superscript ? base : "";
}

// Why `name`, a line name or a train number, is no plain file-name part; empty when it is.
std::string part_refusal(const std::string& name) {
  if (name.empty()) return people_text("empty");
  if (!is_utf8(name)) return people_text("not UTF-8 text");
  if (name == ".") return people_text("'.' is the folder itself");
  if (name == "..") return people_text("'..' is the folder above");
  for (const char c : name) {
    const std::string refused = character_refusal(static_cast<unsigned char>(c));
    if (!refused.empty()) return refused;
  }
  if (name.back() == '.') return people_text("a trailing '.', which Windows drops");
  if (name.back() == ' ') return people_text("a trailing blank, which Windows drops");
  // No file name built today is a name alone before its extension, but a device name is no
  // name for a scenario's part on Windows, and is refused before any file is named after it.
  const std::string device = device_name(name);
  if (!device.empty()) return people_text("'{1}' is a Windows device name", {device});
  return "";
}

using NameOf = std::string (*)(const ScenarioIdentity&);

// The length in bytes of name_of(s), without building it: a name from a damaged installer may
// be long. Every name holds the line name once and the train number at most once, around text
// of its own.
uint64_t name_length(NameOf name_of, const ScenarioIdentity& s) {
  const size_t own = name_of({"", ""}).size();
  const bool line = name_of({"x", ""}).size() > own, train = name_of({"", "x"}).size() > own;
  return uint64_t{own} + (line ? s.line_name.size() : 0) + (train ? s.train_number.size() : 0);
}

}  // namespace

const char kShippedLineName[] = "Viterbo_Attigliano";
const char kShippedTrainNumber[] = "7545";

std::string line_source_name(const ScenarioIdentity& s) {
  return s.line_name + "_linea.txt";
}

std::string train_source_name(const ScenarioIdentity& s) {
  return s.line_name + "_" + s.train_number + "-.txt";
}

std::string lock_file_name() {
  return "scenario-folder.lock";
}

std::string notes_name(const ScenarioIdentity& s) {
  return document_name(s, "note.txt");
}

std::string slowdown_order_name(const ScenarioIdentity& s) {
  return document_name(s, "rallentamenti.txt");
}

std::string train_sheet_name(const ScenarioIdentity& s) {
  return document_name(s, "scheda_treno.txt");
}

std::string scenario_names_refusal(const ScenarioIdentity& s, const std::string& line_label,
                                   const std::string& train_label) {
  const struct {
    const std::string& label;
    const std::string& name;
  } parts[] = {{line_label, s.line_name}, {train_label, s.train_number}};
  for (const auto& part : parts) {
    const std::string refused = part_refusal(part.name);
    if (!refused.empty()) {
      // TRANSLATORS: {1} is an option (--line, --train) or "its line name", "its train number";
      // {2} the name as given; {3} what is wrong with it ("empty", "'/' separates folders").
      return people_text("{1} \"{2}\": {3}; a name must be a plain file name",
                         {people_text(part.label.c_str()), shown(part.name), refused});
    }
  }
  // Every file a run writes is first written under its name and a temporary suffix; each name
  // is counted with the longest suffix. The
  // compiled files' names (<line>_linea.dat, <line>_<train>.sim and .dat) are as long as the
  // sources' or shorter, and so is an installer's default name (<line>_<train>.exe): the names
  // below hold the longest, <line>_<train>_rallentamenti.txt. Counted in bytes, for Linux; on
  // Windows the same name takes no more UTF-16 units than it takes UTF-8 bytes (one unit for
  // one to three bytes, two units for four), so it fits there whenever it fits on Linux.
  const NameOf names[] = {line_source_name, train_source_name, notes_name, slowdown_order_name,
                          train_sheet_name};
  NameOf longest = names[0];
  for (const NameOf name_of : names) {
    if (name_length(name_of, s) > name_length(longest, s)) longest = name_of;
  }
  const uint64_t bytes = name_length(longest, s) + kLongestTemporarySuffix;
  if (bytes > kLongestFileName) {
    // TRANSLATORS: {1} and {3} are --line and --train (or "its line name", "its train
    // number"), {2} and {4} the names; {5} a file name such as <line>_<train>_note.txt; {6} and
    // {7} numbers of bytes.
    return people_text(
        "{1} \"{2}\" and {3} \"{4}\": too long: the file name {5}, with the temporary suffix it "
        "is first written under, would take {6} bytes, over the {7} a file name may take",
        {people_text(line_label.c_str()), shown(s.line_name), people_text(train_label.c_str()),
         shown(s.train_number), longest(ScenarioIdentity{"<line>", "<train>"}),
         std::to_string(bytes), std::to_string(kLongestFileName)});
  }
  return "";
}
