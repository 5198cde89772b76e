// Whether two paths lead to one folder, told by the folder's identity, not by the paths'
// spelling: "DIR", "DIR/./", "../x/DIR", an absolute path, a symbolic link or a junction to it,
// another case or an 8.3 short name on Windows all lead to the same. One implementation per
// platform (same_folder_posix.cpp, same_folder_win32.cpp, chosen by the build).
#pragma once

#include <string>

#include "common/status.h"

// Sets `same` to whether the folders at `a` and `b` are one folder: the same device and inode
// on POSIX, the same volume serial number and file index on Windows. Fails, naming the path and
// the system's reason, when either cannot be opened or is no folder.
Status same_folder(const std::string& a, const std::string& b, bool* same);
