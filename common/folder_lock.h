// One run at a time on a scenario's files in a folder. A run holds the lock from before it
// writes (or, for the authors' tool, reads) its first file until it has written its last, so
// that two runs started together never interleave: the second waits for the first to end. The
// lock is held by the operating system for the open lock file, so a process that dies, even by
// kill -9, lets it go.
#pragma once

#include <string>

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

  // Takes the lock file at `path`, created when missing, waiting up to `wait_milliseconds`
  // while another process holds it. Fails with one line for the user when it is still held
  // then (naming the folder), or with the file's name and the system's reason when the lock
  // file cannot be made.
  Status acquire(const std::string& path, int wait_milliseconds);

  // Lets the lock go and deletes the lock file, so that a complete run leaves none behind.
  // Nothing when not held.
  void release();

  bool held() const;

 private:
  std::string path_;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};
