#include "common/scenario_payload.h"

#include <gtest/gtest.h>

#include "common/file_io.h"

namespace {

// This test program's own executable, as the installer reads its own.
std::string own_executable() {
  std::string bytes;
  EXPECT_TRUE(read_file("/proc/self/exe", &bytes).ok());
  return bytes;
}

ExecutableReader reader_of(const std::string& file) {
  return executable_in_memory(file);
}

PayloadFound find_in(const std::string& file, ScenarioPayload* payload, std::string* why) {
  return find_payload(reader_of(file), file.size(), payload, why);
}

}  // namespace

TEST(ScenarioPayloadTest, FoundWhereAppendedAndNowhereElse) {
  const std::string program = own_executable();
  uint64_t end = 0;
  ASSERT_TRUE(program_end(reader_of(program), program.size(), &end).ok());
  EXPECT_EQ(end, program.size()) << "a program as linked ends where its headers say";

  ScenarioPayload none;
  std::string why;
  EXPECT_EQ(find_in(program, &none, &why), PayloadFound::kNone);

  ScenarioPayload in;
  in.scenario = {"Citt\xC3\xA0_Alta", "2301"};
  in.line_source = "[generale]\r\nlunghezza percorso, 1000\r\n[fine]\r\n";
  in.train_source = "[generale]\r\n[fine]\r\n";
  in.notes = "Note \xE8\r\n";
  in.slowdown_order = "";
  in.train_sheet = std::string("a\0b", 3);
  const std::string packaged = program + encode_payload(in);
  ScenarioPayload out;
  ASSERT_EQ(find_in(packaged, &out, &why), PayloadFound::kFound) << why;
  EXPECT_EQ(out.scenario.line_name, in.scenario.line_name);
  EXPECT_EQ(out.scenario.train_number, in.scenario.train_number);
  EXPECT_EQ(out.line_source, in.line_source);
  EXPECT_EQ(out.train_source, in.train_source);
  EXPECT_EQ(out.notes, in.notes);
  EXPECT_EQ(out.slowdown_order, in.slowdown_order);
  EXPECT_EQ(out.train_sheet, in.train_sheet);
}

TEST(ScenarioPayloadTest, DamageIsNeverTakenForTheShippedInstaller) {
  const std::string program = own_executable();
  ScenarioPayload in;
  in.scenario = {"Linea", "1"};
  in.line_source = std::string(300, 'x');
  const std::string payload = encode_payload(in);
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"cut by one byte", program + payload.substr(0, payload.size() - 1)},
      {"cut to half", program + payload.substr(0, payload.size() / 2)},
      {"cut to a few bytes", program + payload.substr(0, 5)},
      {"a byte changed in a text",
       [&] {
         std::string p = payload;
         p[100] ^= 1;
         return program + p;
       }()},
      {"a byte added", program + payload + "x"},
      {"something else appended", program + std::string(40, 'z')},
      {"the program itself cut", program.substr(0, program.size() - 10)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScenarioPayload out;
    std::string why;
    EXPECT_EQ(find_in(c.file, &out, &why), PayloadFound::kDamaged);
    EXPECT_FALSE(why.empty());
  }
}

namespace {

// `value` in `size` bytes, little-endian, at `at` of `file`.
void put(std::string* file, size_t at, uint64_t value, int size) {
  std::string bytes;
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
  file->replace(at, bytes.size(), bytes);
}

// A tiny ELF64 file laid out as its headers say: the file header, one program header (a
// segment over the first 0xC0 bytes), 0x40 bytes of section data at 0x80, and two section
// headers at 0xC0 (a null one and the data's), 0x140 bytes in all.
std::string tiny_elf() {
  std::string f(0x140, '\0');
  f.replace(0, 5,
            "\x7f"
            "ELF\x02");
  f[5] = 1;                        // little-endian
  put(&f, 0x20, 0x40, 8);          // e_phoff
  put(&f, 0x28, 0xC0, 8);          // e_shoff
  put(&f, 0x36, 0x38, 2);          // e_phentsize
  put(&f, 0x38, 1, 2);             // e_phnum
  put(&f, 0x3A, 0x40, 2);          // e_shentsize
  put(&f, 0x3C, 2, 2);             // e_shnum
  put(&f, 0x40 + 0x08, 0, 8);      // p_offset
  put(&f, 0x40 + 0x20, 0xC0, 8);   // p_filesz
  put(&f, 0x100 + 4, 1, 4);        // sh_type: program data
  put(&f, 0x100 + 0x18, 0x80, 8);  // sh_offset
  put(&f, 0x100 + 0x20, 0x40, 8);  // sh_size
  return f;
}

// A tiny PE file: the MZ header pointing at the PE header at 0x40, one section of 0x40 bytes of
// raw data at 0x100, one COFF symbol at 0x140 and the string table after it (its size, 4).
std::string tiny_pe() {
  std::string f(0x156, '\0');
  f.replace(0, 2, "MZ");
  put(&f, 0x3C, 0x40, 4);
  f.replace(0x40, 4, std::string("PE\0\0", 4));
  put(&f, 0x40 + 6, 1, 2);       // sections
  put(&f, 0x40 + 12, 0x140, 4);  // symbol table
  put(&f, 0x40 + 16, 1, 4);      // symbols
  put(&f, 0x40 + 20, 0, 2);      // optional header size
  put(&f, 0x58 + 16, 0x40, 4);   // section: raw size
  put(&f, 0x58 + 20, 0x100, 4);  // section: raw data
  put(&f, 0x152, 4, 4);          // string table size
  return f;
}

std::string patched(std::string file, size_t at, uint64_t value, int size) {
  put(&file, at, value, size);
  return file;
}

}  // namespace

TEST(ScenarioPayloadTest, TinyExecutablesEndWhereTheirHeadersSay) {
  ScenarioPayload in;
  in.scenario = {"Linea", "1"};
  in.notes = "Note\r\n";
  for (const std::string& program : {tiny_elf(), tiny_pe()}) {
    uint64_t end = 0;
    ASSERT_TRUE(program_end(reader_of(program), program.size(), &end).ok());
    EXPECT_EQ(end, program.size());
    ScenarioPayload out;
    std::string why;
    const std::string packaged = program + encode_payload(in);
    ASSERT_EQ(find_in(packaged, &out, &why), PayloadFound::kFound) << why;
    EXPECT_EQ(out.notes, in.notes);
  }
}

TEST(ScenarioPayloadTest, DamagedHeadersAreRefusedWithoutReadingPastTheFile) {
  const uint64_t kTop = ~uint64_t(0);
  const std::string elf = tiny_elf(), pe = tiny_pe();
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"ELF section headers at 2^64-16", patched(elf, 0x28, kTop - 15, 8)},
      {"ELF program headers at 2^64-8", patched(elf, 0x20, kTop - 7, 8)},
      {"ELF section header table past the file",
       patched(patched(elf, 0x3A, 0xFFFF, 2), 0x3C, 0xFFFF, 2)},
      {"ELF section offset and size wrapping", patched(patched(elf, 0x118, kTop, 8), 0x120, 2, 8)},
      {"ELF section size past the file", patched(elf, 0x120, uint64_t(1) << 62, 8)},
      {"ELF segment offset and size wrapping", patched(elf, 0x48, kTop - 0x10, 8)},
      {"ELF cut inside its section headers", elf.substr(0, 0x100)},
      {"ELF cut inside its file header", elf.substr(0, 40)},
      {"PE header at 2^32-1", patched(pe, 0x3C, 0xFFFFFFFF, 4)},
      {"PE header past the file", patched(pe, 0x3C, pe.size() - 10, 4)},
      {"PE section table past the file", patched(pe, 0x46, 0xFFFF, 2)},
      {"PE optional header past the file", patched(pe, 0x54, 0xFFFF, 2)},
      {"PE section raw data pointer and size at their top",
       patched(patched(pe, 0x58 + 16, 0xFFFFFFFF, 4), 0x58 + 20, 0xFFFFFFFF, 4)},
      {"PE symbol table at 2^32-1 with 2^32-1 symbols",
       patched(patched(pe, 0x4C, 0xFFFFFFFF, 4), 0x50, 0xFFFFFFFF, 4)},
      {"PE string table size past the file", patched(pe, 0x152, 0xFFFFFFFF, 4)},
      {"PE cut inside its section table", pe.substr(0, 0x70)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // Every read must lie within the file: a size taken from a header is never allocated.
    bool within = true;
    const ExecutableReader whole = reader_of(c.file);
    const ExecutableReader checked = [&](uint64_t offset, size_t size, std::string* bytes) {
      if (offset > c.file.size() || size > c.file.size() - offset) within = false;
      return whole(offset, size, bytes);
    };
    ScenarioPayload out;
    std::string why;
    EXPECT_EQ(find_payload(checked, c.file.size(), &out, &why), PayloadFound::kDamaged);
    EXPECT_NE(why.find("the program itself is damaged"), std::string::npos) << why;
    EXPECT_TRUE(within);
  }
}
