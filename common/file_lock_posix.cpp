// The lock file on POSIX systems: flock() on a file opened without following links, and the
// clean-up a signal that ends the run makes while the lock is held.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "common/people_text.h"
#include "common/platform_file_lock.h"

namespace {

using Clock = std::chrono::steady_clock;

// What a thing at the lock file's name is, in the user's words; null for a regular file.
const char* kind_of(mode_t mode) {
  if (S_ISREG(mode)) return nullptr;
  if (S_ISLNK(mode)) return tr_mark("a symbolic link");
  if (S_ISDIR(mode)) return tr_mark("a directory");
  if (S_ISFIFO(mode)) return tr_mark("a FIFO");
  if (S_ISSOCK(mode)) return tr_mark("a socket");
  return tr_mark("a device");
}

// Why the lock file could not be opened with `error`: what stands at its name when that is no
// regular file (a link gives "too many levels of symbolic links", a socket "no such device or
// address", which say nothing useful), else the system's reason.
Status open_failure(const std::string& path, int error) {
  struct stat at_name;
  if (lstat(path.c_str(), &at_name) == 0) {
    if (const char* kind = kind_of(at_name.st_mode)) return not_a_lock_file(path, kind);
  }
  return lock_failure(tr_mark("cannot create {1}: {2}"), path, error);
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the open `fd` is the file at `path`: both calls are async-signal-safe.
bool names_the_file(const char* path, int fd) {
  struct stat held, named;
  return fstat(fd, &held) == 0 && lstat(path, &named) == 0 && same_file(held, named);
}

constexpr int kCleanedSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kCleanedSignalCount = sizeof kCleanedSignals / sizeof kCleanedSignals[0];

// What the signal handler works from: set while it cannot run (lock_fd is -1 and the signals
// are blocked), only read by it. The handler neither allocates nor takes a lock.
struct SignalCleanup {
  // The held lock file, while the handler is to delete it; -1 otherwise.
  std::atomic<int> lock_fd{-1};
  const char* lock_path = nullptr;
  std::vector<const char*> also_removed;
  struct sigaction previous[kCleanedSignalCount];
  bool replaced[kCleanedSignalCount] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "read in a signal handler");
SignalCleanup signal_cleanup;

void clean_up_and_end(int signal_number) {
  const int fd = signal_cleanup.lock_fd.load();
  if (fd >= 0) {
    // Only the run's own lock file: the name may lead to another run's by now.
    if (names_the_file(signal_cleanup.lock_path, fd)) unlink(signal_cleanup.lock_path);
    for (const char* path : signal_cleanup.also_removed) unlink(path);
  }
  // Then the end the signal would have brought: its default action, at once.
  signal(signal_number, SIG_DFL);
  sigset_t just_this;
  sigemptyset(&just_this);
  sigaddset(&just_this, signal_number);
  pthread_sigmask(SIG_UNBLOCK, &just_this, nullptr);
  raise(signal_number);
}

// Holds back the signals that end a run cleanly while the lock changes hands, so that none
// comes between taking the lock and telling the handler (or between the two on the way out).
class SignalsHeldBack {
 public:
  explicit SignalsHeldBack(bool wanted) : wanted_(wanted) {}
  ~SignalsHeldBack() { let_go(); }
  void hold() {
    if (!wanted_ || holding_) return;
    sigset_t cleaned;
    sigemptyset(&cleaned);
    for (int signal_number : kCleanedSignals) sigaddset(&cleaned, signal_number);
    holding_ = pthread_sigmask(SIG_BLOCK, &cleaned, &before_) == 0;
  }
  void let_go() {
    if (!holding_) return;
    pthread_sigmask(SIG_SETMASK, &before_, nullptr);
    holding_ = false;
  }

 private:
  bool wanted_;
  bool holding_ = false;
  sigset_t before_;
};

// A held lock: the open lock file, flocked, and with it, when asked, the signal handler that
// deletes it.
class PosixFileLock : public FileLock {
 public:
  // Called with the signals held back when `removed_on_signal` is given.
  PosixFileLock(int fd, std::string path, const std::vector<std::string>* removed_on_signal)
      : fd_(fd), path_(std::move(path)) {
    if (removed_on_signal != nullptr) {
      removed_on_signal_ = *removed_on_signal;
      arm_signal_handler();
    }
  }

  // Deleted while still locked, and only when the name still leads to the file held: a run
  // that opens the name afterwards gets a new file. Another user's lock file in a sticky
  // folder cannot be deleted, and stays: harmless, as the lock is the flock, not the file.
  ~PosixFileLock() override {
    if (names_the_file(path_.c_str(), fd_)) unlink(path_.c_str());
    if (armed_) disarm_signal_handler();
    close(fd_);
  }

 private:
  void arm_signal_handler() {
    signal_cleanup.lock_path = path_.c_str();
    signal_cleanup.also_removed.clear();
    for (const std::string& path : removed_on_signal_) {
      signal_cleanup.also_removed.push_back(path.c_str());
    }
    struct sigaction action = {};
    action.sa_handler = clean_up_and_end;
    sigemptyset(&action.sa_mask);
    for (int signal_number : kCleanedSignals) sigaddset(&action.sa_mask, signal_number);
    for (int i = 0; i < kCleanedSignalCount; ++i) {
      struct sigaction& previous = signal_cleanup.previous[i];
      signal_cleanup.replaced[i] = sigaction(kCleanedSignals[i], nullptr, &previous) == 0 &&
                                   previous.sa_handler != SIG_IGN &&
                                   sigaction(kCleanedSignals[i], &action, nullptr) == 0;
    }
    signal_cleanup.lock_fd.store(fd_);
    armed_ = true;
  }

  void disarm_signal_handler() {
    SignalsHeldBack signals(true);
    signals.hold();
    signal_cleanup.lock_fd.store(-1);
    for (int i = 0; i < kCleanedSignalCount; ++i) {
      if (signal_cleanup.replaced[i]) {
        sigaction(kCleanedSignals[i], &signal_cleanup.previous[i], nullptr);
      }
    }
  }

  int fd_;
  std::string path_;
  std::vector<std::string> removed_on_signal_;
  bool armed_ = false;
};

}  // namespace

// The lock is flock() on the lock file. Its holder deletes the file before letting it go, so a
// waiter may end up holding a file that no longer has a name; it then checks that the name
// still leads to the file it holds, and starts again with the new file when it does not.
Status take_file_lock(const std::string& path, int wait_milliseconds,
                      const std::vector<std::string>* removed_on_signal,
                      std::unique_ptr<FileLock>* lock) {
  lock->reset();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait_milliseconds);
  SignalsHeldBack signals(removed_on_signal != nullptr);
  int vanished = 0;
  for (;;) {
    // No link followed, and no wait on a FIFO put at the name; the file's mode is the user's
    // umask's, so that others sharing the folder may open it too.
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    int error = fd < 0 ? errno : 0;
    if (error == EACCES) {
      // A lock file another user left, which this one may not write (in a sticky folder, may
      // not even open to create): flock needs no write access.
      fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0 && errno == ENOENT) {
        // Deleted in between: made anew. Missing every time: no right to make it.
        if (++vanished < kLockFileVanishings) continue;
      } else {
        error = fd < 0 ? errno : 0;
      }
    }
    if (fd < 0) return open_failure(path, error);
    struct stat opened;
    if (fstat(fd, &opened) != 0) {
      error = errno;
      close(fd);
      return lock_failure(tr_mark("cannot lock {1}: {2}"), path, error);
    }
    if (const char* kind = kind_of(opened.st_mode)) {
      close(fd);
      return not_a_lock_file(path, kind);
    }
    for (;;) {
      signals.hold();
      if (flock(fd, LOCK_EX | LOCK_NB) == 0) break;
      error = errno;
      signals.let_go();
      if (error != EWOULDBLOCK && error != EINTR) {
        close(fd);
        return lock_failure(tr_mark("cannot lock {1}: {2}"), path, error);
      }
      if (Clock::now() >= deadline) {
        close(fd);
        return lock_busy(path);
      }
      std::this_thread::sleep_for(kLockPoll);
    }
    if (names_the_file(path.c_str(), fd)) {
      try {
        lock->reset(new PosixFileLock(fd, path, removed_on_signal));
      } catch (...) {
        // Out of memory for the hold itself: the lock goes as a release would let it go.
        if (names_the_file(path.c_str(), fd)) unlink(path.c_str());
        close(fd);
        throw;
      }
      return Status::Ok();
    }
    signals.let_go();
    close(fd);
  }
}
