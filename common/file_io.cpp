#include "common/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <dirent.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>

#include "common/windows_text.h"
#endif

#include "common/file_path.h"
#include "common/piece_writer.h"

namespace {

FileFaultHook g_fault_hook = nullptr;

}  // namespace

bool injected_fault(FileOperation operation, const std::string& path) {
  if (g_fault_hook == nullptr) return false;
  const int error = g_fault_hook(operation, path);
  if (error == 0) return false;
  errno = error;
  return true;
}

namespace {

// The file calls the program makes, by UTF-8 path; on Windows through the wide-character API,
// so that any folder name works.
#ifdef _WIN32
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
// A new file at `path`, open for writing; fails with EEXIST when anything is there already
// (CREATE_NEW, which opens no existing file and follows no link).
std::FILE* create_new_file(const std::string& path) {
  const int fd =
      _wopen(to_wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
             _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) {
    const int error = errno;
    _close(fd);
    errno = error;
  }
  return file;
}
int open_for_reading(const std::string& path) {
  return _wopen(to_wide(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
bool inspect_open_file(int fd, bool* regular, uint64_t* size) {
  struct _stat64 info;
  if (_fstat64(fd, &info) != 0) return false;
  *regular = (info.st_mode & _S_IFMT) == _S_IFREG;
  *size = info.st_size < 0 ? 0 : uint64_t(info.st_size);
  return true;
}
long read_some(int fd, char* buffer, unsigned size) {
  return _read(fd, buffer, size);
}
void close_file(int fd) {
  _close(fd);
}
unsigned long process_id() {
  return GetCurrentProcessId();
}
#else
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
// A new file at `path`, open for writing; fails with EEXIST when anything is there already,
// a link included (O_EXCL, and O_NOFOLLOW where the system has it).
std::FILE* create_new_file(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    const int error = errno;
    close(fd);
    errno = error;
  }
  return file;
}
// Without waiting for a writer when `path` is a FIFO: what it is gets checked once it is open.
int open_for_reading(const std::string& path) {
  return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}
bool inspect_open_file(int fd, bool* regular, uint64_t* size) {
  struct stat info;
  if (fstat(fd, &info) != 0) return false;
  *regular = S_ISREG(info.st_mode);
  *size = info.st_size < 0 ? 0 : uint64_t(info.st_size);
  return true;
}
long read_some(int fd, char* buffer, unsigned size) {
  for (;;) {
    const ssize_t got = read(fd, buffer, size);
    if (got >= 0 || errno != EINTR) return long(got);
  }
}
void close_file(int fd) {
  close(fd);
}
unsigned long process_id() {
  return static_cast<unsigned long>(getpid());
}
#endif

// How many names a temporary file tries before the failure to create one is reported.
constexpr unsigned kTemporaryAttempts = 100;

// A new temporary file beside `path`, created by this call: a name already taken by anything
// (another process's temporary, or a link, FIFO or directory put there) is passed over for the
// next. `temporary` is the last name tried.
std::FILE* create_temporary(const std::string& path, std::string* temporary) {
  for (unsigned attempt = 0;; ++attempt) {
    *temporary = temporary_path_for(path, attempt);
    if (injected_fault(FileOperation::kOpen, *temporary)) return nullptr;
    std::FILE* file = create_new_file(*temporary);
    if (file != nullptr || errno != EEXIST || attempt + 1 == kTemporaryAttempts) return file;
  }
}

Status failure(const char* action, const std::string& path, int error) {
  return Status::Error(std::string("cannot ") + action + " " + path + ": " + std::strerror(error));
}

// How a file's bytes are put into its open temporary file (named `temporary`): false, with the
// reason in `error`, when they cannot be.
using FileFiller = std::function<bool(std::FILE* file, const std::string& temporary, int* error)>;

// Writes the file to a new temporary one beside `path`, then renames it over `path`. On failure
// the temporary file is removed again.
Status replace_through_temporary(const std::string& path, const FileFiller& fill) {
  std::string temporary;
  std::FILE* file = create_temporary(path, &temporary);
  // The name that could not be created is the one reported: it is what stands in the way.
  if (file == nullptr) return failure("create", temporary, errno);
  int error = 0;
  bool written = !injected_fault(FileOperation::kWrite, temporary);
  if (written) {
    written = fill(file, temporary, &error);
  } else {
    error = errno;
  }
  // fclose flushes the buffer: a full disk may only show up here.
  const bool closed = std::fclose(file) == 0;
  if (written && !closed) error = errno;
  if (!written || !closed) {
    remove_path(temporary);
    return failure("write", path, error);
  }
  if (injected_fault(FileOperation::kRename, path) || rename_path(temporary, path) != 0) {
    error = errno;
    remove_path(temporary);
    return failure("replace", path, error);
  }
  return Status::Ok();
}

// Reserves `size` bytes of disk for `file` where the file system can, so that a disk too full
// for it fails before anything is written, and the writes that follow only fill blocks already
// there (on Linux file systems, that is also markedly faster than allocating them as they
// come). Where it cannot, the file grows as it is written, and a full disk shows then.
bool reserve_space(std::FILE* file, uint64_t size, int* error) {
#ifdef __linux__
  if (size == 0 || size > uint64_t(std::numeric_limits<off_t>::max())) return true;
  if (fallocate(fileno(file), 0, 0, static_cast<off_t>(size)) == 0) return true;
  if (errno == ENOSPC || errno == EFBIG || errno == EDQUOT) {
    *error = errno;
    return false;
  }
#else
  (void)file;
  (void)size;
  (void)error;
#endif
  return true;
}

}  // namespace

void set_file_fault_hook(FileFaultHook hook) {
  g_fault_hook = hook;
}

std::string temporary_path_for(const std::string& path, unsigned attempt) {
  return path + ".scenario-tmp-" + std::to_string(process_id()) + "-" + std::to_string(attempt);
}

void remove_leftover_temporaries(const std::string& directory,
                                 const std::vector<std::string>& names) {
  const auto is_leftover = [&names](const std::string& entry) {
    for (const std::string& name : names) {
      const std::string prefix = name + ".scenario-tmp";
      if (entry.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
  };
#ifdef _WIN32
  for (const std::string& name : names) {
    WIN32_FIND_DATAW found;
    const HANDLE search =
        FindFirstFileW(to_wide(path_in(directory, name + ".scenario-tmp*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    do {
      const std::string entry = from_wide(found.cFileName);
      // The pattern also matches short 8.3 names: only the long name counts.
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && is_leftover(entry)) {
        DeleteFileW(to_wide(path_in(directory, entry)).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
#else
  DIR* listing = opendir(directory.c_str());
  if (listing == nullptr) return;
  while (const struct dirent* entry = readdir(listing)) {
    // unlink deletes a link itself, not what it points to, and leaves directories alone.
    if (is_leftover(entry->d_name)) unlink(path_in(directory, entry->d_name).c_str());
  }
  closedir(listing);
#endif
}

void report_oversized_writes_as_failures() {
#ifndef _WIN32
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

Status replace_file(const std::string& path, const std::string& bytes) {
  return replace_file_in_pieces(
      path, [&bytes](const PieceWriter& write) { return write(bytes.data(), bytes.size()); });
}

Status replace_file_in_pieces(const std::string& path,
                              const std::function<bool(const PieceWriter& write)>& produce) {
  const FileFiller fill = [&produce](std::FILE* file, const std::string&, int* error) {
    return produce([file, error](const char* data, size_t size) {
      if (std::fwrite(data, 1, size, file) == size) return true;
      *error = errno;
      return false;
    });
  };
  return replace_through_temporary(path, fill);
}

Status replace_file_in_placed_pieces(const std::string& path, uint64_t size,
                                     const std::function<bool(PlacedPieceSink& sink)>& produce) {
  const FileFiller fill = [&](std::FILE* file, const std::string& temporary, int* error) {
    // Pieces are large and go out whole: no need for the stream's own buffer.
    std::setvbuf(file, nullptr, _IONBF, 0);
    if (!reserve_space(file, size, error)) return false;
    BackgroundPieceWriter writer(file, temporary, size > kSecondWriterFrom);
    const bool produced = produce(writer);
    const bool written = writer.finish(error);
    // A producer only stops early when the writer refused a piece, which sets the error.
    if (!produced && written) *error = EIO;
    return produced && written;
  };
  return replace_through_temporary(path, fill);
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
  if (injected_fault(FileOperation::kOpen, path)) return failure("read", path, errno);
  const int fd = open_for_reading(path);
  if (fd < 0) return failure("read", path, errno);
  bool regular = false;
  uint64_t size = 0;
  if (!inspect_open_file(fd, &regular, &size)) {
    const int error = errno;
    close_file(fd);
    return failure("read", path, error);
  }
  const std::string too_large = "cannot read " + path + ": over " +
                                std::to_string(kMaxReadBytes >> 20) +
                                " MiB, too large for a scenario file";
  if (!regular) {
    close_file(fd);
    return Status::Error("cannot read " + path + ": not a regular file");
  }
  if (size > kMaxReadBytes) {
    close_file(fd);
    return Status::Error(too_large);
  }
  bytes->clear();
  bytes->reserve(static_cast<size_t>(size));
  char buffer[65536];
  for (;;) {
    const long got = read_some(fd, buffer, sizeof buffer);
    if (got < 0) {
      const int error = errno;
      close_file(fd);
      return failure("read", path, error);
    }
    if (got == 0) break;
    // A file that grows while it is read is held to the same bound.
    if (bytes->size() + size_t(got) > kMaxReadBytes) {
      close_file(fd);
      return Status::Error(too_large);
    }
    bytes->append(buffer, size_t(got));
  }
  close_file(fd);
  return Status::Ok();
}

Status read_file_part(const std::string& path, uint64_t offset, size_t size, std::string* bytes,
                      uint64_t* file_size) {
  if (injected_fault(FileOperation::kOpen, path)) return failure("read", path, errno);
  const int fd = open_for_reading(path);
  if (fd < 0) return failure("read", path, errno);
  bool regular = false;
  if (!inspect_open_file(fd, &regular, file_size) || !regular) {
    const int error = regular ? errno : EINVAL;
    close_file(fd);
    if (!regular) return Status::Error("cannot read " + path + ": not a regular file");
    return failure("read", path, error);
  }
  bytes->assign(offset < *file_size ? std::min<uint64_t>(size, *file_size - offset) : 0, '\0');
#ifdef _WIN32
  const bool placed = bytes->empty() || _lseeki64(fd, static_cast<int64_t>(offset), SEEK_SET) >= 0;
#else
  const bool placed = bytes->empty() || lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0;
#endif
  size_t got = 0;
  while (placed && got < bytes->size()) {
    const long part = read_some(
        fd, &(*bytes)[got], static_cast<unsigned>(std::min<size_t>(bytes->size() - got, 1 << 20)));
    if (part <= 0) break;
    got += static_cast<size_t>(part);
  }
  const int error = errno;
  close_file(fd);
  if (!placed || got != bytes->size()) return failure("read", path, error ? error : EIO);
  return Status::Ok();
}

Status make_executable(const std::string& path) {
#ifdef _WIN32
  (void)path;  // Windows runs a file by its name
  return Status::Ok();
#else
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return failure("read", path, errno);
  const mode_t readable = info.st_mode & (S_IRUSR | S_IRGRP | S_IROTH);
  // Whoever may read it may run it.
  if (chmod(path.c_str(), info.st_mode | readable >> 2) != 0) return failure("write", path, errno);
  return Status::Ok();
#endif
}
