// All-occurrences extraction on RegexObject.
#include "extract/extract_all.h"

#include <utility>

#include "extract/delimited.h"
#include "extract/regex_object.h"
#include "text/text_array.h"
#include "text/text_ops.h"

namespace {

// Any character, line breaks included, as few as possible.
constexpr TextView kLazyCapture = "([\\s|\\S]*?)";

}  // namespace

Text EscapePattern(TextView text) {
  Text once = ReplaceFivePairs(text, {}, 1, false, "?", "\\?", "*", "\\*", "+", "\\+", "[", "\\[", "]", "\\]");
  return ReplaceFivePairs(once, {}, 1, false, "(", "\\(", ")", "\\)", "{", "\\{", "}", "\\}", kQuotePlaceholder,
                          "\"");
}

int ExtractAllBetween(TextView subject, TextView left, TextView right, TextArray& results, int lengthLimit,
                      TextView prefix, TextView suffix, bool includeLeft, bool includeRight) {
  RegexObject regex;
  TextArray().swap(results);
  const Text pattern = ConcatTexts(EscapePattern(left), kLazyCapture, EscapePattern(right));
  regex.Create(pattern, subject);
  const int n = regex.MatchCount();
  for (int i = 1; i <= n; ++i) {
    Text capture = regex.SubmatchText(i, 1);
    if (lengthLimit != 0 && TextLength(capture) > lengthLimit) continue;
    Text t = ConcatTexts(Text(prefix), capture, suffix);
    if (includeLeft) t = ConcatTexts(Text(left), t);
    if (includeRight) t = ConcatTexts(std::move(t), right);
    results.push_back(std::move(t));  // as TextArrayAppend, without a second copy
  }
  return TextArrayCount(results);
}
