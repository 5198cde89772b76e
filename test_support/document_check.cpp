#include "test_support/document_check.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "test_support/sha256.h"
#include "test_support/temp_dir.h"

std::string check_written_document(const DocumentWriter& writer, const ShippedFile& expected) {
  SCOPED_TRACE(expected.name);
  const ScenarioIdentity scenario{kShippedLineName, kShippedTrainNumber};
  TempDir dir;
  const Status status = writer(dir.path(), scenario, platform_file_system());
  EXPECT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(dir.list(), std::vector<std::string>{expected.name});
  const std::string bytes = read_file_bytes(dir.file(expected.name));

  EXPECT_EQ(bytes.size(), expected.bytes);
  EXPECT_EQ(sha256_hex(bytes), expected.sha256);
  // Every line ends with CR LF, and CR and LF appear nowhere else.
  size_t line_ends = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r') {
      EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "lone CR at byte " << i;
      ++line_ends;
    } else if (bytes[i] == '\n') {
      EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "lone LF at byte " << i;
    }
  }
  EXPECT_EQ(line_ends, expected.lines);
  EXPECT_TRUE(bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0);
  EXPECT_EQ(bytes.find("riferimento fine del file"), std::string::npos);
  EXPECT_NE(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0) << "byte-order mark";

  // A leftover file, longer than the document, is replaced whole.
  write_file_bytes(dir.file(expected.name), std::string(3 * expected.bytes, 'Z') + "\r\n");
  EXPECT_TRUE(writer(dir.path(), scenario, platform_file_system()).ok());
  EXPECT_EQ(read_file_bytes(dir.file(expected.name)), bytes);
  return bytes;
}
