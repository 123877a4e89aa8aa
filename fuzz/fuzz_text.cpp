// Fuzzes the scanning primitives on arbitrary bytes and positions: FindText,
// FindTextReverse, ReplaceSubtext, SplitText, TrimBothEnds and TextToInt.
// Beside "no crash", it checks what every caller relies on: a found
// position lies inside the text and the match is really there.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/number.h"
#include "text/text_array.h"
#include "text/text_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int start = in.ConsumeIntegral<int>();
  const int count = in.ConsumeIntegralInRange<int>(-2, 64);
  const bool flag = in.ConsumeBool();
  const std::string sub = in.ConsumeRandomLengthString(16);
  const std::string replacement = in.ConsumeRandomLengthString(16);
  const std::string text = in.ConsumeRemainingBytesAsString();

  const int found = FindText(text, sub, start, flag);
  if (found != -1) {
    if (found < 1 || static_cast<size_t>(found) - 1 + sub.size() > text.size()) std::abort();
    if (!flag && text.compare(found - 1, sub.size(), sub) != 0) std::abort();
  }
  const int last = FindTextReverse(text, sub, flag);
  if (last != -1 && (last < 1 || static_cast<size_t>(last) - 1 + sub.size() > text.size())) std::abort();

  const Text replaced = ReplaceSubtext(text, sub, replacement, start, count, flag);
  // Replacing nothing gives the text back.
  if (count == 0 && replaced != TextView(text)) std::abort();

  const TextArray parts = SplitText(text, sub);
  size_t total = 0;
  for (const Text& part : parts) total += part.size();
  if (total > text.size()) std::abort();

  const Text trimmed = TrimBothEnds(text);
  if (trimmed.size() > text.size()) std::abort();

  (void)TextToInt(text);
  (void)TextToInt(sub);
  return 0;
}
