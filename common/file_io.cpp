#include "common/file_io.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include "common/windows_text.h"
#endif

namespace {

// The C library's file calls, by UTF-8 path; on Windows through the wide-character API, so
// that any folder name works.
#ifdef _WIN32
std::FILE* open_path(const std::string& path, const char* mode) {
  return _wfopen(to_wide(path).c_str(), to_wide(mode).c_str());
}
int remove_path(const std::string& path) {
  return _wremove(to_wide(path).c_str());
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
bool stat_path(const std::string& path, bool* directory) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  *directory = S_ISDIR(info.st_mode);
  return true;
}
#endif

Status failure(const char* action, const std::string& path, int error) {
  return Status::Error(std::string("cannot ") + action + " " + path + ": " + std::strerror(error));
}

}  // namespace

Status touch_file(const std::string& path) {
  std::FILE* file = open_path(path, "ab");
  if (file == nullptr) return failure("create", path, errno);
  if (std::fclose(file) != 0) return failure("create", path, errno);
  return Status::Ok();
}

Status delete_file(const std::string& path) {
  if (remove_path(path) != 0) return failure("delete", path, errno);
  return Status::Ok();
}

Status write_new_file(const std::string& path, const std::string& bytes) {
  std::FILE* file = open_path(path, "wb");
  if (file == nullptr) return failure("create", path, errno);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const int write_error = errno;
  // fclose flushes the buffer: a full disk may only show up here.
  const bool closed = std::fclose(file) == 0;
  const int close_error = errno;
  if (!written) return failure("write", path, write_error);
  if (!closed) return failure("write", path, close_error);
  return Status::Ok();
}

Status replace_file(const std::string& path, const std::string& bytes) {
  Status status = touch_file(path);
  if (status.ok()) status = delete_file(path);
  if (status.ok()) status = write_new_file(path, bytes);
  return status;
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
  std::FILE* file = open_path(path, "rb");
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
