#include "test_support/faulty_file_system.h"

#include <cerrno>

namespace {

class FaultyWritableFile : public WritableFile {
 public:
  FaultyWritableFile(FaultyFileSystem& files, std::string path, std::unique_ptr<WritableFile> real)
      : files_(files), path_(std::move(path)), real_(std::move(real)) {}

  std::error_code write_at(uint64_t offset, const char* data, size_t size) override {
    if (const std::error_code error = files_.fault(FileOperation::kWrite, path_)) return error;
    return real_->write_at(offset, data, size);
  }
  std::error_code reserve(uint64_t size) override {
    if (const std::error_code error = files_.fault(FileOperation::kReserve, path_)) return error;
    return real_->reserve(size);
  }
  // A close that fails closes the file all the same, as the system's does.
  std::error_code close() override {
    const std::error_code error = files_.fault(FileOperation::kClose, path_);
    const std::error_code closed = real_->close();
    return error ? error : closed;
  }

 private:
  FaultyFileSystem& files_;
  const std::string path_;
  std::unique_ptr<WritableFile> real_;
};

class FaultyReadableFile : public ReadableFile {
 public:
  FaultyReadableFile(FaultyFileSystem& files, std::string path, std::unique_ptr<ReadableFile> real)
      : ReadableFile(real->regular(), real->size()),
        files_(files),
        path_(std::move(path)),
        real_(std::move(real)) {}

  std::error_code read_at(uint64_t offset, char* buffer, size_t size, size_t* got) override {
    *got = 0;
    if (const std::error_code error = files_.fault(FileOperation::kRead, path_)) return error;
    return real_->read_at(offset, buffer, size, got);
  }

 private:
  FaultyFileSystem& files_;
  const std::string path_;
  std::unique_ptr<ReadableFile> real_;
};

}  // namespace

std::error_code FaultyFileSystem::fault(FileOperation operation, const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int error = chooser_(operation, path);
  if (error == 0) return {};
  return std::error_code(error, std::generic_category());
}

std::error_code FaultyFileSystem::create_new_file(const std::string& path,
                                                  std::unique_ptr<WritableFile>* file) {
  if (const std::error_code error = fault(FileOperation::kCreate, path)) return error;
  std::unique_ptr<WritableFile> real;
  const std::error_code error = real_.create_new_file(path, &real);
  if (!error) file->reset(new FaultyWritableFile(*this, path, std::move(real)));
  return error;
}

std::error_code FaultyFileSystem::open_for_reading(const std::string& path,
                                                   std::unique_ptr<ReadableFile>* file) {
  if (const std::error_code error = fault(FileOperation::kOpen, path)) return error;
  std::unique_ptr<ReadableFile> real;
  const std::error_code error = real_.open_for_reading(path, &real);
  if (!error) file->reset(new FaultyReadableFile(*this, path, std::move(real)));
  return error;
}

std::error_code FaultyFileSystem::rename_over(const std::string& from, const std::string& to) {
  if (const std::error_code error = fault(FileOperation::kRename, to)) return error;
  return real_.rename_over(from, to);
}

std::error_code FaultyFileSystem::remove_file(const std::string& path) {
  if (const std::error_code error = fault(FileOperation::kRemove, path)) return error;
  return real_.remove_file(path);
}

std::error_code FaultyFileSystem::stat_path(const std::string& path, bool* directory) {
  if (const std::error_code error = fault(FileOperation::kStat, path)) return error;
  return real_.stat_path(path, directory);
}

std::error_code FaultyFileSystem::inspect_name(const std::string& path, bool* link,
                                               std::string* target) {
  if (const std::error_code error = fault(FileOperation::kStat, path)) return error;
  return real_.inspect_name(path, link, target);
}

std::error_code FaultyFileSystem::list_directory(const std::string& directory,
                                                 std::vector<std::string>* names) {
  if (const std::error_code error = fault(FileOperation::kList, directory)) return error;
  return real_.list_directory(directory, names);
}

std::error_code FaultyFileSystem::make_folder(const std::string& path) {
  if (const std::error_code error = fault(FileOperation::kMakeFolder, path)) return error;
  return real_.make_folder(path);
}

std::error_code FaultyFileSystem::make_executable(const std::string& path) {
  if (const std::error_code error = fault(FileOperation::kMakeExecutable, path)) return error;
  return real_.make_executable(path);
}

std::error_code FaultyFileSystem::may_write(const std::string& path, bool* may) {
  if (const std::error_code error = fault(FileOperation::kStat, path)) return error;
  return real_.may_write(path, may);
}

Status FaultyFileSystem::lock_file(const std::string& path, int wait_milliseconds,
                                   const std::vector<std::string>* removed_on_signal,
                                   std::unique_ptr<FileLock>* lock) {
  if (const std::error_code error = fault(FileOperation::kLock, path)) {
    return Status::Error("cannot lock " + path + ": " + error.message());
  }
  return real_.lock_file(path, wait_milliseconds, removed_on_signal, lock);
}

std::error_code FaultyFileSystem::own_executable_path(std::string* path) {
  if (const std::error_code error = fault(FileOperation::kOwnPath, std::string())) return error;
  return real_.own_executable_path(path);
}

FaultChooser fail_the_nth_operation(int n) {
  int counted = 0;
  return [n, counted](FileOperation operation, const std::string&) mutable {
    if (operation == FileOperation::kStat || operation == FileOperation::kList) return 0;
    if (++counted != n) return 0;
    return operation == FileOperation::kWrite || operation == FileOperation::kReserve ? ENOSPC
                                                                                      : EIO;
  };
}
