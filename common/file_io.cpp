#include "common/file_io.h"

#include <sys/stat.h>
#ifdef __linux__
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#endif

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "common/windows_text.h"
#endif

namespace {

FileFaultHook g_fault_hook = nullptr;

// Whether the test seam makes this operation fail; sets errno when it does.
bool injected_fault(FileOperation operation, const std::string& path) {
  if (g_fault_hook == nullptr) return false;
  const int error = g_fault_hook(operation, path);
  if (error == 0) return false;
  errno = error;
  return true;
}

// The C library's file calls, by UTF-8 path; on Windows through the wide-character API, so
// that any folder name works.
#ifdef _WIN32
std::FILE* open_path(const std::string& path, const char* mode) {
  return _wfopen(to_wide(path).c_str(), to_wide(mode).c_str());
}
int remove_path(const std::string& path) {
  return _wremove(to_wide(path).c_str());
}
int rename_path(const std::string& from, const std::string& to) {
  if (MoveFileExW(to_wide(from).c_str(), to_wide(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return 0;
  }
  errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  return -1;
}
bool stat_path(const std::string& path, bool* directory) {
  struct _stat64 info;
  if (_wstat64(to_wide(path).c_str(), &info) != 0) return false;
  *directory = (info.st_mode & _S_IFDIR) != 0;
  return true;
}
#else
std::FILE* open_path(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}
int remove_path(const std::string& path) {
  return std::remove(path.c_str());
}
int rename_path(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str());
}
bool stat_path(const std::string& path, bool* directory) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  *directory = S_ISDIR(info.st_mode);
  return true;
}
#endif

std::FILE* open_file(const std::string& path, const char* mode) {
  if (injected_fault(FileOperation::kOpen, path)) return nullptr;
  return open_path(path, mode);
}

Status failure(const char* action, const std::string& path, int error) {
  return Status::Error(std::string("cannot ") + action + " " + path + ": " + std::strerror(error));
}

// Fills a new file at `path` by `fill`, which returns false with the reason in `error` when it
// cannot; on failure the file is removed again.
Status write_whole_file(const std::string& path, const std::string& shown_path,
                        const std::function<bool(std::FILE* file, int* error)>& fill) {
  std::FILE* file = open_file(path, "wb");
  if (file == nullptr) return failure("create", shown_path, errno);
  int error = 0;
  bool written = !injected_fault(FileOperation::kWrite, path);
  if (written) {
    written = fill(file, &error);
  } else {
    error = errno;
  }
  // fclose flushes the buffer: a full disk may only show up here.
  const bool closed = std::fclose(file) == 0;
  if (written && !closed) error = errno;
  if (!written || !closed) {
    remove_path(path);
    return failure("write", shown_path, error);
  }
  return Status::Ok();
}

// Writes the file to a temporary one beside `path`, then renames it over `path`.
Status replace_through_temporary(const std::string& path,
                                 const std::function<bool(std::FILE* file, int* error)>& fill) {
  const std::string temporary = temporary_path_for(path);
  Status status = write_whole_file(temporary, path, fill);
  if (!status.ok()) return status;
  if (injected_fault(FileOperation::kRename, path) || rename_path(temporary, path) != 0) {
    const int error = errno;
    remove_path(temporary);
    return failure("replace", path, error);
  }
  return Status::Ok();
}

// Keeps `thread` off the CPU the calling thread runs on, when the process may use another one.
// The scheduler tends to start a short-lived thread on its creator's CPU and then run the two in
// turn, which would undo the point of writing beside the producer; a writer kept elsewhere runs
// at the same time. Elsewhere than on Linux, the scheduler's own choice stands.
void keep_off_this_cpu(std::thread& thread) {
#ifdef __linux__
  const int cpu = sched_getcpu();
  cpu_set_t allowed;
  if (cpu < 0 || cpu >= CPU_SETSIZE || sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  if (!CPU_ISSET(cpu, &allowed) || CPU_COUNT(&allowed) < 2) return;
  CPU_CLR(cpu, &allowed);
  pthread_setaffinity_np(thread.native_handle(), sizeof allowed, &allowed);
#else
  (void)thread;
#endif
}

// Reserves `size` bytes of disk for `file` where the file system can, so that a disk too full
// for it fails before anything is written, and the writes that follow only fill blocks already
// there (on Linux file systems, that is also markedly faster than allocating them as they
// come). Where it cannot, the file grows as it is written, and a full disk shows then.
bool reserve_space(std::FILE* file, uint64_t size, int* error) {
#ifdef __linux__
  if (size == 0 || size > uint64_t(std::numeric_limits<off_t>::max())) return true;
  if (fallocate(fileno(file), 0, 0, static_cast<off_t>(size)) == 0) return true;
  if (errno == ENOSPC || errno == EFBIG || errno == EDQUOT) {
    *error = errno;
    return false;
  }
#else
  (void)file;
  (void)size;
  (void)error;
#endif
  return true;
}

// Writes placed pieces to an open file on its own thread, in the order they are put. Pieces
// cycle: a written one goes back to the spares that take() hands out, and take() waits while
// all kMaxPieces are out, so the producer never runs more than a few pieces ahead.
class BackgroundPieceWriter : public PlacedPieceSink {
 public:
  BackgroundPieceWriter(std::FILE* file, const std::string& path) : file_(file), path_(path) {
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
      const int error = write(piece);
      written(std::move(piece), error);
      return !failed_;
    }
    queued_.push_back(std::move(piece));
    changed_.notify_all();
    return true;
  }

  // Writes what is queued and ends the thread. Returns whether every piece was written, with
  // the reason of the first failure in `error`.
  bool finish(int* error = nullptr) {
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
      const int error = skip ? 0 : write(piece);
      lock.lock();
      written(std::move(piece), error);
    }
  }

  // Takes a piece back after its write, which failed with `error` unless it is 0. Called with
  // the mutex held.
  void written(PlacedPiece piece, int error) {
    if (error != 0 && !failed_) {
      failed_ = true;
      error_ = error;
    }
    spare_.push_back(std::move(piece));
    changed_.notify_all();
  }

  // 0, or the errno of the failed seek or write.
  int write(PlacedPiece& piece) {
    if (injected_fault(FileOperation::kWrite, path_)) return errno;
    if (piece.offset > uint64_t(std::numeric_limits<long>::max())) return EFBIG;
    if (std::fseek(file_, static_cast<long>(piece.offset), SEEK_SET) != 0) return errno;
    if (std::fwrite(piece.data(), 1, piece.size, file_) != piece.size) return errno;
    return 0;
  }

  std::FILE* file_;
  const std::string& path_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<PlacedPiece> queued_;
  std::vector<PlacedPiece> spare_;
  int made_ = 0;
  bool finishing_ = false;
  bool failed_ = false;
  int error_ = 0;
  std::thread thread_;  // not joinable when no thread could be started
};

}  // namespace

void set_file_fault_hook(FileFaultHook hook) {
  g_fault_hook = hook;
}

std::string temporary_path_for(const std::string& path) {
  return path + ".scenario-tmp";
}

Status replace_file(const std::string& path, const std::string& bytes) {
  return replace_file_in_pieces(
      path, [&bytes](const PieceWriter& write) { return write(bytes.data(), bytes.size()); });
}

Status replace_file_in_pieces(const std::string& path,
                              const std::function<bool(const PieceWriter& write)>& produce) {
  return replace_through_temporary(path, [&produce](std::FILE* file, int* error) {
    return produce([file, error](const char* data, size_t size) {
      if (std::fwrite(data, 1, size, file) == size) return true;
      *error = errno;
      return false;
    });
  });
}

Status replace_file_in_placed_pieces(const std::string& path, uint64_t size,
                                     const std::function<bool(PlacedPieceSink& sink)>& produce) {
  const std::string temporary = temporary_path_for(path);
  return replace_through_temporary(path, [&](std::FILE* file, int* error) {
    // Pieces are large and go out whole: no need for the stream's own buffer.
    std::setvbuf(file, nullptr, _IONBF, 0);
    if (!reserve_space(file, size, error)) return false;
    BackgroundPieceWriter writer(file, temporary);
    const bool produced = produce(writer);
    const bool written = writer.finish(error);
    // A producer only stops early when the writer refused a piece, which sets the error.
    if (!produced && written) *error = EIO;
    return produced && written;
  });
}

Status delete_file(const std::string& path) {
  if (injected_fault(FileOperation::kDelete, path) || remove_path(path) != 0) {
    return failure("delete", path, errno);
  }
  return Status::Ok();
}

bool file_exists(const std::string& path) {
  bool directory;
  return stat_path(path, &directory);
}

bool is_regular_file(const std::string& path) {
  bool directory;
  return stat_path(path, &directory) && !directory;
}

Status read_file(const std::string& path, std::string* bytes) {
  std::FILE* file = open_file(path, "rb");
  if (file == nullptr) return failure("read", path, errno);
  bytes->clear();
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) return failure("read", path, error);
  return Status::Ok();
}

Status read_file_part(const std::string& path, uint64_t offset, size_t size, std::string* bytes,
                      uint64_t* file_size) {
  std::FILE* file = open_file(path, "rb");
  if (file == nullptr) return failure("read", path, errno);
#ifdef _WIN32
  const bool sought = _fseeki64(file, 0, SEEK_END) == 0;
  const int64_t end = sought ? _ftelli64(file) : -1;
  const bool placed = end >= 0 && _fseeki64(file, static_cast<int64_t>(offset), SEEK_SET) == 0;
#else
  const bool sought = fseeko(file, 0, SEEK_END) == 0;
  const int64_t end = sought ? static_cast<int64_t>(ftello(file)) : -1;
  const bool placed = end >= 0 && fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
  if (!placed) {
    const int error = errno;
    std::fclose(file);
    return failure("read", path, error);
  }
  *file_size = static_cast<uint64_t>(end);
  bytes->assign(offset < *file_size ? std::min<uint64_t>(size, *file_size - offset) : 0, '\0');
  const size_t got = bytes->empty() ? 0 : std::fread(&(*bytes)[0], 1, bytes->size(), file);
  const int error = errno;
  const bool failed = std::ferror(file) != 0 || got != bytes->size();
  std::fclose(file);
  if (failed) return failure("read", path, error);
  return Status::Ok();
}

Status make_executable(const std::string& path) {
#ifdef _WIN32
  (void)path;  // Windows runs a file by its name
  return Status::Ok();
#else
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return failure("read", path, errno);
  const mode_t readable = info.st_mode & (S_IRUSR | S_IRGRP | S_IROTH);
  // Whoever may read it may run it.
  if (chmod(path.c_str(), info.st_mode | readable >> 2) != 0) return failure("write", path, errno);
  return Status::Ok();
#endif
}
