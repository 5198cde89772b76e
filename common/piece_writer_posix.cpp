#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "common/piece_writer.h"

// The scheduler tends to start a short-lived thread on its creator's CPU and then run the two in
// turn, which would undo the point of writing beside the producer; a writer kept elsewhere runs
// at the same time. On POSIX systems other than Linux, the scheduler's own choice stands.
void keep_off_this_cpu(std::thread& thread) {
#ifdef __linux__
  const int cpu = sched_getcpu();
  cpu_set_t allowed;
  if (cpu < 0 || cpu >= CPU_SETSIZE || sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  if (!CPU_ISSET(cpu, &allowed) || CPU_COUNT(&allowed) < 2) return;
  CPU_CLR(cpu, &allowed);
  pthread_setaffinity_np(thread.native_handle(), sizeof allowed, &allowed);
#else
  (void)thread;
#endif
}

// Only the whole pages inside the block: the ones at its edges may be shared with other
// allocations, and come by themselves. (Here beside the writer, which fills the largest blocks:
// one file of platform code for the two.) A kernel without MADV_POPULATE_WRITE (before Linux 5.14)
// refuses it, and the pages then come one by one as before.
void prefault(void* bytes, size_t size) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  static const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
  const uintptr_t first = (uintptr_t(bytes) + page - 1) & ~(page - 1);
  const uintptr_t end = (uintptr_t(bytes) + size) & ~(page - 1);
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
  (void)bytes;
  (void)size;
#endif
}
