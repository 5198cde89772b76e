#include "common/same_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support/temp_dir.h"

TEST(SameFolderTest, ComparesFoldersNotTheirNames) {
  TempDir root;
  const std::string dir = root.file("DIR"), other = root.file("other");
  std::filesystem::create_directory(dir);
  std::filesystem::create_directory(other);
  std::filesystem::create_directory_symlink(dir, root.file("link"));
  write_file_bytes(root.file("file"), "x");
  const struct {
    std::string path;
    bool same;
    const char* fails;  // what the failure says, or nullptr
  } cases[] = {
      {dir, true, nullptr},
      {dir + "/.", true, nullptr},
      {other + "/../DIR", true, nullptr},
      {root.file("link"), true, nullptr},
      {std::filesystem::relative(dir).string(), true, nullptr},
      {other, false, nullptr},
      {root.path(), false, nullptr},
      {root.file("missing"), false, "cannot open the folder "},
      {root.file("file"), false, " is not a folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    bool same = !c.same;
    const Status status = same_folder(c.path, dir, &same);
    if (c.fails != nullptr) {
      EXPECT_NE(status.message().find(c.fails), std::string::npos) << status.message();
      EXPECT_NE(status.message().find(c.path), std::string::npos) << status.message();
      continue;
    }
    ASSERT_TRUE(status.ok()) << status.message();
    EXPECT_EQ(same, c.same);
  }
}
