// The lock file as each platform takes it (file_lock_posix.cpp, file_lock_win32.cpp, chosen by
// the build): what the platform's FileSystem::lock_file does, as common/file_system.h says.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "common/file_system.h"

Status take_file_lock(const std::string& path, int wait_milliseconds,
                      const std::vector<std::string>* removed_on_signal,
                      std::unique_ptr<FileLock>* lock);

// What both platforms share: how often a waiting run looks again; how many times in a row the
// lock file's name may seem to be there and then not (a holder deleting the file between two
// looks makes it seem so once, a link that leads nowhere does every time); and the lines the
// user reads (folder_lock.cpp).
constexpr std::chrono::milliseconds kLockPoll(10);
constexpr int kLockFileVanishings = 3;
// Another run holds the lock of the folder `path` is in.
Status lock_busy(const std::string& path);
// Making or locking `path` failed with the errno value `error`: `message`, marked with tr_mark,
// "cannot create {1}: {2}" or "cannot lock {1}: {2}", with the path and the system's reason.
Status lock_failure(const char* message, const std::string& path, int error);
// Something at the lock file's name that is no regular file (`kind`, marked with tr_mark:
// "a FIFO"): the run neither follows it nor deletes it, and says what the user can do.
Status not_a_lock_file(const std::string& path, const char* kind);
