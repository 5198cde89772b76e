// Folders compared on Windows: by the volume serial number and the file index of the folder a
// path opens, whatever it was spelt like (case, "..", 8.3 short names, junctions and symbolic
// links, which opening follows).
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "common/file_system.h"
#include "common/people_text.h"
#include "common/same_folder.h"
#include "common/windows_text.h"

namespace {

Status folder_at(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  // A folder opens only with backup semantics; reading its attributes is all that is asked, and
  // whoever else has it open may go on doing anything with it.
  const HANDLE folder = CreateFileW(to_wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) {
    const std::error_code error = last_system_error();
    return Status::Error(people_text("cannot open the folder {1}: {2}", {path, error.message()}));
  }
  const bool got = GetFileInformationByHandle(folder, info) != 0;
  const std::error_code error = got ? std::error_code() : last_system_error();
  CloseHandle(folder);
  if (!got) {
    return Status::Error(people_text("cannot open the folder {1}: {2}", {path, error.message()}));
  }
  if ((info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Status::Error(people_text("{1} is not a folder", {path}));
  }
  return Status::Ok();
}

}  // namespace

Status same_folder(const std::string& a, const std::string& b, bool* same) {
  BY_HANDLE_FILE_INFORMATION first, second;
  Status status = folder_at(a, &first);
  if (status.ok()) status = folder_at(b, &second);
  if (!status.ok()) return status;
  *same = first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
          first.nFileIndexHigh == second.nFileIndexHigh &&
          first.nFileIndexLow == second.nFileIndexLow;
  return Status::Ok();
}
