#pragma once
// Memory for entry records. A drop of thousands of files makes a record for each on the
// walker thread (the model keeps them as smaller PageEntry objects); taken 500 bytes at
// a time from the general heap, every one of their memory pages is first touched, and
// faulted in, on its own. The pool hands out slots from large blocks that the kernel may
// back with huge pages, and keeps freed slots for the next records, so a drop's batches
// reuse the same few blocks. Blocks are never given back. Safe from any thread.
//
// Under AddressSanitizer the pool steps aside so that misuse of a record is still seen.

#include <cstddef>

namespace record_pool {

// One slot of `size` bytes (the record size); other sizes go to the general heap.
void* Allocate(std::size_t size);
void Free(void* slot, std::size_t size) noexcept;

// Blocks taken from the system so far (for tests).
std::size_t BlockCount();

} // namespace record_pool
