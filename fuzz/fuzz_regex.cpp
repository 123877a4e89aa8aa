// Fuzzes the regular-expression component through RegexObject: an
// arbitrary pattern and flags over an arbitrary subject, then every question
// a caller may ask of the matches. A runaway pattern must end the match
// rather than hang the input (libFuzzer's -timeout catches a hang).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

#include "extract/regex_object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool caseSensitive = in.ConsumeBool();
  const bool multiline = in.ConsumeBool();
  const bool global = in.ConsumeBool();
  const bool placeholder = in.ConsumeBool();
  const std::string pattern = in.ConsumeRandomLengthString(64);
  const std::string replacement = in.ConsumeRandomLengthString(16);
  const std::string subject = in.ConsumeRemainingBytesAsString();

  RegexObject re;
  if (!re.Create(pattern, subject, caseSensitive, multiline, global, placeholder)) return 0;
  (void)re.GetPattern();
  (void)re.ReplaceMatches(replacement);
  const int count = re.MatchCount();
  const int groups = re.SubmatchCount();
  for (int m = 0; m <= count + 1 && m < 64; ++m) {
    (void)re.MatchText(m);
    for (int g = 0; g <= groups + 1 && g < 16; ++g) (void)re.SubmatchText(m, g);
  }
  return 0;
}
