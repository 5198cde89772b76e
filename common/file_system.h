// The primitive file operations the program is built on, as an interface: one implementation
// per platform (file_system_posix.cpp, file_system_win32.cpp, chosen by the build), which
// common/file_io builds its safe replacing and bounded reading on, and which the tests wrap to
// make chosen operations fail. Paths are UTF-8. A failure is the system's error code; its
// message() is the system's own reason ("No space left on device").
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "common/status.h"

// A file open for writing. Destroying it closes it, when close() has not.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Writes all `size` bytes at `offset`. One call at a time, from any thread.
  virtual std::error_code write_at(uint64_t offset, const char* data, size_t size) = 0;
  // Takes the disk space of `size` bytes where the file system can, so that a disk too full
  // for them fails here, before anything is written; where it cannot, succeeds and takes none.
  virtual std::error_code reserve(uint64_t size) = 0;
  // Closes the file; a write the system held back may fail only here.
  virtual std::error_code close() = 0;
};

// A file open for reading, and what it was when opened. Destroying it closes it.
class ReadableFile {
 public:
  ReadableFile(bool regular, uint64_t size) : regular_(regular), size_(size) {}
  virtual ~ReadableFile() = default;
  // A regular file, not a FIFO, a device or a directory.
  bool regular() const { return regular_; }
  uint64_t size() const { return size_; }
  // Up to `size` bytes from `offset` into `buffer`; `*got` is 0 at the end of the file.
  virtual std::error_code read_at(uint64_t offset, char* buffer, size_t size, size_t* got) = 0;

 private:
  bool regular_;
  uint64_t size_;
};

// A lock held on a file, as FileSystem::lock_file takes it. Destroying it lets the lock go,
// deleting the lock file first when its name still leads to the file held (and the system lets
// this user delete it), so that a complete run leaves none behind.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // A new file at `path`, open for writing. Fails with std::errc::file_exists when anything is
  // at that name already (a file, a directory, a FIFO, a link, which is never followed).
  virtual std::error_code create_new_file(const std::string& path,
                                          std::unique_ptr<WritableFile>* file) = 0;
  // The file at `path`, open for reading; a FIFO is not waited on.
  virtual std::error_code open_for_reading(const std::string& path,
                                           std::unique_ptr<ReadableFile>* file) = 0;
  // Renames `from` to `to`, replacing the file at `to` in one step.
  virtual std::error_code rename_over(const std::string& from, const std::string& to) = 0;
  // Deletes the file at `path`; a link itself, never what it leads to; never a directory.
  virtual std::error_code remove_file(const std::string& path) = 0;
  // Whether anything is at `path` (an error when not), and whether it is a directory.
  virtual std::error_code stat_path(const std::string& path, bool* directory) = 0;
  // What is at the name `path` itself, a link there never followed: an error when nothing is
  // (a link whose target is missing is something). `*link` says whether it is a symbolic link
  // (on Windows also a junction), and `*target` is then what the link names, as it was written
  // (empty when that cannot be read).
  virtual std::error_code inspect_name(const std::string& path, bool* link,
                                       std::string* target) = 0;
  // The names of what `directory` holds, without "." and "..".
  virtual std::error_code list_directory(const std::string& directory,
                                         std::vector<std::string>* names) = 0;
  // Makes the folder `path`, its last part only: the folder that holds it must be there. Fails
  // with std::errc::file_exists when anything is at that name already (a link never followed).
  virtual std::error_code make_folder(const std::string& path) = 0;
  // Lets whoever may read the file at `path` run it (POSIX); nothing on Windows.
  virtual std::error_code make_executable(const std::string& path) = 0;
  // Whether this user may write the file at `path`: its permissions, and the owner's write
  // permission even for root (POSIX); its read-only attribute (Windows).
  virtual std::error_code may_write(const std::string& path, bool* may) = 0;
  // Takes the lock file at `path`, created when missing, waiting up to `wait_milliseconds`
  // while another process holds it; the lock is the system's, so a process that dies, even by
  // kill -9, lets it go. A lock file another user left is taken too, even when this one may not
  // write it. Only a regular file is ever a lock file: anything else at the name (a link, a
  // FIFO, a socket, a directory, a device) is refused, never followed, and left where it is.
  // Fails with one line for the user: the folder named when the lock is still held then; what
  // stands at the name when it is no regular file; else the file's name and the system's reason.
  // `removed_on_signal` (POSIX; null for none): while the lock is held, a SIGTERM, SIGINT or
  // SIGHUP deletes the lock file (only when its name still leads to the file held) and whatever
  // is at these paths, then ends the process as the signal would have; one lock of the process
  // at a time asks for it. On Windows nothing is needed: the system deletes the lock file with
  // its last handle, whenever the process ends.
  virtual Status lock_file(const std::string& path, int wait_milliseconds,
                           const std::vector<std::string>* removed_on_signal,
                           std::unique_ptr<FileLock>* lock) = 0;
  // The full path of the running program's own executable, as the system knows it: never
  // taken from argv[0] or the working directory, which may lie.
  virtual std::error_code own_executable_path(std::string* path) = 0;
};

// The process's real file system.
FileSystem& platform_file_system();

// The calling thread's last failure in a system call (errno; GetLastError on Windows), with
// the system's own reason as its message().
std::error_code last_system_error();

// The process's id, which names its temporary files.
unsigned long current_process_id();

// Makes a write past the process's file-size limit (ulimit -f) fail with "File too large", to be
// reported like any failed write, instead of ending the process silently by SIGXFSZ. Called once
// at the start of a program that writes files.
void report_oversized_writes_as_failures();
