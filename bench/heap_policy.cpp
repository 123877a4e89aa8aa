// Every benchmark program runs under the heap policy the program sets at its
// start: before main, since the benchmark library's own main runs the
// benchmarks.
#include "platform/heap.h"

namespace {

[[maybe_unused]] const bool heapPolicySet = (SetProcessHeapPolicy(), true);

}  // namespace
