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
  return [&file](uint64_t offset, size_t size, std::string* bytes) {
    *bytes = offset < file.size() ? file.substr(offset, size) : "";
    return true;
  };
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
