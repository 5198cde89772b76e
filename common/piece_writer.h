// Writes the pieces of a file of placed pieces (common/placed_pieces.h) at their places in an
// open file, one WritableFile::write_at each, in the order they are put: on a second thread
// while the producer fills the next ones, or, for a short file or when no thread can be had, on
// the producer's own thread. Pieces cycle: a written one goes back to the spares that take()
// hands out, and take() waits while all kMaxPieces are out, so the producer never runs more
// than a few pieces ahead. Each side wakes the other only when it has enough for it to go on
// with: the writer the producer when two pieces are free (the producer fills the x and the y
// half side by side, and needs a piece for each), the producer the writer when two pieces wait
// or when it is about to wait itself.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "common/file_system.h"
#include "common/placed_pieces.h"
#include "common/prefault.h"

// Files of placed pieces longer than this are written by a second thread; shorter ones, which
// include every line plan (the longest route's is 20 MB), by the producer's own. On the 2-core
// virtual machine this is built on, shared with other work, the longest compile took 18 ms with
// the plan written by its producer against 31 ms with a second thread (medians of rounds taken
// in turns): handing each piece to another core costs more there, in wake-ups and in bytes
// brought from the producer's cache into the other core's, than computing beside the writing
// gains (the chain of the longest plan takes about 2 ms).
constexpr uint64_t kSecondWriterFrom = uint64_t{32} << 20;

// Keeps `thread` off the CPU the calling thread runs on, when the process may use another one.
void keep_off_this_cpu(std::thread& thread);

class BackgroundPieceWriter : public PlacedPieceSink {
 public:
  // `threaded` false: no second thread; put() writes each piece itself.
  BackgroundPieceWriter(WritableFile& file, bool threaded) : file_(file) {
    // Room for every piece there will be, so that the writing thread never allocates: memory
    // running out shows on the producer's thread, which can report it.
    spare_.reserve(kMaxPieces);
    if (!threaded) return;
    try {
      thread_ = std::thread([this] { run(); });
      keep_off_this_cpu(thread_);
    } catch (const std::system_error&) {
      // No thread to be had (a process at its limit): put() then writes each piece itself.
    }
  }
  ~BackgroundPieceWriter() override { finish(); }

  PlacedPiece take() override {
    std::unique_lock<std::mutex> lock(mutex_);
    if (spare_.empty() && made_ == kMaxPieces && !failed_) {
      // Every piece is out: what is queued must be written before one comes back.
      wake_writer();
      ++producer_waiting_;
      room_.wait(lock, [this] { return !spare_.empty() || failed_; });
      --producer_waiting_;
    }
    PlacedPiece piece;
    if (!spare_.empty()) {
      piece = std::move(spare_.back());
      spare_.pop_back();
    } else {
      // Also after a failure with every piece out: the producer learns of it at its next put.
      ++made_;
      lock.unlock();
      piece.bytes.reset(new char[PlacedPiece::kCapacity]);
      prefault(piece.data(), PlacedPiece::kCapacity);
    }
    piece.offset = 0;
    piece.size = 0;
    return piece;
  }

  bool put(PlacedPiece piece) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failed_) return false;
    if (!thread_.joinable()) {
      const std::error_code error = write(piece);
      written(std::move(piece), error);
      return !failed_;
    }
    queued_.push_back(std::move(piece));
    // The x and the y piece come one after the other: the writer starts on the pair.
    if (queued_.size() >= 2) wake_writer();
    return true;
  }

  // Writes what is queued and ends the thread. Returns whether every piece was written, with
  // the reason of the first failure in `error`.
  bool finish(std::error_code* error = nullptr) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finishing_ = true;
      wake_writer();
    }
    if (thread_.joinable()) thread_.join();
    if (error != nullptr) *error = error_;
    return !failed_;
  }

 private:
  static constexpr int kMaxPieces = 4;

  // Called with the mutex held.
  void wake_writer() {
    if (writer_waiting_) work_.notify_one();
  }

  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (queued_.empty() && !finishing_) {
        writer_waiting_ = true;
        work_.wait(lock, [this] { return !queued_.empty() || finishing_; });
        writer_waiting_ = false;
      }
      if (queued_.empty()) return;
      PlacedPiece piece = std::move(queued_.front());
      queued_.pop_front();
      const bool skip = failed_;
      lock.unlock();
      const std::error_code error = skip ? std::error_code() : write(piece);
      lock.lock();
      written(std::move(piece), error);
    }
  }

  // Takes a piece back after its write, which failed with `error` if set. Called with the mutex
  // held.
  void written(PlacedPiece piece, std::error_code error) {
    if (error && !failed_) {
      failed_ = true;
      error_ = error;
    }
    spare_.push_back(std::move(piece));
    if (producer_waiting_ > 0 && (spare_.size() >= 2 || queued_.empty() || failed_)) {
      room_.notify_all();
    }
  }

  std::error_code write(PlacedPiece& piece) {
    return file_.write_at(piece.offset, piece.data(), piece.size);
  }

  WritableFile& file_;
  std::mutex mutex_;
  std::condition_variable work_;  // the writer waits on it for pieces to write
  std::condition_variable room_;  // the producer waits on it for a piece to fill
  std::deque<PlacedPiece> queued_;
  std::vector<PlacedPiece> spare_;
  int made_ = 0;
  int producer_waiting_ = 0;
  bool writer_waiting_ = false;
  bool finishing_ = false;
  bool failed_ = false;
  std::error_code error_;
  std::thread thread_;  // not joinable when no thread could be started
};
