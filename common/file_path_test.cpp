#include "common/file_path.h"

#include <gtest/gtest.h>

TEST(FilePathTest, JoinsDirectoryAndNameWithOneSeparator) {
  const std::string sep(1, kPathSeparator);
  EXPECT_EQ(path_in("dir", "a.txt"), "dir" + sep + "a.txt");
  // The root directory is held as an empty text: joining gives a path in the root.
  EXPECT_EQ(path_in("", "a.txt"), sep + "a.txt");
}

TEST(FilePathTest, DirectoryOfDropsTheLastComponent) {
  const std::string sep(1, kPathSeparator);
  const struct {
    std::string path;
    std::string directory;
  } cases[] = {
      {sep + "opt" + sep + "sim" + sep + "installer", sep + "opt" + sep + "sim"},
      {sep + "installer", ""},
      {"installer", "."},
  };
  for (const auto& c : cases) EXPECT_EQ(directory_of(c.path), c.directory) << c.path;
  // Joining a file name to the directory of a path puts the file beside it.
  EXPECT_EQ(path_in(directory_of(sep + "installer"), "x"), sep + "x");
}

TEST(FilePathTest, FolderOfOpensAsTheFolderThatHoldsThePath) {
  const struct {
    std::string path;
    std::string folder;
  } cases[] = {
      {"/opt/sim/installer", "/opt/sim"}, {"/installer", "/"},          {"installer", "."},
      {"../sim/installer", "../sim"},     {"sim/./installer", "sim/."},
  };
  for (const auto& c : cases) EXPECT_EQ(folder_of(c.path), c.folder) << c.path;
}
