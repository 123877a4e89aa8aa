// Test-only control of the internet stand-in.
#include "platform/wininet_testing.h"

#include "platform/wininet_internal.h"

void InternetSetTimeoutsForTesting(long connectMilliseconds, long receiveMilliseconds, long wholeMilliseconds) {
  wininet_internal::connectTimeoutMs.store(connectMilliseconds);
  wininet_internal::receiveTimeoutMs.store(receiveMilliseconds);
  wininet_internal::wholeRequestMs.store(wholeMilliseconds);
}
