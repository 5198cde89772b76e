// The parts of the platform layer that POSIX systems share; the window and the message box are
// in the X11 file.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/platform.h"
#include "common/file_path.h"

namespace platform {

Status executable_directory(std::string* directory) {
  // The kernel keeps the executable's own path; the working directory and argv[0] may lie.
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      return Status::Error(std::string("cannot find the executable's directory: ") +
                           std::strerror(errno));
    }
    if (static_cast<size_t>(length) < buffer.size()) {
      *directory = directory_of(std::string(buffer.data(), static_cast<size_t>(length)));
      return Status::Ok();
    }
    buffer.resize(buffer.size() * 2);
  }
}

void end_process(int status) {
  std::fflush(nullptr);
  std::exit(status);
}

}  // namespace platform
