// Test-only control of the page fetch.
#include "http/fetch_testing.h"

#include "http/fetch.h"
#include "http/fetch_internal.h"

void SetHeldBodyBoundForTesting(long long bytes) {
  fetch_internal::heldBodyBound.store(bytes > 0 ? bytes : kMaxHeldBodyBytes);
}
