// Fuzzes the URL decomposition (UrlHost in its three forms, UrlPort,
// UrlPath) on arbitrary addresses, as a redirect or a page link may carry.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "http/url_parts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view url(reinterpret_cast<const char*>(data), size);
  for (const bool lastTwo : {false, true}) {
    for (const bool keepPort : {false, true}) {
      if (UrlHost(url, lastTwo, keepPort).size() > url.size()) std::abort();
    }
  }
  const int port = UrlPort(url);
  (void)port;
  // The path is taken from the address, or is "/" when it has none.
  if (UrlPath(url).size() > url.size() + 1) std::abort();
  return 0;
}
