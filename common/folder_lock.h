// One run at a time in a folder. A run holds the lock from before it writes (or, for the
// authors' tool, reads) its first file until it has written its last, so that two runs started
// together never interleave: the second waits for the first to end. The lock is held by the
// operating system for the open lock file, so a process that dies, even by kill -9, lets it go.
// The lock file is only ever a regular file: anything else at its name (a link, a FIFO, a
// socket, a directory, a device) is refused, never followed, and left where it is. The lock
// itself is the file system's (FileSystem::lock_file); this is the run's hold on it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/status.h"

// How long a run waits for another one working in the same folder before it gives up: far
// longer than a run takes (milliseconds for the shipped scenario, about a second for a source
// of 100 MB), short enough for a user who started the program twice.
constexpr int kLockWaitMilliseconds = 5000;

class FolderLock {
 public:
  FolderLock() = default;
  ~FolderLock() { release(); }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Takes the lock file at `path` on `files`, created when missing, waiting up to
  // `wait_milliseconds` while another process holds it. A lock file that another user left is
  // taken too, even when this one may not write it. Fails with one line for the user when it is
  // still held then (naming the folder), when something other than a regular file is at the
  // name (saying what it is), or with the file's name and the system's reason when the lock
  // file cannot be made.
  Status acquire(FileSystem& files, const std::string& path, int wait_milliseconds);
  Status acquire(const std::string& path, int wait_milliseconds) {
    return acquire(platform_file_system(), path, wait_milliseconds);
  }

  // Lets the lock go and deletes the lock file (when the name still leads to the file held, and
  // the system lets this user delete it), so that a complete run leaves none behind. Nothing
  // when not held.
  void release() { held_.reset(); }

  bool held() const { return held_ != nullptr; }

  // Asked before acquire(): on POSIX, while the lock is held, a SIGTERM, SIGINT or SIGHUP
  // deletes the lock file (only when its name still leads to the file held) and whatever is at
  // the paths `also_removed` (the run's own temporary files), then ends the process as the
  // signal would have. A signal the process ignores stays ignored. One lock of the process at a
  // time asks for it. On Windows nothing is needed: the system closes the lock file of a process
  // that ends, and it goes with its last handle.
  void clean_up_on_signals(std::vector<std::string> also_removed);

  // What a run that writes the files `written` in `directory` does before it writes: asks that
  // a signal take their first temporary files with the lock file, takes the folder's lock file
  // (lock_file_name()), and, holding it, clears away the temporaries of those files that a
  // killed run left. Fails as acquire() does.
  Status hold_for_writing(FileSystem& files, const std::string& directory,
                          const std::vector<std::string>& written, int wait_milliseconds);
  Status hold_for_writing(const std::string& directory, const std::vector<std::string>& written,
                          int wait_milliseconds) {
    return hold_for_writing(platform_file_system(), directory, written, wait_milliseconds);
  }

 private:
  std::vector<std::string> removed_on_signal_;
  bool clean_up_on_signals_ = false;
  std::unique_ptr<FileLock> held_;
};
