#include "common/large_block_allocator.h"

#include <cstdint>
#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

}  // namespace

void* allocate_large_block(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  void* block = std::malloc(bytes);
  if (block == nullptr) throw std::bad_alloc();
#ifdef __linux__
  // A hint for the whole 2 MiB pages inside the block: without huge pages all still works.
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = (start + kHugePage - 1) / kHugePage * kHugePage;
  const std::uintptr_t last = (start + bytes) / kHugePage * kHugePage;
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
  return block;
}

void free_large_block(void* block, std::size_t) {
  std::free(block);
}
