#include "common/folder_lock.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "common/file_path.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "common/windows_text.h"
#else
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#endif

namespace {

using Clock = std::chrono::steady_clock;

// How often a waiting run looks again.
constexpr std::chrono::milliseconds kPoll(10);

// How many times in a row the lock file's name may seem to be there and then not: a holder
// deleting the file between two looks makes it seem so once; a link that leads nowhere does
// every time.
constexpr int kVanishings = 3;

Status busy(const std::string& path) {
  return Status::Error("another run is already working in " + directory_of(path) +
                       ": try again when it has finished");
}

Status failure(const char* action, const std::string& path, int error) {
  return Status::Error(std::string("cannot ") + action + " " + path + ": " + std::strerror(error));
}

// Something at the lock file's name that is no regular file: the run neither follows it nor
// deletes it, and says what the user can do.
Status not_a_lock_file(const std::string& path, const char* kind) {
  return Status::Error("cannot lock " + path + ": it is " + kind + ": remove it");
}

}  // namespace

void FolderLock::clean_up_on_signals(std::vector<std::string> also_removed) {
  removed_on_signal_ = std::move(also_removed);
  clean_up_on_signals_ = true;
}

#ifdef _WIN32

namespace {

// The path the system gives an open file or folder, its links resolved; empty when it gives
// none.
std::wstring final_path(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFinalPathNameByHandleW(handle, path.data(), DWORD(path.size()), FILE_NAME_NORMALIZED);
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    // Too short: `length` is the size needed, its terminating null included.
    path.resize(length);
  }
}

// Whether the open file is the one at `path` itself. Wine follows a Unix symbolic link even
// when asked not to and shows the file it leads to as a plain file, so the path the system
// gives the open file is compared with the one it gives the folder, followed by the name asked
// for. When the system gives no path, the file's attributes have already answered.
bool opened_by_its_own_name(HANDLE file, const std::string& path) {
  const HANDLE folder =
      CreateFileW(to_wide(directory_of(path) + "\\").c_str(), FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return true;
  std::wstring expected = final_path(folder);
  CloseHandle(folder);
  const std::wstring opened = final_path(file);
  if (expected.empty() || opened.empty()) return true;
  if (expected.back() != L'\\') expected += L'\\';
  expected += to_wide(file_name_of(path));
  return CompareStringOrdinal(opened.c_str(), int(opened.size()), expected.c_str(),
                              int(expected.size()), TRUE) == CSTR_EQUAL;
}

// What the open file at `path` is, in the user's words, when it is no regular file; null for
// a regular file.
const char* kind_of_open(HANDLE file, const std::string& path) {
  switch (GetFileType(file)) {
    case FILE_TYPE_DISK:
      break;
    case FILE_TYPE_PIPE:
      return "a FIFO";
    default:
      return "a device";
  }
  FILE_ATTRIBUTE_TAG_INFO tag = {};
  if (GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag)) {
    // Opened as itself, a reparse point shows its tag: a link or junction names another file.
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      if (tag.ReparseTag == IO_REPARSE_TAG_AF_UNIX) return "a socket";
      if (IsReparseTagNameSurrogate(tag.ReparseTag)) return "a symbolic link";
    }
    if ((tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "a directory";
  }
  if (!opened_by_its_own_name(file, path)) return "a symbolic link";
  return nullptr;
}

// ERROR_NO_SUCH_DEVICE, which not every SDK names: Wine's answer for opening a Unix socket,
// which no Windows file system holds as such.
constexpr DWORD kNoSuchDevice = 433;

// What is at `wide`, which could not be opened with `error`, when it is no regular file; null
// otherwise.
const char* kind_at(const std::wstring& wide, DWORD error) {
  if (error == kNoSuchDevice) return "a socket";
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return nullptr;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return "a symbolic link";
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "a directory";
  return nullptr;
}

}  // namespace

// The lock is the lock file opened with no sharing at all: while one process has it open, any
// other's open fails with a sharing violation. It is opened as itself, never through a link
// (FILE_FLAG_OPEN_REPARSE_POINT), and only once it is known to be a regular file is it marked
// for deletion, by its handle: it goes when its holder closes it or dies, so no lock file stays
// behind and a waiter creates a new one, and nothing a link leads to is ever deleted.
Status FolderLock::acquire(const std::string& path, int wait_milliseconds) {
  release();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait_milliseconds);
  // A file being deleted by its last holder refuses opens for a moment with "access denied";
  // for longer than this, the denial is real (a read-only folder).
  const Clock::time_point denials_end = Clock::now() + std::chrono::milliseconds(200);
  const std::wstring wide = to_wide(path);
  const DWORD access = GENERIC_READ | GENERIC_WRITE | DELETE;
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
  int vanished = 0;
  for (;;) {
    // Made new where nothing is at the name; opened as it is otherwise. Never OPEN_ALWAYS:
    // Wine would create the file a dangling link leads to.
    HANDLE handle = CreateFileW(wide.c_str(), access, 0, nullptr, CREATE_NEW, flags, nullptr);
    DWORD error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
      handle = CreateFileW(wide.c_str(), access, 0, nullptr, OPEN_EXISTING, flags, nullptr);
      error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
      // Too there to be made and too missing to be opened: a holder deleted it in between, or,
      // every time, a link that leads nowhere.
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        if (++vanished < kVanishings) continue;
        return not_a_lock_file(path, "a symbolic link");
      }
    }
    if (handle != INVALID_HANDLE_VALUE) {
      if (const char* kind = kind_of_open(handle, path)) {
        CloseHandle(handle);
        return not_a_lock_file(path, kind);
      }
      FILE_DISPOSITION_INFO disposition = {};
      disposition.DeleteFile = TRUE;
      if (!SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition)) {
        CloseHandle(handle);
        return failure("lock", path, EIO);
      }
      handle_ = handle;
      path_ = path;
      return Status::Ok();
    }
    const Clock::time_point now = Clock::now();
    if (error == ERROR_SHARING_VIOLATION) {
      if (now >= deadline) return busy(path);
    } else if (const char* kind = kind_at(wide, error)) {
      return not_a_lock_file(path, kind);
    } else if (error != ERROR_ACCESS_DENIED || now >= denials_end) {
      const int code = error == ERROR_ACCESS_DENIED                                     ? EACCES
                       : error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND ? ENOENT
                                                                                        : EIO;
      return failure("create", path, code);
    }
    std::this_thread::sleep_for(kPoll);
  }
}

void FolderLock::release() {
  if (handle_ == nullptr) return;
  CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool FolderLock::held() const {
  return handle_ != nullptr;
}

#else

namespace {

// What a thing at the lock file's name is, in the user's words; null for a regular file.
const char* kind_of(mode_t mode) {
  if (S_ISREG(mode)) return nullptr;
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  return "a device";
}

// Why the lock file could not be opened with `error`: what stands at its name when that is no
// regular file (a link gives "too many levels of symbolic links", a socket "no such device or
// address", which say nothing useful), else the system's reason.
Status open_failure(const std::string& path, int error) {
  struct stat at_name;
  if (lstat(path.c_str(), &at_name) == 0) {
    if (const char* kind = kind_of(at_name.st_mode)) return not_a_lock_file(path, kind);
  }
  return failure("create", path, error);
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

}  // namespace

// The lock is flock() on the lock file. Its holder deletes the file before letting it go, so a
// waiter may end up holding a file that no longer has a name; it then checks that the name
// still leads to the file it holds, and starts again with the new file when it does not.
Status FolderLock::acquire(const std::string& path, int wait_milliseconds) {
  release();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait_milliseconds);
  SignalsHeldBack signals(clean_up_on_signals_);
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
        if (++vanished < kVanishings) continue;
      } else {
        error = fd < 0 ? errno : 0;
      }
    }
    if (fd < 0) return open_failure(path, error);
    struct stat opened;
    if (fstat(fd, &opened) != 0) {
      error = errno;
      close(fd);
      return failure("lock", path, error);
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
        return failure("lock", path, error);
      }
      if (Clock::now() >= deadline) {
        close(fd);
        return busy(path);
      }
      std::this_thread::sleep_for(kPoll);
    }
    if (names_the_file(path.c_str(), fd)) {
      fd_ = fd;
      path_ = path;
      if (clean_up_on_signals_) arm_signal_handler();
      return Status::Ok();
    }
    signals.let_go();
    close(fd);
  }
}

void FolderLock::release() {
  if (fd_ < 0) return;
  // Deleted while still locked, and only when the name still leads to the file held: a run
  // that opens the name afterwards gets a new file. Another user's lock file in a sticky
  // folder cannot be deleted, and stays: harmless, as the lock is the flock, not the file.
  if (names_the_file(path_.c_str(), fd_)) unlink(path_.c_str());
  if (clean_up_on_signals_) disarm_signal_handler();
  close(fd_);
  fd_ = -1;
}

bool FolderLock::held() const {
  return fd_ >= 0;
}

// Called with the signals held back.
void FolderLock::arm_signal_handler() {
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
}

void FolderLock::disarm_signal_handler() {
  SignalsHeldBack signals(true);
  signals.hold();
  signal_cleanup.lock_fd.store(-1);
  for (int i = 0; i < kCleanedSignalCount; ++i) {
    if (signal_cleanup.replaced[i]) {
      sigaction(kCleanedSignals[i], &signal_cleanup.previous[i], nullptr);
    }
  }
}

#endif
