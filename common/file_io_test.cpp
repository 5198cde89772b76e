#include "common/file_io.h"

#include <gtest/gtest.h>
#ifdef __linux__
#include <sys/resource.h>
#endif

#include <cerrno>
#include <csignal>
#include <utility>

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
    // A file that cannot be created is named as it is: the temporary one.
    const std::string named =
        c.operation == FileOperation::kOpen ? temporary_path_for(dir.file("f"), 0) : dir.file("f");
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

int g_writes = 0;
int g_failing_write = 0;
int fail_the_nth_write(FileOperation operation, const std::string&) {
  if (operation != FileOperation::kWrite) return 0;
  return ++g_writes == g_failing_write ? ENOSPC : 0;
}

}  // namespace

TEST(FileIoTest, PlacedPiecesLandAtTheirPlaces) {
  TempDir dir;
  int refused_at = -1;
  const int count = 7;  // more pieces than are ever out at once
  const Status status = replace_file_in_placed_pieces(
      dir.file("f"), 2 * count * PlacedPiece::kCapacity,
      [&](PlacedPieceSink& sink) { return two_halves(sink, count, &refused_at); });
  ASSERT_TRUE(status.ok()) << status.message();
  const std::string bytes = read_file_bytes(dir.file("f"));
  ASSERT_EQ(bytes.size(), 2 * count * PlacedPiece::kCapacity);
  for (size_t b = 0; b < bytes.size(); b += 4096) ASSERT_EQ(bytes[b], char(b >> 12)) << b;
  EXPECT_EQ(refused_at, -1);
}

// A disk filling up in the middle of a long file: the writer refuses the next piece, the
// producer stops, and the earlier file stays whole.
TEST(FileIoTest, AFailingPieceStopsTheProducerAndLeavesTheEarlierFile) {
  for (int failing : {1, 2, 3, 9}) {  // 1 is the check before any piece
    SCOPED_TRACE(failing);
    TempDir dir;
    write_file_bytes(dir.file("f"), "earlier");
    g_writes = 0;
    g_failing_write = failing;
    set_file_fault_hook(fail_the_nth_write);
    int refused_at = -1;
    const Status status = replace_file_in_placed_pieces(
        dir.file("f"), 40 * PlacedPiece::kCapacity,
        [&](PlacedPieceSink& sink) { return two_halves(sink, 20, &refused_at); });
    set_file_fault_hook(nullptr);
    EXPECT_EQ(status.message(), "cannot write " + dir.file("f") + ": No space left on device");
    EXPECT_EQ(read_file_bytes(dir.file("f")), "earlier");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"f"});
    if (failing > 1) {
      EXPECT_GE(refused_at, 0) << "the producer was told to stop";
    }
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
