// A file's bytes handed over in pieces that each carry their place in the file, for output that
// is not produced in file order: the line plan computes its x half and its y half side by side.
// Pieces are buffers of one fixed size that go back and forth between the producer and the
// sink, so producing a file of any length holds only a few of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct PlacedPiece {
  static constexpr size_t kCapacity = size_t{1} << 18;

  uint64_t offset = 0;  // where the first byte goes in the file
  size_t size = 0;      // bytes filled, at most kCapacity
  std::unique_ptr<char[]> bytes;

  char* data() { return bytes.get(); }
};

class PlacedPieceSink {
 public:
  virtual ~PlacedPieceSink() = default;
  // An empty piece with room for kCapacity bytes. A producer holds at most two at a time.
  virtual PlacedPiece take() = 0;
  // Hands a filled piece over. False: the pieces cannot be written, and producing should stop.
  virtual bool put(PlacedPiece piece) = 0;
};

// Collects the pieces into one text, each at its place; bytes no piece covered are zero.
class TextPieceSink : public PlacedPieceSink {
 public:
  PlacedPiece take() override;
  bool put(PlacedPiece piece) override;

  std::string text;

 private:
  std::vector<PlacedPiece> spare_;
};

// Hands the pieces on to `write` in file order, on the producer's own thread: a piece whose
// place has come is written at once, one that comes early is held until every byte before it
// is written. For a file short enough that holding part of it costs less than a writing thread.
class InOrderPieceSink : public PlacedPieceSink {
 public:
  using Write = std::function<bool(const char* data, size_t size)>;
  explicit InOrderPieceSink(Write write) : write_(std::move(write)) {}

  PlacedPiece take() override;
  // False once a write failed, or when the piece overlaps bytes already written.
  bool put(PlacedPiece piece) override;
  // Whether every piece put so far has been written: none failed, none waits behind a gap.
  bool complete() const { return !failed_ && held_.empty(); }

 private:
  bool write_piece(PlacedPiece piece);

  Write write_;
  uint64_t written_ = 0;
  bool failed_ = false;
  std::map<uint64_t, PlacedPiece> held_;  // by offset
  std::vector<PlacedPiece> spare_;
};
