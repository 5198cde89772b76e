// Folders compared on POSIX systems: by device and inode, which stat() gives after following
// every link on the way.
#include <sys/stat.h>

#include "common/file_system.h"
#include "common/people_text.h"
#include "common/same_folder.h"

namespace {

Status folder_at(const std::string& path, struct stat* info) {
  if (stat(path.c_str(), info) != 0) {
    const std::error_code error = last_system_error();
    // TRANSLATORS: {2} is the system's reason.
    return Status::Error(people_text("cannot open the folder {1}: {2}", {path, error.message()}));
  }
  if (!S_ISDIR(info->st_mode)) return Status::Error(people_text("{1} is not a folder", {path}));
  return Status::Ok();
}

}  // namespace

Status same_folder(const std::string& a, const std::string& b, bool* same) {
  struct stat first, second;
  Status status = folder_at(a, &first);
  if (status.ok()) status = folder_at(b, &second);
  if (!status.ok()) return status;
  *same = first.st_dev == second.st_dev && first.st_ino == second.st_ino;
  return Status::Ok();
}
