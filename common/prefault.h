// Bringing in the pages of a block of memory just allocated, before it is filled.
#pragma once

#include <cstddef>

// Has the system map the pages of `size` bytes at `bytes`, just allocated, in one call, so that
// filling them later takes no page fault per page (each a costly trap, above all in a virtual
// machine). Only the whole pages inside the block are asked for. Where the system cannot, the
// pages come as they are first written.
void prefault(void* bytes, size_t size);
