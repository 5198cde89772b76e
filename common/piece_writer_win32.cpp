#include "common/piece_writer.h"

// On Windows the scheduler spreads the writer and its producer over the CPUs by itself.
void keep_off_this_cpu(std::thread&) {}

// Windows brings the pages in as they are first written.
void prefault(void*, size_t) {}
