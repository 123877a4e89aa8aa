// Fuzzes the page and keyword encodings: Utf8ToGbkBytes on an arbitrary
// body (the declared-UTF-8 page path) and UrlEncode of an arbitrary keyword
// in each of its modes. An encoded keyword must be printable ASCII.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

#include "encoding/response_decode.h"
#include "encoding/url_encode.h"
#include "text/byte_set.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool keepAlnum = in.ConsumeBool();
  const bool viaUtf8 = in.ConsumeBool();
  const std::string rest = in.ConsumeRemainingBytesAsString();

  const ByteSet body(rest.begin(), rest.end());
  (void)Utf8ToGbkBytes(body);
  (void)Utf8ToUnicode(body);

  // A keyword reaches the encoder as text: it holds no zero byte.
  Text keyword(rest);
  std::erase(keyword, '\0');
  const Text encoded = UrlEncode(keyword, keepAlnum, viaUtf8);
  for (const char c : encoded) {
    if (c < 0x21 || c > 0x7e) std::abort();
  }
  return 0;
}
