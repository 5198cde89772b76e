#include "common/file_io.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

Status failure(const char* action, const std::string& path, int error) {
  return Status::Error(std::string("cannot ") + action + " " + path + ": " + std::strerror(error));
}

}  // namespace

Status touch_file(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) return failure("create", path, errno);
  if (std::fclose(file) != 0) return failure("create", path, errno);
  return Status::Ok();
}

Status delete_file(const std::string& path) {
  if (std::remove(path.c_str()) != 0) return failure("delete", path, errno);
  return Status::Ok();
}

Status write_new_file(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
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
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

bool is_regular_file(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

Status read_file(const std::string& path, std::string* bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
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
