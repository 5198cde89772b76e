#include "sources/text_writer.h"

#include <gtest/gtest.h>

#include "common/file_io.h"
#include "test_support/temp_dir.h"

TEST(TextWriterTest, WritesEachLineAsItsBytesAndCrLf) {
  const struct {
    const char* what;
    std::vector<std::string> lines;
    std::string bytes;
  } cases[] = {
      {"no lines", {}, ""},
      {"one empty line", {""}, "\r\n"},
      {"blanks kept at both ends", {"  a  ", " "}, "  a  \r\n \r\n"},
      {"single Windows-1252 bytes",
       {"n\xB0 1", "poich\xE8", "realt\xE0"},
       "n\xB0 1\r\npoich\xE8\r\nrealt\xE0\r\n"},
      {"empty lines at the end", {"x", "", ""}, "x\r\n\r\n\r\n"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const std::string path = dir.file("doc.txt");
    const Status status = write_text_document(path, c.lines);
    ASSERT_TRUE(status.ok()) << c.what << ": " << status.message();
    EXPECT_EQ(read_file_bytes(path), c.bytes) << c.what;
  }
}

TEST(TextWriterTest, ReplacesAnExistingFileWhole) {
  TempDir dir;
  const std::string path = dir.file("doc.txt");
  write_file_bytes(path, std::string(10000, 'x'));
  ASSERT_TRUE(write_text_document(path, {"short"}).ok());
  EXPECT_EQ(read_file_bytes(path), "short\r\n");
}

TEST(TextWriterTest, RefusesDocumentsItCannotWriteWholeAndLeavesTheFileAlone) {
  std::vector<std::string> longest(kMaxDocumentLines, "l");
  std::vector<std::string> too_long(kMaxDocumentLines + 1, "l");
  const struct {
    const char* what;
    std::vector<std::string> lines;
    bool ok;
    std::string message_tail;
  } cases[] = {
      {"1000 lines fill the buffer", longest, true, ""},
      {"1001 lines do not fit", too_long, false, ": more than 1000 lines"},
      {"the end marker as a line", {"a", kEndMarker, "b"}, false, ": line 2 is the end marker"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.file("doc.txt");
    write_file_bytes(path, "old");
    const Status status = write_text_document(path, c.lines);
    EXPECT_EQ(status.ok(), c.ok) << c.what;
    if (c.ok) {
      EXPECT_EQ(read_file_bytes(path).size(), 3 * c.lines.size()) << c.what;
    } else {
      EXPECT_EQ(status.message(), "cannot write " + path + c.message_tail) << c.what;
      EXPECT_EQ(read_file_bytes(path), "old") << c.what;
    }
  }
}

TEST(TextWriterTest, AFileThatCannotBeCreatedIsReportedByName) {
  TempDir dir;
  const std::string path = dir.file("missing") + "/doc.txt";
  const Status status = write_text_document(path, {"x"});
  EXPECT_FALSE(status.ok());
  // The file that could not be created is the temporary one beside it.
  EXPECT_EQ(status.message(),
            "cannot create " + temporary_path_for(path, 0) + ": No such file or directory");
}
