// The full path of the running program's own executable, as the system knows it: never taken
// from argv[0] or the working directory, which may lie.
#pragma once

#include <string>

#include "common/status.h"

Status own_executable_path(std::string* path);
