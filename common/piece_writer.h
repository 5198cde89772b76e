// Writes the pieces of a file of placed pieces (common/placed_pieces.h) at their places in an
// open file, one WritableFile::write_at each, in the order they are put: on a second thread
// while the producer fills the next ones, or, for a short file or when no thread can be had, on
// the producer's own thread. Pieces cycle: a written one goes back to the spares that take()
// hands out, and take() waits while all kMaxPieces are out, so the producer never runs more
// than a few pieces ahead.
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

// Files of placed pieces longer than this are written by a second thread: below it, starting
// the thread and handing the pieces over cost more than writing them on the producer's.
// (Measured on routes of 50 to 800 km: one thread was ahead up to a 4.1 MB plan, the second
// thread from 8.1 MB.)
constexpr uint64_t kSecondWriterFrom = uint64_t{4} << 20;

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
    changed_.wait(lock, [this] { return !spare_.empty() || made_ < kMaxPieces || failed_; });
    PlacedPiece piece;
    if (!spare_.empty()) {
      piece = std::move(spare_.back());
      spare_.pop_back();
    } else {
      // Also after a failure with every piece out: the producer learns of it at its next put.
      ++made_;
      lock.unlock();
      piece.bytes.reset(new char[PlacedPiece::kCapacity]);
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
    changed_.notify_all();
    return true;
  }

  // Writes what is queued and ends the thread. Returns whether every piece was written, with
  // the reason of the first failure in `error`.
  bool finish(std::error_code* error = nullptr) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finishing_ = true;
      changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
    if (error != nullptr) *error = error_;
    return !failed_;
  }

 private:
  static constexpr int kMaxPieces = 4;

  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return !queued_.empty() || finishing_; });
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
    changed_.notify_all();
  }

  std::error_code write(PlacedPiece& piece) {
    return file_.write_at(piece.offset, piece.data(), piece.size);
  }

  WritableFile& file_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<PlacedPiece> queued_;
  std::vector<PlacedPiece> spare_;
  int made_ = 0;
  bool finishing_ = false;
  bool failed_ = false;
  std::error_code error_;
  std::thread thread_;  // not joinable when no thread could be started
};
