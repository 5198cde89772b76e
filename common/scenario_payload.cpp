#include "common/scenario_payload.h"

#include <algorithm>
#include <array>
#include <vector>

#include "common/checked_size.h"
#include "common/file_io.h"
#include "common/little_endian.h"
#include "common/people_text.h"

namespace {

const char kMagic[] = "SCENARIO-PAYLOAD";  // 16 bytes, no terminator written
const char kEndMagic[] = "SCENEND!";       // 8 bytes
constexpr size_t kMagicSize = 16;
constexpr size_t kTrailerSize = 8 + 4 + 8;
constexpr uint32_t kFormatVersion = 1;
// A payload holds five texts that the installer writes and compiles: far below this.
constexpr uint64_t kMostPayloadBytes = uint64_t(1) << 31;

// The CRC-32 of the bytes added (the polynomial of zip and PNG).
class Crc32 {
 public:
  void add(const std::string& bytes) {
    const std::array<uint32_t, 256>& t = table();
    for (unsigned char b : bytes) crc_ = t[(crc_ ^ b) & 0xFF] ^ (crc_ >> 8);
  }
  uint32_t value() const { return crc_ ^ 0xFFFFFFFFu; }

 private:
  static const std::array<uint32_t, 256>& table() {
    static const std::array<uint32_t, 256> entries = [] {
      std::array<uint32_t, 256> made{};
      for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        made[i] = c;
      }
      return made;
    }();
    return entries;
  }

  uint32_t crc_ = 0xFFFFFFFFu;
};

}  // namespace

std::string encode_payload(const ScenarioPayload& p) {
  std::string out(kMagic, kMagicSize);
  LittleEndianWriter write(&out);
  write.u32(kFormatVersion);
  for (const std::string* field : {&p.scenario.line_name, &p.scenario.train_number, &p.line_source,
                                   &p.train_source, &p.notes, &p.slowdown_order, &p.train_sheet}) {
    write.u32(static_cast<uint32_t>(field->size()));
    write.bytes(*field);
  }
  Crc32 check;
  check.add(out);
  write.u64(out.size());
  write.u32(check.value());
  out.append(kEndMagic, 8);
  return out;
}

ExecutableReader executable_in_memory(const std::string& bytes) {
  return [&bytes](uint64_t offset, size_t size, std::string* part) {
    *part = offset < bytes.size() ? bytes.substr(static_cast<size_t>(offset), size) : "";
    return true;
  };
}

// Every offset, size and count below comes from the executable's own headers, which whoever
// made the file chose: each range is checked against the file's size, without wrapping, before
// anything is read for it, so no read asks for more than the file holds.
Status ExecutableFile::open(const std::string& path, FileSystem& files) {
  path_ = path;
  files_ = &files;
  read_status_ = Status::Ok();
  return read_file_part(path, 0, 4096, &head_, &size_, files);
}

ExecutableReader ExecutableFile::reader() {
  return [this](uint64_t offset, size_t count, std::string* bytes) {
    if (offset <= head_.size() && count <= head_.size() - offset) {
      *bytes = head_.substr(static_cast<size_t>(offset), count);
      return true;
    }
    uint64_t ignored = 0;
    const Status status = read_file_part(path_, offset, count, bytes, &ignored, *files_);
    if (!status.ok() && read_status_.ok()) read_status_ = status;
    return status.ok();
  };
}

Status program_end(const ExecutableReader& read, uint64_t file_size, uint64_t* end) {
  const Status past_end =
      Status::Error(people_text("cut short: its own headers reach past its end"));
  std::string head;
  if (file_size < 64 || !read(0, static_cast<size_t>(std::min<uint64_t>(file_size, 4096)), &head) ||
      head.size() < 64) {
    return Status::Error(people_text("too short for an executable"));
  }
  uint64_t last = 0;
  // Counts `size` bytes from `offset` as part of the program; false when they do not lie
  // within the file.
  const auto take = [&](uint64_t offset, uint64_t size) {
    uint64_t range_end = 0;
    if (!end_within(offset, size, file_size, &range_end)) return false;
    last = std::max(last, range_end);
    return true;
  };
  // The same for a table of `count` entries of `entry_size` bytes at `offset`.
  const auto take_table = [&](uint64_t offset, uint64_t entry_size, uint64_t count) {
    uint64_t size = 0;
    return checked_mul(entry_size, count, &size) && take(offset, size);
  };
  // Reads a table that take_table() found within the file.
  const auto read_table = [&](uint64_t offset, uint64_t entry_size, uint64_t count,
                              std::string* table) {
    const size_t size = static_cast<size_t>(entry_size * count);
    return read(offset, size, table) && table->size() == size;
  };
  if (head.compare(0, 4,
                   "\x7f"
                   "ELF") == 0 &&
      head[4] == 2) {
    // ELF64: the section header table, every section with bytes in the file, every segment.
    const uint64_t phoff = load_unsigned(head, 0x20, 8), shoff = load_unsigned(head, 0x28, 8);
    const uint64_t phentsize = load_unsigned(head, 0x36, 2), phnum = load_unsigned(head, 0x38, 2);
    const uint64_t shentsize = load_unsigned(head, 0x3A, 2), shnum = load_unsigned(head, 0x3C, 2);
    if (!take_table(shoff, shentsize, shnum) || !take_table(phoff, phentsize, phnum)) {
      return past_end;
    }
    std::string table;
    if (shnum > 0 && shentsize >= 0x28) {
      if (!read_table(shoff, shentsize, shnum, &table)) {
        return Status::Error(people_text("its section headers cannot be read"));
      }
      for (uint64_t i = 0; i < shnum; ++i) {
        const size_t at = static_cast<size_t>(i * shentsize);
        if (load_unsigned(table, at + 4, 4) == 8) continue;  // SHT_NOBITS: no bytes in the file
        if (!take(load_unsigned(table, at + 0x18, 8), load_unsigned(table, at + 0x20, 8)))
          return past_end;
      }
    }
    if (phnum > 0 && phentsize >= 0x38) {
      if (!read_table(phoff, phentsize, phnum, &table)) {
        return Status::Error(people_text("its program headers cannot be read"));
      }
      for (uint64_t i = 0; i < phnum; ++i) {
        const size_t at = static_cast<size_t>(i * phentsize);
        if (!take(load_unsigned(table, at + 0x08, 8), load_unsigned(table, at + 0x20, 8)))
          return past_end;
      }
    }
  } else if (head.compare(0, 2, "MZ") == 0) {
    // PE: every section's raw data, and the COFF symbol and string tables when present.
    const uint64_t pe = load_unsigned(head, 0x3C, 4);
    std::string header;
    if (!take(pe, 24)) return past_end;
    if (!read(pe, 24, &header) || header.size() < 24 ||
        header.compare(0, 4, std::string("PE\0\0", 4)) != 0) {
      return Status::Error(people_text("its PE header cannot be read"));
    }
    const uint64_t sections = load_unsigned(header, 6, 2);
    const uint64_t symbols_at = load_unsigned(header, 12, 4),
                   symbols = load_unsigned(header, 16, 4);
    const uint64_t optional_size = load_unsigned(header, 20, 2);
    uint64_t table_at = 0;
    std::string table;
    if (!checked_add(pe + 24, optional_size, &table_at) || !take_table(table_at, 40, sections)) {
      return past_end;
    }
    if (!read_table(table_at, 40, sections, &table)) {
      return Status::Error(people_text("its section table cannot be read"));
    }
    for (uint64_t i = 0; i < sections; ++i) {
      const size_t at = static_cast<size_t>(i * 40);
      if (!take(load_unsigned(table, at + 20, 4), load_unsigned(table, at + 16, 4)))
        return past_end;
    }
    if (symbols_at != 0) {
      // The string table follows the symbols (within the file once they are) and begins with
      // its own size.
      if (!take_table(symbols_at, 18, symbols)) return past_end;
      const uint64_t strings_at = symbols_at + 18 * symbols;
      std::string size;
      if (!take(strings_at, 4)) return past_end;
      if (!read(strings_at, 4, &size) || size.size() != 4) {
        return Status::Error(people_text("its symbol table cannot be read"));
      }
      if (!take(strings_at, load_unsigned(size, 0, 4))) return past_end;
    }
  } else {
    return Status::Error(people_text("not an ELF or PE executable"));
  }
  *end = last;
  return Status::Ok();
}

PayloadFound find_payload(const ExecutableReader& read, uint64_t file_size,
                          ScenarioPayload* payload, std::string* why) {
  uint64_t start = 0;
  const Status program = program_end(read, file_size, &start);
  if (!program.ok()) {
    *why = people_text("the program itself is damaged: {1}", {program.message()});
    return PayloadFound::kDamaged;
  }
  if (start == file_size) return PayloadFound::kNone;
  // Read a part at a time, each text straight into its place, so that memory holds the texts
  // once and never the whole payload beside them; the checksum is of the very bytes taken.
  // program_end() found `start` within the file, and no part is read past its end.
  const uint64_t length = file_size - start;
  const auto read_part = [&](uint64_t offset, uint64_t size, std::string* bytes) {
    return read(start + offset, static_cast<size_t>(size), bytes) && bytes->size() == size;
  };
  const auto damaged = [why](const std::string& what) {
    *why = what;
    return PayloadFound::kDamaged;
  };
  std::string head, trailer;
  if (length < kMagicSize + 4 + kTrailerSize || length > kMostPayloadBytes ||
      !read_part(0, kMagicSize + 4, &head) ||
      !read_part(length - kTrailerSize, kTrailerSize, &trailer)) {
    return damaged(people_text("the scenario it carries is cut short"));
  }
  if (head.compare(0, kMagicSize, kMagic, kMagicSize) != 0) {
    return damaged(people_text("what follows the program is not a scenario"));
  }
  const uint64_t body = length - kTrailerSize;
  if (trailer.compare(12, 8, kEndMagic, 8) != 0 || load_unsigned(trailer, 0, 8) != body) {
    return damaged(people_text("the scenario it carries is cut short"));
  }
  if (load_unsigned(head, kMagicSize, 4) != kFormatVersion) {
    return damaged(people_text("the scenario it carries is of another format (version {1})",
                               {std::to_string(load_unsigned(head, kMagicSize, 4))}));
  }
  Crc32 check;
  check.add(head);
  uint64_t at = head.size();
  std::string* fields[] = {&payload->scenario.line_name,
                           &payload->scenario.train_number,
                           &payload->line_source,
                           &payload->train_source,
                           &payload->notes,
                           &payload->slowdown_order,
                           &payload->train_sheet};
  for (std::string* field : fields) {
    std::string size;
    uint64_t text_at = 0, text_end = 0;
    if (!end_within(at, 4, body, &text_at) || !read_part(at, 4, &size) ||
        !end_within(text_at, load_unsigned(size, 0, 4), body, &text_end) ||
        !read_part(text_at, text_end - text_at, field)) {
      return damaged(people_text("the scenario it carries is damaged (a field runs past its end)"));
    }
    check.add(size);
    check.add(*field);
    at = text_end;
  }
  if (at != body)
    return damaged(people_text("the scenario it carries is damaged (bytes left over)"));
  if (load_unsigned(trailer, 8, 4) != check.value()) {
    return damaged(people_text("the scenario it carries is damaged (its checksum does not match)"));
  }
  // Its names build the names of the files written beside the installer: never one elsewhere.
  const std::string refused = scenario_names_refusal(payload->scenario, tr_mark("its line name"),
                                                     tr_mark("its train number"));
  if (!refused.empty()) {
    *why = people_text("the scenario it carries cannot name its files: {1}", {refused});
    return PayloadFound::kDamaged;
  }
  return PayloadFound::kFound;
}
