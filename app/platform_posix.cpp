// The parts of the platform layer that POSIX systems share; the window and the message box are
// in the X11 file.
#include <cstdio>
#include <cstdlib>

#include "app/platform.h"

namespace platform {

void end_process(int status) {
  std::fflush(nullptr);
  std::exit(status);
}

}  // namespace platform
