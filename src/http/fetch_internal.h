// The bound on body bytes all fetches of the process hold together, shared
// by the page fetch and its test control. Internal to them.
#pragma once

#include <atomic>

namespace fetch_internal {

// kMaxHeldBodyBytes unless a test lowers it.
extern std::atomic<long long> heldBodyBound;

}  // namespace fetch_internal
