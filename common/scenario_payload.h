// An author's scenario carried by an installer: the scenario identity and the five texts the
// installer writes (the two sources and the three driver documents), appended to the end of the
// installer's own executable by 'scenario-tool package'. An installer without one is the shipped
// installer, with its built-in texts.
//
// Layout, after the last byte the executable's own headers account for (ELF or PE):
//   "SCENARIO-PAYLOAD" (16 bytes), format version (u32, 1), then seven fields, each a u32
//   length and its bytes: line name, train number (UTF-8), line source, train source, notes,
//   slowdown order, train sheet (Windows-1252 bytes, CR LF lines, exactly as written);
//   then the trailer: the payload's length from its first byte to the trailer (u64), the CRC-32
//   of those bytes (u32) and "SCENEND!" (8 bytes). All numbers little-endian.
// A payload is damaged when any of that does not hold: cut short, grown, or changed; or when
// its line name or train number could not name the files written beside the installer (see
// scenario_names_refusal).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/file_system.h"
#include "common/scenario_identity.h"
#include "common/status.h"

struct ScenarioPayload {
  ScenarioIdentity scenario;
  std::string line_source;
  std::string train_source;
  std::string notes;
  std::string slowdown_order;
  std::string train_sheet;
};

// The bytes to append to an executable.
std::string encode_payload(const ScenarioPayload& payload);

// Reads `size` bytes from `offset` of the executable into `bytes` (fewer at its end); false when
// it cannot.
using ExecutableReader = std::function<bool(uint64_t offset, size_t size, std::string* bytes)>;

// A reader of an executable held whole in `bytes`, which must outlive it.
ExecutableReader executable_in_memory(const std::string& bytes);

// An executable on disk, read a part at a time: its first bytes, which hold its headers and
// answer most of what find_payload asks, are kept; the rest is read from the file when asked.
// A read that fails is a file fault like any other, kept in read_status(), never to be taken
// for a damaged executable.
class ExecutableFile {
 public:
  // Reads the first bytes of the file at `path` and its size; fails as that read fails.
  Status open(const std::string& path, FileSystem& files = platform_file_system());
  uint64_t size() const { return size_; }
  // Its first bytes (up to 4096).
  const std::string& head() const { return head_; }
  // Reads from the file; valid while this lives.
  ExecutableReader reader();
  // The first read of reader() that failed, or Ok.
  const Status& read_status() const { return read_status_; }

 private:
  std::string path_;
  FileSystem* files_ = nullptr;
  std::string head_;
  uint64_t size_ = 0;
  Status read_status_;
};

// Where the program itself ends in an executable of `file_size` bytes: past its last section
// and symbol table as its ELF or PE headers give them. Anything after is appended data. Fails
// when the headers are not those of an ELF64 or PE executable, or reach past `file_size`; never
// asks `read` for bytes past `file_size`.
Status program_end(const ExecutableReader& read, uint64_t file_size, uint64_t* end);

enum class PayloadFound { kNone, kFound, kDamaged };

// Looks for a payload in an executable: kNone when nothing is appended, kFound with `payload`
// filled, or kDamaged with what is wrong in `why`.
PayloadFound find_payload(const ExecutableReader& read, uint64_t file_size,
                          ScenarioPayload* payload, std::string* why);
