// The lock file on Windows: the file opened with no sharing, as itself, never through a link,
// and marked for deletion by its handle.
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "common/file_path.h"
#include "common/people_text.h"
#include "common/platform_file_lock.h"
#include "common/windows_text.h"

namespace {

using Clock = std::chrono::steady_clock;

// The path the system gives an open file or folder, its links resolved; empty when it gives
// none.
std::wstring final_path(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFinalPathNameByHandleW(handle, path.data(), DWORD(path.size()), FILE_NAME_NORMALIZED);
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    // Too short: `length` is the size needed, its terminating null included.
    path.resize(length);
  }
}

// Whether the open file is the one at `path` itself. Wine follows a Unix symbolic link even
// when asked not to and shows the file it leads to as a plain file, so the path the system
// gives the open file is compared with the one it gives the folder, followed by the name asked
// for. When the system gives no path, the file's attributes have already answered.
bool opened_by_its_own_name(HANDLE file, const std::string& path) {
  const HANDLE folder =
      CreateFileW(to_wide(directory_of(path) + "\\").c_str(), FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return true;
  std::wstring expected = final_path(folder);
  CloseHandle(folder);
  const std::wstring opened = final_path(file);
  if (expected.empty() || opened.empty()) return true;
  if (expected.back() != L'\\') expected += L'\\';
  expected += to_wide(file_name_of(path));
  return CompareStringOrdinal(opened.c_str(), int(opened.size()), expected.c_str(),
                              int(expected.size()), TRUE) == CSTR_EQUAL;
}

// What the open file at `path` is, in the user's words, when it is no regular file; null for
// a regular file.
const char* kind_of_open(HANDLE file, const std::string& path) {
  switch (GetFileType(file)) {
    case FILE_TYPE_DISK:
      break;
    case FILE_TYPE_PIPE:
      return tr_mark("a FIFO");
    default:
      return tr_mark("a device");
  }
  FILE_ATTRIBUTE_TAG_INFO tag = {};
  if (GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag)) {
    // Opened as itself, a reparse point shows its tag: a link or junction names another file.
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      if (tag.ReparseTag == IO_REPARSE_TAG_AF_UNIX) return tr_mark("a socket");
      if (IsReparseTagNameSurrogate(tag.ReparseTag)) return tr_mark("a symbolic link");
    }
    if ((tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return tr_mark("a directory");
  }
  if (!opened_by_its_own_name(file, path)) return tr_mark("a symbolic link");
  return nullptr;
}

// ERROR_NO_SUCH_DEVICE, which not every SDK names: Wine's answer for opening a Unix socket,
// which no Windows file system holds as such.
constexpr DWORD kNoSuchDevice = 433;

// What is at `wide`, which could not be opened with `error`, when it is no regular file; null
// otherwise.
const char* kind_at(const std::wstring& wide, DWORD error) {
  if (error == kNoSuchDevice) return tr_mark("a socket");
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return nullptr;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return tr_mark("a symbolic link");
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return tr_mark("a directory");
  return nullptr;
}

// A held lock: the open lock file, deleted by the system when its last handle closes.
class WindowsFileLock : public FileLock {
 public:
  explicit WindowsFileLock(HANDLE handle) : handle_(handle) {}
  ~WindowsFileLock() override { CloseHandle(handle_); }

 private:
  HANDLE handle_;
};

}  // namespace

// The lock is the lock file opened with no sharing at all: while one process has it open, any
// other's open fails with a sharing violation. It is opened as itself, never through a link
// (FILE_FLAG_OPEN_REPARSE_POINT), and only once it is known to be a regular file is it marked
// for deletion, by its handle: it goes when its holder closes it or dies, so no lock file stays
// behind and a waiter creates a new one, and nothing a link leads to is ever deleted.
Status take_file_lock(const std::string& path, int wait_milliseconds,
                      const std::vector<std::string>*, std::unique_ptr<FileLock>* lock) {
  lock->reset();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait_milliseconds);
  // A file being deleted by its last holder refuses opens for a moment with "access denied";
  // for longer than this, the denial is real (a read-only folder).
  const Clock::time_point denials_end = Clock::now() + std::chrono::milliseconds(200);
  const std::wstring wide = to_wide(path);
  const DWORD access = GENERIC_READ | GENERIC_WRITE | DELETE;
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
  int vanished = 0;
  for (;;) {
    // Made new where nothing is at the name; opened as it is otherwise. Never OPEN_ALWAYS:
    // Wine would create the file a dangling link leads to.
    HANDLE handle = CreateFileW(wide.c_str(), access, 0, nullptr, CREATE_NEW, flags, nullptr);
    DWORD error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
      handle = CreateFileW(wide.c_str(), access, 0, nullptr, OPEN_EXISTING, flags, nullptr);
      error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
      // Too there to be made and too missing to be opened: a holder deleted it in between, or,
      // every time, a link that leads nowhere.
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        if (++vanished < kLockFileVanishings) continue;
        return not_a_lock_file(path, tr_mark("a symbolic link"));
      }
    }
    if (handle != INVALID_HANDLE_VALUE) {
      if (const char* kind = kind_of_open(handle, path)) {
        CloseHandle(handle);
        return not_a_lock_file(path, kind);
      }
      FILE_DISPOSITION_INFO disposition = {};
      disposition.DeleteFile = TRUE;
      if (!SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition)) {
        CloseHandle(handle);
        return lock_failure(tr_mark("cannot lock {1}: {2}"), path, EIO);
      }
      try {
        lock->reset(new WindowsFileLock(handle));
      } catch (...) {
        CloseHandle(handle);  // marked for deletion: the file goes with it
        throw;
      }
      return Status::Ok();
    }
    const Clock::time_point now = Clock::now();
    if (error == ERROR_SHARING_VIOLATION) {
      if (now >= deadline) return lock_busy(path);
    } else if (const char* kind = kind_at(wide, error)) {
      return not_a_lock_file(path, kind);
    } else if (error != ERROR_ACCESS_DENIED || now >= denials_end) {
      const int code = error == ERROR_ACCESS_DENIED                                     ? EACCES
                       : error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND ? ENOENT
                                                                                        : EIO;
      return lock_failure(tr_mark("cannot create {1}: {2}"), path, code);
    }
    std::this_thread::sleep_for(kLockPoll);
  }
}
