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
#include "common/own_executable.h"

namespace platform {

Status executable_path(std::string* path) {
  return own_executable_path(path);
}

Status executable_directory(std::string* directory) {
  std::string path;
  const Status status = executable_path(&path);
  if (status.ok()) *directory = directory_of(path);
  return status;
}

void end_process(int status) {
  std::fflush(nullptr);
  std::exit(status);
}

}  // namespace platform
