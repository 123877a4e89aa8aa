// The time-outs every request takes as it is sent, shared by the internet
// stand-in and its test controls. Internal to them.
#pragma once

#include <atomic>

namespace wininet_internal {

// Milliseconds to connect, without any data, and for the whole request
// from its sending to the body's last byte. A server that sends a byte just
// before each receive time-out would hold a request for ever: no result
// page takes as long as the whole bound on a working line.
inline constexpr long kConnectTimeoutMs = 60000;
inline constexpr long kReceiveTimeoutMs = 30000;
inline constexpr long kWholeRequestMs = 120000;

extern std::atomic<long> connectTimeoutMs;
extern std::atomic<long> receiveTimeoutMs;
extern std::atomic<long> wholeRequestMs;

}  // namespace wininet_internal
