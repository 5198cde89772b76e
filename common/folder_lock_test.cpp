#include "common/folder_lock.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "test_support/temp_dir.h"

TEST(FolderLockTest, OneHolderAtATimeAndNoLockFileLeft) {
  TempDir dir;
  const std::string path = dir.file("scenario-folder.lock");
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
  const std::string path = dir.file("scenario-folder.lock");
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
    const std::string path = dir.file("scenario-folder.lock");
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

// Whatever is at the lock file's name and is no regular file is refused at once, saying what it
// is: never followed (the link's target neither deleted nor made), never deleted.
TEST(FolderLockTest, WhatCannotBeALockFileIsReportedAtOnce) {
  TempDir dir;
  write_file_bytes(dir.file("victim"), "victim");
  std::filesystem::create_symlink(dir.file("victim"), dir.file("link"));
  std::filesystem::create_symlink(dir.file("nowhere"), dir.file("dangling"));
  std::filesystem::create_directory(dir.file("directory"));
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  const std::string socket_path = dir.file("socket");
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  socket_path.copy(address.sun_path, socket_path.size());
  ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(listening);
  const struct {
    const char* name;
    std::string message;
  } cases[] = {
      {"link", "cannot lock " + dir.file("link") + ": it is a symbolic link: remove it"},
      {"dangling", "cannot lock " + dir.file("dangling") + ": it is a symbolic link: remove it"},
      {"directory", "cannot lock " + dir.file("directory") + ": it is a directory: remove it"},
      {"fifo", "cannot lock " + dir.file("fifo") + ": it is a FIFO: remove it"},
      {"socket", "cannot lock " + dir.file("socket") + ": it is a socket: remove it"},
      {"missing/x", "cannot create " + dir.file("missing/x") + ": No such file or directory"},
  };
  const std::vector<std::string> before = dir.list();
  for (const auto& c : cases) {
    FolderLock lock;
    EXPECT_EQ(lock.acquire(dir.file(c.name), 10000).message(), c.message) << c.name;
  }
  EXPECT_EQ(dir.list(), before);
  EXPECT_EQ(read_file_bytes(dir.file("victim")), "victim");
}

// A SIGTERM while the lock is held deletes the lock file and the files named for it, then ends
// the process by that signal; the lock file only while its name still leads to the file held
// (here another run's file was put in its place); and a signal the process ignores stays
// ignored, the run going on.
TEST(FolderLockTest, ASignalTakesTheHeldLockFileWithIt) {
  const struct {
    const char* name;
    bool replaced;
    bool ignored;
  } cases[] = {{"held", false, false}, {"replaced", true, false}, {"ignored", false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.file("scenario-folder.lock");
    const std::string temporary = dir.file("file.scenario-tmp-1-0");
    write_file_bytes(temporary, "being written");
    write_file_bytes(dir.file("other"), "another run's");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (c.ignored) signal(SIGTERM, SIG_IGN);
      FolderLock lock;
      lock.clean_up_on_signals({temporary});
      if (!lock.acquire(path, 0).ok()) _exit(3);
      if (c.replaced && rename(dir.file("other").c_str(), path.c_str()) != 0) _exit(4);
      raise(SIGTERM);
      _exit(0);
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(child, &status, WNOHANG) == 0) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the child did not end";
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (c.ignored) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      EXPECT_EQ(dir.list(), (std::vector<std::string>{"file.scenario-tmp-1-0", "other",
                                                      "scenario-folder.lock"}));
      continue;
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    if (c.replaced) {
      EXPECT_EQ(dir.list(), std::vector<std::string>{"scenario-folder.lock"});
      EXPECT_EQ(read_file_bytes(path), "another run's");
    } else {
      EXPECT_EQ(dir.list(), std::vector<std::string>{"other"});
    }
  }
}
