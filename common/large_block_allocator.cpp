#include "common/large_block_allocator.h"

#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

}  // namespace

void* allocate_large_block(std::size_t bytes) {
#ifdef __linux__
  if (bytes >= kHugePage) {
    // Mapped whole, asked for huge pages, and filled in by the kernel in one go: far cheaper
    // than a page fault for every 4 KiB as the array is first written.
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    madvise(block, bytes, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    madvise(block, bytes, MADV_POPULATE_WRITE);
#endif
    return block;
  }
#endif
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void free_large_block(void* block, std::size_t bytes) {
#ifdef __linux__
  if (bytes >= kHugePage) {
    munmap(block, bytes);
    return;
  }
#endif
  std::free(block);
}
