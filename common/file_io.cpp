#include "common/file_io.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "common/windows_text.h"
#endif

namespace {

FileFaultHook g_fault_hook = nullptr;

// Whether the test seam makes this operation fail; sets errno when it does.
bool injected_fault(FileOperation operation, const std::string& path) {
  if (g_fault_hook == nullptr) return false;
  const int error = g_fault_hook(operation, path);
  if (error == 0) return false;
  errno = error;
  return true;
}

// The C library's file calls, by UTF-8 path; on Windows through the wide-character API, so
// that any folder name works.
#ifdef _WIN32
std::FILE* open_path(const std::string& path, const char* mode) {
  return _wfopen(to_wide(path).c_str(), to_wide(mode).c_str());
}
int remove_path(const std::string& path) {
  return _wremove(to_wide(path).c_str());
}
int rename_path(const std::string& from, const std::string& to) {
  if (MoveFileExW(to_wide(from).c_str(), to_wide(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return 0;
  }
  errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  return -1;
}
bool stat_path(const std::string& path, bool* directory) {
  struct _stat64 info;
  if (_wstat64(to_wide(path).c_str(), &info) != 0) return false;
  *directory = (info.st_mode & _S_IFDIR) != 0;
  return true;
}
#else
std::FILE* open_path(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}
int remove_path(const std::string& path) {
  return std::remove(path.c_str());
}
int rename_path(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str());
}
bool stat_path(const std::string& path, bool* directory) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  *directory = S_ISDIR(info.st_mode);
  return true;
}
#endif

std::FILE* open_file(const std::string& path, const char* mode) {
  if (injected_fault(FileOperation::kOpen, path)) return nullptr;
  return open_path(path, mode);
}

Status failure(const char* action, const std::string& path, int error) {
  return Status::Error(std::string("cannot ") + action + " " + path + ": " + std::strerror(error));
}

// Writes the pieces of `produce` to a new file at `path`; on failure the file is removed again.
Status write_whole_file(const std::string& path, const std::string& shown_path,
                        const std::function<bool(const PieceWriter&)>& produce) {
  std::FILE* file = open_file(path, "wb");
  if (file == nullptr) return failure("create", shown_path, errno);
  bool written = !injected_fault(FileOperation::kWrite, path);
  int error = errno;
  if (written) {
    written = produce([file, &error](const char* data, size_t size) {
      if (std::fwrite(data, 1, size, file) == size) return true;
      error = errno;
      return false;
    });
  }
  // fclose flushes the buffer: a full disk may only show up here.
  const bool closed = std::fclose(file) == 0;
  if (written && !closed) error = errno;
  if (!written || !closed) {
    remove_path(path);
    return failure("write", shown_path, error);
  }
  return Status::Ok();
}

}  // namespace

void set_file_fault_hook(FileFaultHook hook) {
  g_fault_hook = hook;
}

std::string temporary_path_for(const std::string& path) {
  return path + ".scenario-tmp";
}

Status replace_file(const std::string& path, const std::string& bytes) {
  return replace_file_in_pieces(
      path, [&bytes](const PieceWriter& write) { return write(bytes.data(), bytes.size()); });
}

Status replace_file_in_pieces(const std::string& path,
                              const std::function<bool(const PieceWriter& write)>& produce) {
  const std::string temporary = temporary_path_for(path);
  Status status = write_whole_file(temporary, path, produce);
  if (!status.ok()) return status;
  if (injected_fault(FileOperation::kRename, path) || rename_path(temporary, path) != 0) {
    const int error = errno;
    remove_path(temporary);
    return failure("replace", path, error);
  }
  return Status::Ok();
}

Status delete_file(const std::string& path) {
  if (injected_fault(FileOperation::kDelete, path) || remove_path(path) != 0) {
    return failure("delete", path, errno);
  }
  return Status::Ok();
}

bool file_exists(const std::string& path) {
  bool directory;
  return stat_path(path, &directory);
}

bool is_regular_file(const std::string& path) {
  bool directory;
  return stat_path(path, &directory) && !directory;
}

Status read_file(const std::string& path, std::string* bytes) {
  std::FILE* file = open_file(path, "rb");
  if (file == nullptr) return failure("read", path, errno);
  bytes->clear();
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) return failure("read", path, error);
  return Status::Ok();
}
