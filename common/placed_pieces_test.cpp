#include "common/placed_pieces.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Piece `index` of a file of three-byte pieces: "aaa" at 0, "bbb" at 3, and so on.
PlacedPiece piece_of(PlacedPieceSink& sink, int index) {
  PlacedPiece piece = sink.take();
  piece.offset = 3 * uint64_t(index);
  piece.size = 3;
  std::memset(piece.data(), 'a' + index, 3);
  return piece;
}

}  // namespace

TEST(InOrderPieceSinkTest, WritesEachPieceAsSoonAsEveryByteBeforeItIsWritten) {
  const struct {
    std::vector<int> order;             // pieces in the order they are put
    std::vector<size_t> written_after;  // bytes written after each put
  } cases[] = {
      {{0, 1, 2, 3}, {3, 6, 9, 12}},
      {{3, 2, 1, 0}, {0, 0, 0, 12}},
      {{0, 2, 1, 3}, {3, 3, 9, 12}},  // two halves produced side by side
      {{2, 0, 3, 1}, {0, 3, 3, 12}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.order));
    std::string file;
    InOrderPieceSink sink([&file](const char* data, size_t size) {
      file.append(data, size);
      return true;
    });
    for (size_t i = 0; i < c.order.size(); ++i) {
      ASSERT_TRUE(sink.put(piece_of(sink, c.order[i])));
      EXPECT_EQ(file.size(), c.written_after[i]) << "after piece " << c.order[i];
    }
    EXPECT_EQ(file, "aaabbbcccddd");
    EXPECT_TRUE(sink.complete());
  }
}

TEST(InOrderPieceSinkTest, AGapAnOverlapOrAFailedWriteLeavesItIncomplete) {
  const struct {
    const char* what;
    std::vector<int> order;
    int failing_write;  // the write that fails, from 1; 0 for none
    int refused;        // the put refused, from 0; -1 for none
    std::string written;
  } cases[] = {
      {"a piece never put", {0, 2, 3}, 0, -1, "aaa"},
      {"a piece put twice", {0, 1, 1}, 0, 2, "aaabbb"},
      {"a piece put twice while held", {2, 2}, 0, 1, ""},
      {"the second write fails", {0, 1, 2}, 2, 1, "aaa"},
      {"a held piece's write fails", {1, 2, 0}, 2, 2, "aaa"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string file;
    int writes = 0;
    InOrderPieceSink sink([&](const char* data, size_t size) {
      if (++writes == c.failing_write) return false;
      file.append(data, size);
      return true;
    });
    int refused = -1;
    for (size_t i = 0; i < c.order.size(); ++i) {
      if (!sink.put(piece_of(sink, c.order[i])) && refused < 0) refused = int(i);
    }
    EXPECT_EQ(refused, c.refused);
    EXPECT_EQ(file, c.written);
    EXPECT_FALSE(sink.complete());
    if (c.failing_write != 0) {
      EXPECT_FALSE(sink.put(piece_of(sink, 3))) << "a failed sink takes nothing more";
    }
  }
}
