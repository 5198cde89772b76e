#include <pthread.h>
#include <sched.h>

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
