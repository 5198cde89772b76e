#include "common/file_io.h"

#include <gtest/gtest.h>

#include "test_support/temp_dir.h"

TEST(FileIoTest, TouchCreatesAMissingFileAndKeepsAnExistingOne) {
  TempDir dir;
  ASSERT_TRUE(touch_file(dir.file("new")).ok());
  EXPECT_EQ(read_file_bytes(dir.file("new")), "");
  write_file_bytes(dir.file("old"), "kept");
  ASSERT_TRUE(touch_file(dir.file("old")).ok());
  EXPECT_EQ(read_file_bytes(dir.file("old")), "kept");
}

TEST(FileIoTest, WriteNewFileReplacesALongerFileWhole) {
  TempDir dir;
  write_file_bytes(dir.file("f"), std::string(5000, 'x'));
  ASSERT_TRUE(write_new_file(dir.file("f"), std::string("ab\0c", 4)).ok());
  EXPECT_EQ(read_file_bytes(dir.file("f")), std::string("ab\0c", 4));
}

TEST(FileIoTest, FailuresNameTheFileAndTheReason) {
  TempDir dir;
  const std::string missing_dir = dir.file("no-such-dir") + "/f";
  const struct {
    const char* what;
    Status status;
    std::string message;
  } cases[] = {
      {"touch", touch_file(missing_dir),
       "cannot create " + missing_dir + ": No such file or directory"},
      {"write", write_new_file(missing_dir, "x"),
       "cannot create " + missing_dir + ": No such file or directory"},
      {"delete", delete_file(dir.file("absent")),
       "cannot delete " + dir.file("absent") + ": No such file or directory"},
      {"write onto a directory", write_new_file(dir.path(), "x"),
       "cannot create " + dir.path() + ": Is a directory"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(c.status.ok()) << c.what;
    EXPECT_EQ(c.status.message(), c.message) << c.what;
  }
}

TEST(FileIoTest, ExistsSeesFilesAndDirectories) {
  TempDir dir;
  EXPECT_TRUE(file_exists(dir.path()));
  EXPECT_FALSE(file_exists(dir.file("f")));
  write_file_bytes(dir.file("f"), "x");
  EXPECT_TRUE(file_exists(dir.file("f")));
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
  const Status missing = read_file(dir.file("absent"), &read);
  EXPECT_EQ(missing.message(), "cannot read " + dir.file("absent") + ": No such file or directory");
}
