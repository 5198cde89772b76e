// The file system on Windows: the wide-character API, so that any folder name works, and the
// system's own words for its errors.
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winioctl.h>

#include <algorithm>

#include "common/file_path.h"
#include "common/file_system.h"
#include "common/people_text.h"
#include "common/platform_file_lock.h"
#include "common/windows_text.h"

namespace {

// The system's error codes (GetLastError), with the system's text for each, in UTF-8.
class WindowsErrorCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "windows"; }

  std::string message(int code) const override {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, DWORD(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
      // TRANSLATORS: {1} is the number of an error the system has no text for.
      return people_text("system error {1}", {std::to_string(code)});
    }
    std::wstring wide(text, length);
    LocalFree(text);
    // The text is a sentence ending in a full stop and a line break; the messages add neither.
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ' ||
                             wide.back() == L'.')) {
      wide.pop_back();
    }
    return from_wide(wide);
  }

  std::error_condition default_error_condition(int code) const noexcept override {
    if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) {
      return std::make_error_condition(std::errc::file_exists);
    }
    return std::error_condition(code, *this);
  }
};

std::error_code last_error() {
  static const WindowsErrorCategory category;
  return std::error_code(int(GetLastError()), category);
}

OVERLAPPED at(uint64_t offset) {
  OVERLAPPED place = {};
  place.Offset = DWORD(offset);
  place.OffsetHigh = DWORD(offset >> 32);
  return place;
}

// The most one read or write call moves.
constexpr size_t kMaxTransfer = size_t{1} << 30;

class WindowsWritableFile : public WritableFile {
 public:
  explicit WindowsWritableFile(HANDLE handle) : handle_(handle) {}
  ~WindowsWritableFile() override { close(); }

  std::error_code write_at(uint64_t offset, const char* data, size_t size) override {
    while (size > 0) {
      OVERLAPPED place = at(offset);
      DWORD done = 0;
      if (!WriteFile(handle_, data, DWORD(std::min(size, kMaxTransfer)), &done, &place)) {
        return last_error();
      }
      if (done == 0) return std::make_error_code(std::errc::io_error);
      data += done;
      size -= done;
      offset += done;
    }
    return {};
  }

  // The file grows as it is written.
  std::error_code reserve(uint64_t) override { return {}; }

  std::error_code close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return {};
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(handle)) return last_error();
    return {};
  }

 private:
  HANDLE handle_;
};

class WindowsReadableFile : public ReadableFile {
 public:
  WindowsReadableFile(HANDLE handle, bool regular, uint64_t size)
      : ReadableFile(regular, size), handle_(handle) {}
  ~WindowsReadableFile() override { CloseHandle(handle_); }

  std::error_code read_at(uint64_t offset, char* buffer, size_t size, size_t* got) override {
    *got = 0;
    OVERLAPPED place = at(offset);
    DWORD done = 0;
    if (!ReadFile(handle_, buffer, DWORD(std::min(size, kMaxTransfer)), &done, &place)) {
      if (GetLastError() == ERROR_HANDLE_EOF) return {};
      return last_error();
    }
    *got = done;
    return {};
  }

 private:
  HANDLE handle_;
};

class WindowsFileSystem : public FileSystem {
 public:
  // CREATE_NEW opens nothing that is already at the name, and follows no link.
  std::error_code create_new_file(const std::string& path,
                                  std::unique_ptr<WritableFile>* file) override {
    const HANDLE handle =
        CreateFileW(to_wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return last_error();
    file->reset(new WindowsWritableFile(handle));
    return {};
  }

  std::error_code open_for_reading(const std::string& path,
                                   std::unique_ptr<ReadableFile>* file) override {
    const HANDLE handle =
        CreateFileW(to_wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return last_error();
    // A disk file (not a pipe, a console or a device), and not a directory.
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
      file->reset(new WindowsReadableFile(handle, false, 0));
      return {};
    }
    if (!GetFileInformationByHandle(handle, &info)) {
      const std::error_code error = last_error();
      CloseHandle(handle);
      return error;
    }
    const bool regular = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    const uint64_t size = uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    file->reset(new WindowsReadableFile(handle, regular, size));
    return {};
  }

  std::error_code rename_over(const std::string& from, const std::string& to) override {
    if (!MoveFileExW(to_wide(from).c_str(), to_wide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return last_error();
    }
    return {};
  }

  std::error_code remove_file(const std::string& path) override {
    if (!DeleteFileW(to_wide(path).c_str())) return last_error();
    return {};
  }

  std::error_code stat_path(const std::string& path, bool* directory) override {
    const DWORD attributes = GetFileAttributesW(to_wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return last_error();
    *directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return {};
  }

  // GetFileAttributesW follows no link: a link whose target is missing has attributes too.
  std::error_code inspect_name(const std::string& path, bool* link, std::string* target) override {
    const std::wstring wide = to_wide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return last_error();
    *link = false;
    target->clear();
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return {};
    const HANDLE handle = CreateFileW(
        wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {};
    std::vector<unsigned char> data(16 * 1024);  // the most a reparse point holds
    DWORD size = 0;
    const bool read = DeviceIoControl(handle, FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                                      DWORD(data.size()), &size, nullptr);
    CloseHandle(handle);
    if (!read) return {};
    const auto word = [&](size_t at, size_t bytes) {
      unsigned long value = 0;
      for (size_t i = 0; i < bytes && at + i < size; ++i)
        value |= static_cast<unsigned long>(data[at + i]) << 8 * i;
      return value;
    };
    // The tag, then for a symbolic link and a junction the offsets and lengths of the name it
    // substitutes and of the name it prints, in bytes from the start of the path buffer (which
    // a symbolic link's flags precede). Other reparse points (deduplicated or cloud files) are
    // files in their own right.
    const unsigned long tag = word(0, 4);
    if (tag != IO_REPARSE_TAG_SYMLINK && tag != IO_REPARSE_TAG_MOUNT_POINT) return {};
    *link = true;
    const size_t names = tag == IO_REPARSE_TAG_SYMLINK ? 20 : 16;
    const auto name = [&](size_t offset, size_t length) {
      const size_t from = names + offset;
      if (length == 0 || length % 2 != 0 || from > size || length > size - from)
        return std::wstring();
      std::wstring text(length / 2, L'\0');
      for (size_t i = 0; i < text.size(); ++i) text[i] = wchar_t(word(from + 2 * i, 2));
      return text;
    };
    std::wstring shown = name(word(12, 2), word(14, 2));
    if (shown.empty()) {
      shown = name(word(8, 2), word(10, 2));
      if (shown.compare(0, 4, L"\\??\\") == 0) shown.erase(0, 4);
    }
    *target = from_wide(shown);
    return {};
  }

  std::error_code list_directory(const std::string& directory,
                                 std::vector<std::string>* names) override {
    names->clear();
    WIN32_FIND_DATAW found;
    // Every name, in its long form: the caller picks, as a pattern would also match 8.3 names.
    const HANDLE search =
        FindFirstFileExW(to_wide(path_in(directory, "*")).c_str(), FindExInfoBasic, &found,
                         FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return last_error();
    do {
      const std::string name = from_wide(found.cFileName);
      if (name != "." && name != "..") names->push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return {};
  }

  std::error_code may_write(const std::string& path, bool* may) override {
    const DWORD attributes = GetFileAttributesW(to_wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return last_error();
    *may = (attributes & FILE_ATTRIBUTE_READONLY) == 0;
    return {};
  }

  // Windows runs a file by its name.
  std::error_code make_folder(const std::string& path) override {
    // Fails when anything is at the name, a link or a junction included, which it never follows.
    if (!CreateDirectoryW(to_wide(path).c_str(), nullptr)) return last_error();
    return {};
  }

  std::error_code make_executable(const std::string&) override { return {}; }

  Status lock_file(const std::string& path, int wait_milliseconds,
                   const std::vector<std::string>* removed_on_signal,
                   std::unique_ptr<FileLock>* lock) override {
    return take_file_lock(path, wait_milliseconds, removed_on_signal, lock);
  }

  std::error_code own_executable_path(std::string* executable) override {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      const DWORD length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
      if (length == 0) return last_error();
      if (length < path.size()) {
        path.resize(length);
        break;
      }
      path.resize(path.size() * 2);
    }
    *executable = from_wide(path);
    return {};
  }
};

}  // namespace

const char kPathSeparator = '\\';

std::string absolute_path(const std::string& path) {
  const std::wstring wide = to_wide(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD made = GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
  if (made == 0 || made >= size) return path;
  return from_wide(full.substr(0, made));
}

FileSystem& platform_file_system() {
  static WindowsFileSystem files;
  return files;
}

std::error_code last_system_error() {
  return last_error();
}

unsigned long current_process_id() {
  return GetCurrentProcessId();
}

// Windows has no file-size limit of the process.
void report_oversized_writes_as_failures() {}
