#include "common/folder_lock.h"

#include <cstring>

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/people_text.h"
#include "common/platform_file_lock.h"
#include "common/scenario_identity.h"

Status FolderLock::acquire(FileSystem& files, const std::string& path, int wait_milliseconds) {
  release();
  return files.lock_file(path, wait_milliseconds,
                         clean_up_on_signals_ ? &removed_on_signal_ : nullptr, &held_);
}

void FolderLock::clean_up_on_signals(std::vector<std::string> also_removed) {
  removed_on_signal_ = std::move(also_removed);
  clean_up_on_signals_ = true;
}

Status FolderLock::hold_for_writing(FileSystem& files, const std::string& directory,
                                    const std::vector<std::string>& written,
                                    int wait_milliseconds) {
  clean_up_on_signals(first_temporary_paths(directory, written));
  const Status locked = acquire(files, path_in(directory, lock_file_name()), wait_milliseconds);
  if (locked.ok()) remove_leftover_temporaries(directory, written, files);
  return locked;
}

Status lock_busy(const std::string& path) {
  return Status::Error(
      people_text("another run is already working in {1}: try again when it has finished",
                  {directory_of(path)}));
}

Status lock_failure(const char* message, const std::string& path, int error) {
  return Status::Error(people_text(message, {path, std::strerror(error)}));
}

Status not_a_lock_file(const std::string& path, const char* kind) {
  // TRANSLATORS: {2} is what stands at the lock file's name: "a symbolic link", "a FIFO", ...
  return Status::Error(
      people_text("cannot lock {1}: it is {2}: remove it", {path, people_text(kind)}));
}
