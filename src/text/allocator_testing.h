// Test-only control of the text allocator.
//
//   SetAllocationLimitForTesting(1000);  // a request over 1000 bytes fails
//   SetAllocationLimitForTesting(0);     // no limit (the default)
#pragma once

#include <cstddef>

void SetAllocationLimitForTesting(std::size_t bytes);
