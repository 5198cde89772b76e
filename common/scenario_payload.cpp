#include "common/scenario_payload.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

const char kMagic[] = "SCENARIO-PAYLOAD";  // 16 bytes, no terminator written
const char kEndMagic[] = "SCENEND!";       // 8 bytes
constexpr size_t kMagicSize = 16;
constexpr size_t kTrailerSize = 8 + 4 + 8;
constexpr uint32_t kFormatVersion = 1;

uint32_t crc32(const std::string& bytes) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void put_le(uint64_t value, int size, std::string* out) {
  for (int i = 0; i < size; ++i) out->push_back(static_cast<char>(value >> (8 * i)));
}

uint64_t get_le(const std::string& bytes, size_t at, int size) {
  uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

}  // namespace

std::string encode_payload(const ScenarioPayload& p) {
  std::string out(kMagic, kMagicSize);
  put_le(kFormatVersion, 4, &out);
  for (const std::string* field : {&p.scenario.line_name, &p.scenario.train_number, &p.line_source,
                                   &p.train_source, &p.notes, &p.slowdown_order, &p.train_sheet}) {
    put_le(field->size(), 4, &out);
    out += *field;
  }
  const uint32_t check = crc32(out);
  put_le(out.size(), 8, &out);
  put_le(check, 4, &out);
  out.append(kEndMagic, 8);
  return out;
}

Status program_end(const ExecutableReader& read, uint64_t file_size, uint64_t* end) {
  std::string head;
  if (!read(0, 4096, &head) || head.size() < 64) {
    return Status::Error("too short for an executable");
  }
  uint64_t last = 0;
  if (head.compare(0, 4,
                   "\x7f"
                   "ELF") == 0 &&
      head[4] == 2) {
    // ELF64: the section header table, every section with bytes in the file, every segment.
    const uint64_t phoff = get_le(head, 0x20, 8), shoff = get_le(head, 0x28, 8);
    const uint64_t phentsize = get_le(head, 0x36, 2), phnum = get_le(head, 0x38, 2);
    const uint64_t shentsize = get_le(head, 0x3A, 2), shnum = get_le(head, 0x3C, 2);
    last = std::max(shoff + shentsize * shnum, phoff + phentsize * phnum);
    std::string table;
    if (shnum > 0 && shentsize >= 0x28) {
      if (!read(shoff, shentsize * shnum, &table) || table.size() != shentsize * shnum) {
        return Status::Error("its section headers cannot be read");
      }
      for (uint64_t i = 0; i < shnum; ++i) {
        const size_t at = i * shentsize;
        if (get_le(table, at + 4, 4) == 8) continue;  // SHT_NOBITS: no bytes in the file
        last = std::max(last, get_le(table, at + 0x18, 8) + get_le(table, at + 0x20, 8));
      }
    }
    if (phnum > 0 && phentsize >= 0x38) {
      if (!read(phoff, phentsize * phnum, &table) || table.size() != phentsize * phnum) {
        return Status::Error("its program headers cannot be read");
      }
      for (uint64_t i = 0; i < phnum; ++i) {
        const size_t at = i * phentsize;
        last = std::max(last, get_le(table, at + 0x08, 8) + get_le(table, at + 0x20, 8));
      }
    }
  } else if (head.compare(0, 2, "MZ") == 0) {
    // PE: every section's raw data, and the COFF symbol and string tables when present.
    const uint64_t pe = get_le(head, 0x3C, 4);
    std::string header;
    if (!read(pe, 24, &header) || header.size() < 24 ||
        header.compare(0, 4, std::string("PE\0\0", 4)) != 0) {
      return Status::Error("its PE header cannot be read");
    }
    const uint64_t sections = get_le(header, 6, 2);
    const uint64_t symbols_at = get_le(header, 12, 4), symbols = get_le(header, 16, 4);
    const uint64_t optional_size = get_le(header, 20, 2);
    std::string table;
    if (!read(pe + 24 + optional_size, 40 * sections, &table) || table.size() != 40 * sections) {
      return Status::Error("its section table cannot be read");
    }
    last = pe + 24 + optional_size + 40 * sections;
    for (uint64_t i = 0; i < sections; ++i) {
      last = std::max(last, get_le(table, i * 40 + 20, 4) + get_le(table, i * 40 + 16, 4));
    }
    if (symbols_at != 0) {
      const uint64_t strings_at = symbols_at + 18 * symbols;
      std::string size;
      if (!read(strings_at, 4, &size) || size.size() != 4) {
        return Status::Error("its symbol table cannot be read");
      }
      last = std::max(last, strings_at + get_le(size, 0, 4));
    }
  } else {
    return Status::Error("not an ELF or PE executable");
  }
  if (last > file_size) return Status::Error("cut short: its own headers reach past its end");
  *end = last;
  return Status::Ok();
}

PayloadFound find_payload(const ExecutableReader& read, uint64_t file_size,
                          ScenarioPayload* payload, std::string* why) {
  uint64_t start = 0;
  const Status program = program_end(read, file_size, &start);
  if (!program.ok()) {
    *why = "the program itself is damaged: " + program.message();
    return PayloadFound::kDamaged;
  }
  if (start == file_size) return PayloadFound::kNone;
  const uint64_t length = file_size - start;
  std::string bytes;
  if (length < kMagicSize + 4 + kTrailerSize || length > (uint64_t(1) << 31) ||
      !read(start, static_cast<size_t>(length), &bytes) || bytes.size() != length) {
    *why = "the scenario it carries is cut short";
    return PayloadFound::kDamaged;
  }
  if (bytes.compare(0, kMagicSize, kMagic, kMagicSize) != 0) {
    *why = "what follows the program is not a scenario";
    return PayloadFound::kDamaged;
  }
  const size_t body = bytes.size() - kTrailerSize;
  if (bytes.compare(bytes.size() - 8, 8, kEndMagic, 8) != 0 || get_le(bytes, body, 8) != body) {
    *why = "the scenario it carries is cut short";
    return PayloadFound::kDamaged;
  }
  if (get_le(bytes, body + 8, 4) != crc32(bytes.substr(0, body))) {
    *why = "the scenario it carries is damaged (its checksum does not match)";
    return PayloadFound::kDamaged;
  }
  if (get_le(bytes, kMagicSize, 4) != kFormatVersion) {
    *why = "the scenario it carries is of another format (version " +
           std::to_string(get_le(bytes, kMagicSize, 4)) + ")";
    return PayloadFound::kDamaged;
  }
  size_t at = kMagicSize + 4;
  std::string* fields[] = {&payload->scenario.line_name,
                           &payload->scenario.train_number,
                           &payload->line_source,
                           &payload->train_source,
                           &payload->notes,
                           &payload->slowdown_order,
                           &payload->train_sheet};
  for (std::string* field : fields) {
    if (body - at < 4 || body - at - 4 < get_le(bytes, at, 4)) {
      *why = "the scenario it carries is damaged (a field runs past its end)";
      return PayloadFound::kDamaged;
    }
    const size_t size = static_cast<size_t>(get_le(bytes, at, 4));
    *field = bytes.substr(at + 4, size);
    at += 4 + size;
  }
  if (at != body) {
    *why = "the scenario it carries is damaged (bytes left over)";
    return PayloadFound::kDamaged;
  }
  // Its names build the names of the files written beside the installer: never one elsewhere.
  const std::string refused =
      scenario_names_refusal(payload->scenario, "its line name", "its train number");
  if (!refused.empty()) {
    *why = "the scenario it carries cannot name its files: " + refused;
    return PayloadFound::kDamaged;
  }
  return PayloadFound::kFound;
}
