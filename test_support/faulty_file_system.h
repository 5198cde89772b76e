// A file system for tests: it passes every operation on to another one, except those a test
// makes fail, as a full disk or a failing drive would.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/file_system.h"

// The kinds of file operation; each write of a piece is one kWrite.
enum class FileOperation {
  kCreate,
  kOpen,
  kWrite,
  kReserve,
  kClose,
  kRead,
  kRename,
  kRemove,
  kStat,
  kList,
  kMakeFolder,
  kMakeExecutable,
  kLock,
  kOwnPath
};

// Asked before each operation with its kind and its path (for a rename the file replaced, for
// a write or a close the file written; none for the program's own path): a non-zero errno value
// makes that operation fail with it, without it being made. A lock that fails says so as the
// system's would: "cannot lock <path>: <reason>".
using FaultChooser = std::function<int(FileOperation operation, const std::string& path)>;

class FaultyFileSystem : public FileSystem {
 public:
  // `chooser` is asked one call at a time, from whichever thread makes the operation.
  FaultyFileSystem(FileSystem& real, FaultChooser chooser)
      : real_(real), chooser_(std::move(chooser)) {}

  std::error_code create_new_file(const std::string& path,
                                  std::unique_ptr<WritableFile>* file) override;
  std::error_code open_for_reading(const std::string& path,
                                   std::unique_ptr<ReadableFile>* file) override;
  std::error_code rename_over(const std::string& from, const std::string& to) override;
  std::error_code remove_file(const std::string& path) override;
  std::error_code stat_path(const std::string& path, bool* directory) override;
  std::error_code inspect_name(const std::string& path, bool* link, std::string* target) override;
  std::error_code list_directory(const std::string& directory,
                                 std::vector<std::string>* names) override;
  std::error_code make_folder(const std::string& path) override;
  std::error_code make_executable(const std::string& path) override;
  std::error_code may_write(const std::string& path, bool* may) override;
  Status lock_file(const std::string& path, int wait_milliseconds,
                   const std::vector<std::string>* removed_on_signal,
                   std::unique_ptr<FileLock>* lock) override;
  std::error_code own_executable_path(std::string* path) override;

  // The failure `chooser` picks for this operation, or none.
  std::error_code fault(FileOperation operation, const std::string& path);

 private:
  FileSystem& real_;
  std::mutex mutex_;
  FaultChooser chooser_;
};

// Makes the `n`th operation (from 1) fail whose failure ends a run: writes and reservations with
// "No space left on device", the others with "Input/output error"; 0 makes none fail. Looking
// at a path or listing a directory does not count: callers take their failure for "nothing
// there".
FaultChooser fail_the_nth_operation(int n);
