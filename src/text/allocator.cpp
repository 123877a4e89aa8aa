// The one allocator behind texts, byte sets and arrays.
#include <cstdlib>
#include <cstdio>

#include "platform/heap.h"
#include "platform/message_box.h"
#include "text/runtime_error.h"
#include "text/text.h"
#include "text/text_ops.h"

namespace {

// Set while a failed allocation is being reported on this thread, so that a
// second failure while building the message cannot recurse.
thread_local bool reportingFailure = false;

}  // namespace

namespace text_internal {

void AllocationFailed(std::size_t bytes) {
  if (reportingFailure) ExitProcess(static_cast<UINT>(-1));
  reportingFailure = true;
  char digits[24];
  std::snprintf(digits, sizeof digits, "%zu", bytes);
  Text message = ConcatTexts(Text("分配 "), TextView(digits), " 字节内存失败!");
  ReportRuntimeError(kErrorAllocation, message);
}

void* Allocate(std::size_t bytes, std::size_t reported) {
  void* p = bytes >= kLargeBlockBytes ? AllocateLargeBlock(bytes) : std::malloc(bytes == 0 ? 1 : bytes);
  if (p == nullptr) AllocationFailed(reported);
  return p;
}

void Deallocate(void* p) noexcept { std::free(p); }

}  // namespace text_internal
