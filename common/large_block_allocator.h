// An allocator for large arrays that are filled once from start to end, and whose elements
// are never read before they are written, such as the line plan
// of a long route (16 MB). On Linux the whole 2 MiB pages inside a block are marked for
// transparent huge pages, so that filling them takes a few page faults instead of thousands;
// elsewhere it is the ordinary allocator.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

void* allocate_large_block(std::size_t bytes);
void free_large_block(void* block, std::size_t bytes);

template <typename T>
struct LargeBlockAllocator {
  using value_type = T;

  LargeBlockAllocator() = default;
  template <typename U>
  LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(allocate_large_block(count * sizeof(T)));
  }
  void deallocate(T* block, std::size_t count) noexcept {
    free_large_block(block, count * sizeof(T));
  }

  // Elements made without a value are left as the memory holds them, not zeroed: the arrays
  // are filled in order, and zeroing first would touch every page twice.
  template <typename U>
  void construct(U* element) noexcept {
    ::new (static_cast<void*>(element)) U;
  }
  template <typename U, typename... Args>
  void construct(U* element, Args&&... args) {
    ::new (static_cast<void*>(element)) U(std::forward<Args>(args)...);
  }

  template <typename U>
  bool operator==(const LargeBlockAllocator<U>&) const noexcept {
    return true;
  }
  template <typename U>
  bool operator!=(const LargeBlockAllocator<U>&) const noexcept {
    return false;
  }
};
