#include "common/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/resource.h>
#endif

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <new>
#include <thread>
#include <utility>

#include "test_support/faulty_file_system.h"
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
       "cannot create " + temporary_path_for(missing_dir, 0) + ": No such file or directory"},
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

// Each step of replacing a file failing in turn: the failure names the step and the reason,
// and the earlier file stays whole, with no temporary file left.
TEST(FileIoTest, AFailingStepLeavesTheEarlierFileWhole) {
  const struct {
    FileOperation operation;
    const char* verb;
  } cases[] = {{FileOperation::kCreate, "create"},
               {FileOperation::kWrite, "write"},
               {FileOperation::kClose, "write"},
               {FileOperation::kRename, "replace"}};
  for (const auto& c : cases) {
    TempDir dir;
    write_file_bytes(dir.file("f"), "earlier");
    FaultyFileSystem files(platform_file_system(),
                           [&](FileOperation operation, const std::string&) {
                             return operation == c.operation ? ENOSPC : 0;
                           });
    const Status status = replace_file(dir.file("f"), "new content", files);
    // A file that cannot be created is named as it is: the temporary one.
    const std::string named = c.operation == FileOperation::kCreate
                                  ? temporary_path_for(dir.file("f"), 0)
                                  : dir.file("f");
    EXPECT_EQ(status.message(),
              std::string("cannot ") + c.verb + " " + named + ": No space left on device");
    EXPECT_EQ(read_file_bytes(dir.file("f")), "earlier");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"f"}) << c.verb;
  }
}

namespace {

// Fills `count` pieces with bytes that tell their place, the halves of the file side by side
// (each piece i of the first half, then piece i of the second), as the line plan does. Stops
// when the sink refuses a piece.
bool two_halves(PlacedPieceSink& sink, int count, int* refused_at) {
  const uint64_t half = uint64_t(count) * PlacedPiece::kCapacity;
  for (int i = 0; i < count; ++i) {
    for (uint64_t start : {uint64_t(0), half}) {
      PlacedPiece piece = sink.take();
      piece.offset = start + uint64_t(i) * PlacedPiece::kCapacity;
      piece.size = PlacedPiece::kCapacity;
      for (size_t b = 0; b < piece.size; b += 4096)
        piece.data()[b] = char((piece.offset + b) >> 12);
      if (!sink.put(std::move(piece))) {
        *refused_at = i;
        return false;
      }
    }
  }
  return true;
}

}  // namespace

TEST(FileIoTest, PlacedPiecesLandAtTheirPlaces) {
  // More pieces than are ever out at once: 3.5 MiB written by the producer's own thread, 33 MiB
  // by a second one.
  for (const int count : {7, 66}) {
    SCOPED_TRACE(count);
    TempDir dir;
    int refused_at = -1;
    const Status status = replace_file_in_placed_pieces(
        dir.file("f"), 2 * count * PlacedPiece::kCapacity,
        [&](PlacedPieceSink& sink) { return two_halves(sink, count, &refused_at); });
    ASSERT_TRUE(status.ok()) << status.message();
    const std::string bytes = read_file_bytes(dir.file("f"));
    ASSERT_EQ(bytes.size(), 2 * count * PlacedPiece::kCapacity);
    for (size_t b = 0; b < bytes.size(); b += 4096) ASSERT_EQ(bytes[b], char(b >> 12)) << b;
    EXPECT_EQ(refused_at, -1);
  }
}

// A disk filling up in the middle of a long file: the writer refuses the next piece, the
// producer stops, and the earlier file stays whole.
TEST(FileIoTest, AFailingPieceStopsTheProducerAndLeavesTheEarlierFile) {
  // 0 is the reservation before any piece, then the pieces' writes; a 3 MiB file is written on
  // the producer's thread, a 33 MiB one by a second thread.
  for (const auto& [failing, pieces] :
       std::vector<std::pair<int, int>>{{0, 66}, {1, 66}, {2, 66}, {8, 66}, {1, 6}, {4, 6}}) {
    SCOPED_TRACE(std::to_string(failing) + " of " + std::to_string(2 * pieces));
    TempDir dir;
    write_file_bytes(dir.file("f"), "earlier");
    int writes = 0;
    FaultyFileSystem files(
        platform_file_system(), [&](FileOperation operation, const std::string&) {
          if (operation == FileOperation::kReserve) return failing == 0 ? ENOSPC : 0;
          return operation == FileOperation::kWrite && ++writes == failing ? ENOSPC : 0;
        });
    int refused_at = -1;
    const Status status = replace_file_in_placed_pieces(
        dir.file("f"), 2 * pieces * PlacedPiece::kCapacity,
        [&](PlacedPieceSink& sink) { return two_halves(sink, pieces, &refused_at); }, files);
    EXPECT_EQ(status.message(), "cannot write " + dir.file("f") + ": No space left on device");
    EXPECT_EQ(read_file_bytes(dir.file("f")), "earlier");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"f"});
    if (failing > 0) {
      EXPECT_GE(refused_at, 0) << "the producer was told to stop";
    }
  }
}

TEST(FileIoTest, MemoryRunningOutWhileAFileIsMadeLeavesTheEarlierFileAndNoTemporary) {
  // Pieces already written, by the producer's own thread (3 MiB) or by a second one (33 MiB),
  // when the producer finds no memory for the next.
  for (const int pieces : {6, 66}) {
    SCOPED_TRACE(pieces);
    TempDir dir;
    write_file_bytes(dir.file("f"), "earlier");
    EXPECT_THROW(replace_file_in_placed_pieces(dir.file("f"), 2 * pieces * PlacedPiece::kCapacity,
                                               [&](PlacedPieceSink& sink) -> bool {
                                                 for (int i = 0; i < pieces; ++i) {
                                                   PlacedPiece piece = sink.take();
                                                   piece.offset = i * PlacedPiece::kCapacity;
                                                   piece.size = PlacedPiece::kCapacity;
                                                   sink.put(std::move(piece));
                                                 }
                                                 throw std::bad_alloc();
                                               }),
                 std::bad_alloc);
    EXPECT_EQ(read_file_bytes(dir.file("f")), "earlier");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"f"});
  }
}

#ifdef __linux__
// The space of a file in placed pieces is taken before anything is produced: a file larger than
// the process may write (as a disk too full for it) fails at once.
TEST(FileIoTest, APlacedFileTooLargeFailsBeforeAnyPieceIsMade) {
  TempDir dir;
  write_file_bytes(dir.file("f"), "earlier");
  struct rlimit before;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  struct rlimit limit = before;
  limit.rlim_cur = 4 * PlacedPiece::kCapacity;
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  bool produced = false;
  const Status status = replace_file_in_placed_pieces(
      dir.file("f"), 8 * PlacedPiece::kCapacity, [&](PlacedPieceSink&) { return produced = true; });
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(status.message(), "cannot write " + dir.file("f") + ": File too large");
  EXPECT_FALSE(produced);
  EXPECT_EQ(read_file_bytes(dir.file("f")), "earlier");
  EXPECT_EQ(dir.list(), std::vector<std::string>{"f"});
}
#endif

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

// A name is taken by anything at it, a link included even when what it leads to is missing;
// a link is told apart, with what it holds.
TEST(FileIoTest, TellsWhatIsAtAName) {
  TempDir dir;
  write_file_bytes(dir.file("f"), "f");
  std::filesystem::create_symlink(dir.file("f"), dir.file("to file"));
  std::filesystem::create_symlink(dir.file("absent"), dir.file("dangling"));
  std::filesystem::create_directory_symlink(dir.path(), dir.file("to folder"));
  const struct {
    std::string name;
    bool taken, link;
    std::string target;
  } cases[] = {
      {"f", true, false, ""},
      {"absent", false, false, ""},
      {"to file", true, true, dir.file("f")},
      {"dangling", true, true, dir.file("absent")},
      {"to folder", true, true, dir.path()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string target;
    EXPECT_EQ(name_taken(dir.file(c.name)), c.taken);
    EXPECT_EQ(is_symbolic_link(dir.file(c.name), &target), c.link);
    EXPECT_EQ(target, c.target);
  }
  EXPECT_TRUE(name_taken(dir.path()));
  EXPECT_FALSE(file_exists(dir.file("dangling")));
}

// Whatever lies at a temporary file's name, put there by a killed run or by someone else, is
// neither opened nor followed: the next name is taken and the file is written all the same.
TEST(FileIoTest, NothingAtATemporaryNameIsOpenedOrFollowed) {
  TempDir dir;
  write_file_bytes(dir.file("victim"), "victim");
  write_file_bytes(dir.file("f"), "earlier");
  const std::string f = dir.file("f");
  std::filesystem::create_symlink(dir.file("victim"), temporary_path_for(f, 0));
  ASSERT_EQ(mkfifo(temporary_path_for(f, 1).c_str(), 0600), 0);
  std::filesystem::create_directory(temporary_path_for(f, 2));
  std::filesystem::create_symlink(dir.file("nowhere"), temporary_path_for(f, 3));
  write_file_bytes(temporary_path_for(f, 4), "another process's temporary");

  const Status status = replace_file(f, "new content");
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(read_file_bytes(f), "new content");
  EXPECT_EQ(read_file_bytes(dir.file("victim")), "victim");
  EXPECT_EQ(read_file_bytes(temporary_path_for(f, 4)), "another process's temporary");
  EXPECT_FALSE(std::filesystem::exists(dir.file("nowhere")));
  EXPECT_EQ(dir.list().size(), 7u);
}

TEST(FileIoTest, LeftoverTemporariesOfTheNamedFilesAloneAreRemoved) {
  TempDir dir;
  write_file_bytes(dir.file("victim"), "victim");
  for (const char* name : {"a", "a.txt", "b.scenario-tmp", "a.scenario-tmp-12-0",
                           "c.scenario-tmp-12-0", "ab.scenario-tmp-12-0"}) {
    write_file_bytes(dir.file(name), name);
  }
  std::filesystem::create_symlink(dir.file("victim"), dir.file("a.scenario-tmp-13-0"));
  ASSERT_EQ(mkfifo(dir.file("b.scenario-tmp-14-2").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.file("a.scenario-tmp-15-0"));

  remove_leftover_temporaries(dir.path(), {"a", "b"});
  EXPECT_EQ(dir.list(),
            (std::vector<std::string>{"a", "a.scenario-tmp-15-0", "a.txt", "ab.scenario-tmp-12-0",
                                      "c.scenario-tmp-12-0", "victim"}));
  EXPECT_EQ(read_file_bytes(dir.file("victim")), "victim");
}

// Only regular files are read, and none beyond the bound: a FIFO is not waited on, a device
// and a huge (sparse) file are not read until memory runs out.
TEST(FileIoTest, ReadingRefusesWhatIsNoRegularFileOrTooLarge) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", dir.file("zero"));
  const int sparse = open(dir.file("sparse").c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(sparse, 0);
  ASSERT_EQ(ftruncate(sparse, off_t{3} << 30), 0);
  close(sparse);
  // Should reading the FIFO wait for a writer after all, this gives it one, so that the test
  // fails instead of hanging.
  std::atomic<bool> done{false};
  std::thread unblocker([&] {
    for (int i = 0; i < 1000 && !done; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (done) return;
    const int writer = open(dir.file("fifo").c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
  });
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {{"fifo", "not a regular file"},
               {"zero", "not a regular file"},
               {"sparse", "over 256 MiB, too large for a scenario file"},
               {".", "not a regular file"}};
  for (const auto& c : cases) {
    std::string bytes = "before";
    const Status status = read_file(dir.file(c.name), &bytes);
    EXPECT_EQ(status.message(), "cannot read " + dir.file(c.name) + ": " + c.reason) << c.name;
  }
  done = true;
  unblocker.join();
}
