// The one allocator behind texts, byte sets and arrays.
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstdio>

#include "platform/message_box.h"
#include "text/allocator_testing.h"
#include "text/runtime_error.h"
#include "text/text.h"
#include "text/text_ops.h"

namespace {

// 0 means no limit. Only tests set it.
std::atomic<std::size_t> allocationLimit{0};

// Set while a failed allocation is being reported on this thread, so that a
// second failure while building the message cannot recurse.
thread_local bool reportingFailure = false;

// A page is scraped through several buffers of its own size (the listing, its
// UTF-16 form, the entries), each freed before the next page. With the C
// library's defaults each such buffer is a fresh mapping handed back at once,
// and refilling it page by page cost more than the scraping itself. Keeping
// blocks up to 32 MiB on the heap, and up to 64 MiB of free heap before it is
// returned, lets the next page reuse them.
[[maybe_unused]] const bool heapTuned = [] {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  return true;
}();

}  // namespace

void SetAllocationLimitForTesting(std::size_t bytes) { allocationLimit.store(bytes); }

namespace text_internal {

void AllocationFailed(std::size_t bytes) {
  if (reportingFailure) ExitProcess(static_cast<UINT>(-1));
  reportingFailure = true;
  // The box must be shown whatever limit made this allocation fail.
  allocationLimit.store(0);
  char digits[24];
  std::snprintf(digits, sizeof digits, "%zu", bytes);
  Text message = ConcatTexts(Text("分配 "), TextView(digits), " 字节内存失败!");
  ReportRuntimeError(kErrorAllocation, message);
}

void* Allocate(std::size_t bytes, std::size_t reported) {
  std::size_t limit = allocationLimit.load(std::memory_order_relaxed);
  if (limit != 0 && bytes > limit) AllocationFailed(reported);
  void* p = std::malloc(bytes == 0 ? 1 : bytes);
  if (p == nullptr) AllocationFailed(reported);
  return p;
}

void Deallocate(void* p) noexcept { std::free(p); }

}  // namespace text_internal
