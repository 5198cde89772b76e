#include "common/own_executable.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "common/windows_text.h"

Status own_executable_path(std::string* executable) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
    if (length == 0) {
      return Status::Error("cannot find the executable's directory: error " +
                           std::to_string(GetLastError()));
    }
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  *executable = from_wide(path);
  return Status::Ok();
}

#else
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

Status own_executable_path(std::string* path) {
  // The kernel keeps the executable's own path.
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      return Status::Error(std::string("cannot find the executable's directory: ") +
                           std::strerror(errno));
    }
    if (static_cast<size_t>(length) < buffer.size()) {
      *path = std::string(buffer.data(), static_cast<size_t>(length));
      return Status::Ok();
    }
    buffer.resize(buffer.size() * 2);
  }
}
#endif
