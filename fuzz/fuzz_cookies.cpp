// Fuzzes MergeCookies: arbitrary kept cookies against arbitrary delivered
// ones, then a second merge of the result, as consecutive responses do.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

#include "http/cookies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  Text kept(in.ConsumeRandomLengthString(size));
  Text delivered(in.ConsumeRandomLengthString(size));
  Text again(in.ConsumeRemainingBytesAsString());
  const Text merged = MergeCookies(kept, delivered);
  if (merged != kept) __builtin_trap();
  MergeCookies(kept, again);
  (void)DedupeJoined(kept, ";");
  return 0;
}
