// The file system on POSIX systems: file descriptors, errno and strerror's reasons.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <limits>
#include <vector>

#include "common/file_path.h"
#include "common/file_system.h"
#include "common/platform_file_lock.h"

namespace {

std::error_code last_error() {
  return std::error_code(errno, std::generic_category());
}

// Whether `offset` and `size` fit the system's file offsets.
bool fits(uint64_t offset, size_t size) {
  const uint64_t max = uint64_t(std::numeric_limits<off_t>::max());
  return offset <= max && size <= max - offset;
}

class PosixWritableFile : public WritableFile {
 public:
  explicit PosixWritableFile(int fd) : fd_(fd) {}
  ~PosixWritableFile() override { close(); }

  std::error_code write_at(uint64_t offset, const char* data, size_t size) override {
    if (!fits(offset, size)) return std::make_error_code(std::errc::file_too_large);
    while (size > 0) {
      const ssize_t done = pwrite(fd_, data, size, static_cast<off_t>(offset));
      if (done < 0) {
        if (errno == EINTR) continue;
        return last_error();
      }
      data += done;
      size -= size_t(done);
      offset += uint64_t(done);
    }
    return {};
  }

  // On Linux file systems, writing into blocks taken beforehand is also markedly faster than
  // having them allocated as the writes come.
  std::error_code reserve(uint64_t size) override {
#ifdef __linux__
    if (size == 0 || size > uint64_t(std::numeric_limits<off_t>::max())) return {};
    if (fallocate(fd_, 0, 0, static_cast<off_t>(size)) == 0) return {};
    // Anything else means the file system cannot reserve: the file grows as it is written.
    if (errno == ENOSPC || errno == EFBIG || errno == EDQUOT) return last_error();
#else
    (void)size;
#endif
    return {};
  }

  std::error_code close() override {
    if (fd_ < 0) return {};
    const int fd = fd_;
    fd_ = -1;
    // A close interrupted by a signal has closed the descriptor all the same on Linux.
    if (::close(fd) != 0 && errno != EINTR) return last_error();
    return {};
  }

 private:
  int fd_;
};

class PosixReadableFile : public ReadableFile {
 public:
  PosixReadableFile(int fd, bool regular, uint64_t size) : ReadableFile(regular, size), fd_(fd) {}
  ~PosixReadableFile() override { close(fd_); }

  std::error_code read_at(uint64_t offset, char* buffer, size_t size, size_t* got) override {
    *got = 0;
    if (!fits(offset, size)) return {};
    for (;;) {
      const ssize_t done = pread(fd_, buffer, size, static_cast<off_t>(offset));
      if (done >= 0) {
        *got = size_t(done);
        return {};
      }
      if (errno != EINTR) return last_error();
    }
  }

 private:
  int fd_;
};

class PosixFileSystem : public FileSystem {
 public:
  // O_EXCL with O_NOFOLLOW: nothing already at the name is opened, a link included.
  std::error_code create_new_file(const std::string& path,
                                  std::unique_ptr<WritableFile>* file) override {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return last_error();
    file->reset(new PosixWritableFile(fd));
    return {};
  }

  // O_NONBLOCK: a FIFO is opened without waiting for a writer, and found out by fstat.
  std::error_code open_for_reading(const std::string& path,
                                   std::unique_ptr<ReadableFile>* file) override {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return last_error();
    struct stat info;
    if (fstat(fd, &info) != 0) {
      const std::error_code error = last_error();
      close(fd);
      return error;
    }
    const uint64_t size = info.st_size < 0 ? 0 : uint64_t(info.st_size);
    file->reset(new PosixReadableFile(fd, S_ISREG(info.st_mode), size));
    return {};
  }

  std::error_code rename_over(const std::string& from, const std::string& to) override {
    if (rename(from.c_str(), to.c_str()) != 0) return last_error();
    return {};
  }

  std::error_code remove_file(const std::string& path) override {
    if (unlink(path.c_str()) != 0) return last_error();
    return {};
  }

  std::error_code stat_path(const std::string& path, bool* directory) override {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return last_error();
    *directory = S_ISDIR(info.st_mode);
    return {};
  }

  std::error_code inspect_name(const std::string& path, bool* link, std::string* target) override {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return last_error();
    *link = S_ISLNK(info.st_mode);
    target->clear();
    if (!*link) return {};
    // A link's size is the length of what it holds, unless the file system says 0 (/proc): the
    // buffer grows until the text fits with room to spare.
    std::vector<char> buffer(size_t(info.st_size > 0 && info.st_size < 65536 ? info.st_size : 255) +
                             1);
    for (;;) {
      const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
      if (length < 0) return {};
      if (size_t(length) < buffer.size()) {
        target->assign(buffer.data(), size_t(length));
        return {};
      }
      if (buffer.size() >= 65536) return {};
      buffer.resize(buffer.size() * 2);
    }
  }

  std::error_code list_directory(const std::string& directory,
                                 std::vector<std::string>* names) override {
    names->clear();
    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr) return last_error();
    while (const struct dirent* entry = readdir(listing)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names->push_back(name);
    }
    closedir(listing);
    return {};
  }

  std::error_code may_write(const std::string& path, bool* may) override {
    // A file its owner may not write is read-only, for root too (who may write anything), as
    // Windows's read-only attribute is.
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return last_error();
    *may = (info.st_mode & S_IWUSR) != 0 && access(path.c_str(), W_OK) == 0;
    if (*may || errno == EACCES || errno == EROFS || errno == EPERM) return {};
    return last_error();
  }

  std::error_code make_folder(const std::string& path) override {
    // mkdir never follows a link at the name, not even one whose target is missing.
    if (mkdir(path.c_str(), 0777) != 0) return last_error();
    return {};
  }

  std::error_code make_executable(const std::string& path) override {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return last_error();
    const mode_t readable = info.st_mode & (S_IRUSR | S_IRGRP | S_IROTH);
    // Whoever may read it may run it.
    if (chmod(path.c_str(), info.st_mode | readable >> 2) != 0) return last_error();
    return {};
  }

  Status lock_file(const std::string& path, int wait_milliseconds,
                   const std::vector<std::string>* removed_on_signal,
                   std::unique_ptr<FileLock>* lock) override {
    return take_file_lock(path, wait_milliseconds, removed_on_signal, lock);
  }

  // The kernel keeps the executable's own path.
  std::error_code own_executable_path(std::string* path) override {
    std::vector<char> buffer(256);
    for (;;) {
      const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
      if (length < 0) return last_error();
      if (static_cast<size_t>(length) < buffer.size()) {
        *path = std::string(buffer.data(), static_cast<size_t>(length));
        return {};
      }
      buffer.resize(buffer.size() * 2);
    }
  }
};

}  // namespace

const char kPathSeparator = '/';

std::string absolute_path(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  std::vector<char> cwd(4096);
  while (getcwd(cwd.data(), cwd.size()) == nullptr) {
    if (errno != ERANGE || cwd.size() >= (size_t(1) << 20)) return path;
    cwd.resize(cwd.size() * 2);
  }
  std::string folder(cwd.data());
  return folder + (folder.back() == '/' ? "" : "/") + path;
}

FileSystem& platform_file_system() {
  static PosixFileSystem files;
  return files;
}

std::error_code last_system_error() {
  return last_error();
}

unsigned long current_process_id() {
  return static_cast<unsigned long>(getpid());
}

void report_oversized_writes_as_failures() {
  std::signal(SIGXFSZ, SIG_IGN);
}
