// Test-only control of the page fetch.
//
//   SetHeldBodyBoundForTesting(4 << 20);  // all fetches together hold at most 4 MiB of body
//   SetHeldBodyBoundForTesting(0);        // back to kMaxHeldBodyBytes
#pragma once

void SetHeldBodyBoundForTesting(long long bytes);
