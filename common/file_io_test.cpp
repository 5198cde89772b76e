#include "common/file_io.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "test_support/temp_dir.h"

TEST(FileIoTest, ReplaceFileWritesNewFilesAndReplacesOldOnesWhole) {
  TempDir dir;
  ASSERT_TRUE(replace_file(dir.file("new"), std::string("ab\0c", 4)).ok());
  EXPECT_EQ(read_file_bytes(dir.file("new")), std::string("ab\0c", 4));
  write_file_bytes(dir.file("old"), std::string(5000, 'x'));
  ASSERT_TRUE(replace_file(dir.file("old"), "short").ok());
  EXPECT_EQ(read_file_bytes(dir.file("old")), "short");
  EXPECT_EQ(dir.list(), (std::vector<std::string>{"new", "old"})) << "no temporary file left";
}

TEST(FileIoTest, FailuresNameTheFileAndTheReasonAndLeaveNothingBehind) {
  TempDir dir;
  const std::string missing_dir = dir.file("no-such-dir") + "/f";
  std::string bytes;
  const struct {
    const char* what;
    Status status;
    std::string message;
  } cases[] = {
      {"a file in a missing directory", replace_file(missing_dir, "x"),
       "cannot create " + missing_dir + ": No such file or directory"},
      {"a directory in the file's place", replace_file(dir.path(), "x"),
       "cannot replace " + dir.path() + ": Is a directory"},
      {"deleting a missing file", delete_file(dir.file("absent")),
       "cannot delete " + dir.file("absent") + ": No such file or directory"},
      {"reading a missing file", read_file(dir.file("absent"), &bytes),
       "cannot read " + dir.file("absent") + ": No such file or directory"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(c.status.ok()) << c.what;
    EXPECT_EQ(c.status.message(), c.message) << c.what;
  }
  EXPECT_TRUE(dir.list().empty());
}

namespace {

FileOperation g_failing = FileOperation::kOpen;
int fail_one_kind(FileOperation operation, const std::string&) {
  return operation == g_failing ? ENOSPC : 0;
}

}  // namespace

TEST(FileIoTest, AnInjectedFaultLeavesTheEarlierFileWhole) {
  const struct {
    FileOperation operation;
    const char* verb;
  } cases[] = {{FileOperation::kOpen, "create"},
               {FileOperation::kWrite, "write"},
               {FileOperation::kRename, "replace"}};
  for (const auto& c : cases) {
    TempDir dir;
    write_file_bytes(dir.file("f"), "earlier");
    g_failing = c.operation;
    set_file_fault_hook(fail_one_kind);
    const Status status = replace_file(dir.file("f"), "new content");
    set_file_fault_hook(nullptr);
    EXPECT_EQ(status.message(),
              std::string("cannot ") + c.verb + " " + dir.file("f") + ": No space left on device");
    EXPECT_EQ(read_file_bytes(dir.file("f")), "earlier");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"f"}) << c.verb;
  }
}

TEST(FileIoTest, ReadsWholeFilesAndTellsFilesFromDirectories) {
  TempDir dir;
  const std::string bytes = std::string("a\0b\r\n", 5) + std::string(100000, 'z');
  write_file_bytes(dir.file("f"), bytes);
  std::string read;
  ASSERT_TRUE(read_file(dir.file("f"), &read).ok());
  EXPECT_EQ(read, bytes);
  EXPECT_TRUE(is_regular_file(dir.file("f")));
  EXPECT_FALSE(is_regular_file(dir.path()));
  EXPECT_FALSE(is_regular_file(dir.file("absent")));
  EXPECT_TRUE(file_exists(dir.path()));
  EXPECT_FALSE(file_exists(dir.file("absent")));
}
