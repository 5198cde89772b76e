// The few file operations the program needs, by full path. Each reports a failure as a Status
// whose message names the file and the operating system's reason.
#pragma once

#include <string>

#include "common/status.h"

// Opens `path` for appending and closes it at once: creates an empty file when there is none
// and leaves an existing file unchanged.
Status touch_file(const std::string& path);

// Deletes the file at `path`; a missing file is a failure.
Status delete_file(const std::string& path);

// Creates `path` as a new, empty file (truncating any file of that name) and writes `bytes`.
Status write_new_file(const std::string& path, const std::string& bytes);

// Replaces the file at `path` by a new file holding `bytes`: the file is created if missing,
// deleted, then created anew and written, so nothing of an older, longer file survives.
Status replace_file(const std::string& path, const std::string& bytes);

// Whether a file or directory exists at `path`.
bool file_exists(const std::string& path);

// Whether `path` is an existing file that is not a directory.
bool is_regular_file(const std::string& path);

// The whole content of the file at `path`.
Status read_file(const std::string& path, std::string* bytes);
