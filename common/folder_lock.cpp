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
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

// How often a waiting run looks again.
constexpr std::chrono::milliseconds kPoll(10);

Status busy(const std::string& path) {
  return Status::Error("another run is already working in " + directory_of(path) +
                       ": try again when it has finished");
}

Status failure(const char* action, const std::string& path, int error) {
  return Status::Error(std::string("cannot ") + action + " " + path + ": " + std::strerror(error));
}

}  // namespace

#ifdef _WIN32

// The lock is the lock file opened with no sharing at all: while one process has it open, any
// other's open fails with a sharing violation. Opened to be deleted when closed, it goes when
// its holder closes it or dies, so no lock file stays behind and a waiter creates a new one.
Status FolderLock::acquire(const std::string& path, int wait_milliseconds) {
  release();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait_milliseconds);
  // A file being deleted by its last holder refuses opens for a moment with "access denied";
  // for longer than this, the denial is real (a read-only folder, a directory at the name).
  const Clock::time_point denials_end = Clock::now() + std::chrono::milliseconds(200);
  const std::wstring wide = to_wide(path);
  for (;;) {
    const HANDLE handle =
        CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      handle_ = handle;
      path_ = path;
      return Status::Ok();
    }
    const DWORD error = GetLastError();
    const Clock::time_point now = Clock::now();
    if (error == ERROR_SHARING_VIOLATION) {
      if (now >= deadline) return busy(path);
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

// The lock is flock() on the lock file. Its holder deletes the file before letting it go, so a
// waiter may end up holding a file that no longer has a name; it then checks that the name
// still leads to the file it holds, and starts again with the new file when it does not.
Status FolderLock::acquire(const std::string& path, int wait_milliseconds) {
  release();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait_milliseconds);
  for (;;) {
    // No link followed, and no wait on a FIFO put at the name.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return failure("create", path, errno);
    struct stat opened;
    if (fstat(fd, &opened) != 0) {
      const int error = errno;
      close(fd);
      return failure("lock", path, error);
    }
    if (!S_ISREG(opened.st_mode)) {
      close(fd);
      return Status::Error("cannot lock " + path + ": not a regular file");
    }
    for (;;) {
      if (flock(fd, LOCK_EX | LOCK_NB) == 0) break;
      const int error = errno;
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
    struct stat named;
    if (lstat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
        named.st_ino == opened.st_ino) {
      fd_ = fd;
      path_ = path;
      return Status::Ok();
    }
    close(fd);
  }
}

void FolderLock::release() {
  if (fd_ < 0) return;
  // Deleted while still locked: a run that opens the name afterwards gets a new file.
  unlink(path_.c_str());
  close(fd_);
  fd_ = -1;
}

bool FolderLock::held() const {
  return fd_ >= 0;
}

#endif
