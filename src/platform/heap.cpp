// The heap policy on glibc's malloc.
#include "platform/heap.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdlib>

// A page is fetched and scraped through several buffers of its own size (the
// body, its UTF-16 form, the listing, the entries), each freed before the
// next page. With the C library's defaults each such buffer is a fresh
// mapping handed back at once, and refilling it page by page cost more than
// the scraping itself. Keeping them on the heap lets the next page reuse them.
void SetProcessHeapPolicy() {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

void* AllocateLargeBlock(std::size_t bytes) {
  void* p = nullptr;
  if (posix_memalign(&p, kLargeBlockBytes, bytes) != 0) return nullptr;
  const std::size_t whole = bytes / kLargeBlockBytes * kLargeBlockBytes;
  if (whole > kLargeBlockBytes) {
    madvise(static_cast<char*>(p) + kLargeBlockBytes, whole - kLargeBlockBytes, MADV_HUGEPAGE);
  }
  return p;
}
