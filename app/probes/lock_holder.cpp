// Test-only, Windows: holds the folder lock at the path argv[1] (relative to the working
// directory) for argv[2] milliseconds, as another run working in the folder would. Prints
// "held" once it holds it; exits 1 when it cannot take it at once.
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "common/folder_lock.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  FolderLock lock;
  const Status status = lock.acquire(argv[1], 0);
  if (!status.ok()) {
    std::fprintf(stderr, "%s\n", status.message().c_str());
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  Sleep(DWORD(std::atoi(argv[2])));
  return 0;
}
