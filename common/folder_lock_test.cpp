#include "common/folder_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "test_support/temp_dir.h"

TEST(FolderLockTest, OneHolderAtATimeAndNoLockFileLeft) {
  TempDir dir;
  const std::string path = dir.file("line.scenario-lock");
  FolderLock first;
  ASSERT_TRUE(first.acquire(path, 0).ok());
  FolderLock second;
  const Status refused = second.acquire(path, 50);
  EXPECT_EQ(refused.message(),
            "another run is already working in " + dir.path() + ": try again when it has finished");
  EXPECT_FALSE(second.held());
  first.release();
  EXPECT_TRUE(dir.list().empty());
  ASSERT_TRUE(second.acquire(path, 0).ok());
  second.release();
  EXPECT_TRUE(dir.list().empty());
}

// A lock file left by a killed holder is no lock: the system let it go with the process.
TEST(FolderLockTest, ALockFileNobodyHoldsIsTakenAndRemoved) {
  TempDir dir;
  const std::string path = dir.file("line.scenario-lock");
  write_file_bytes(path, "");
  FolderLock lock;
  ASSERT_TRUE(lock.acquire(path, 0).ok());
  lock.release();
  EXPECT_TRUE(dir.list().empty());
}

// A waiter may get the lock on the file its holder deleted on the way out; it must then take
// the one at the name, or a third run could lock a new file and work beside it.
TEST(FolderLockTest, AWaiterEndsUpHoldingTheFileAtTheName) {
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    TempDir dir;
    const std::string path = dir.file("line.scenario-lock");
    FolderLock first;
    ASSERT_TRUE(first.acquire(path, 0).ok());
    FolderLock second;
    Status waited = Status::Error("not run");
    std::thread waiter([&] { waited = second.acquire(path, 10000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(round % 4 * 10));
    first.release();
    waiter.join();
    ASSERT_TRUE(waited.ok()) << waited.message();
    FolderLock third;
    EXPECT_FALSE(third.acquire(path, 0).ok()) << "two holders at once";
  }
}

TEST(FolderLockTest, WhatCannotBeALockFileIsReportedAtOnce) {
  TempDir dir;
  write_file_bytes(dir.file("victim"), "victim");
  std::filesystem::create_symlink(dir.file("victim"), dir.file("link"));
  std::filesystem::create_directory(dir.file("directory"));
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  const struct {
    const char* name;
    std::string message;
  } cases[] = {
      {"link", "cannot create " + dir.file("link") + ": Too many levels of symbolic links"},
      {"directory", "cannot create " + dir.file("directory") + ": Is a directory"},
      {"fifo", "cannot lock " + dir.file("fifo") + ": not a regular file"},
      {"missing/x", "cannot create " + dir.file("missing/x") + ": No such file or directory"},
  };
  for (const auto& c : cases) {
    FolderLock lock;
    EXPECT_EQ(lock.acquire(dir.file(c.name), 10000).message(), c.message) << c.name;
  }
  EXPECT_EQ(read_file_bytes(dir.file("victim")), "victim");
}
