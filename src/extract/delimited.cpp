// Delimited-text routines, built only on the text primitives.
#include "extract/delimited.h"

#include "text/text_ops.h"

Text ReplaceQuotePlaceholder(TextView delimiter) {
  return ReplaceSubtext(delimiter, kQuotePlaceholder, "\"", 1, -1, true);
}

Text TextBetween(TextView text, TextView left, TextView right, int start, bool caseSensitive) {
  const Text l = ReplaceQuotePlaceholder(left);
  const Text r = ReplaceQuotePlaceholder(right);
  int p = FindText(text, l, start, !caseSensitive);
  if (p == -1) return {};
  p += TextLength(l);
  // The right delimiter is looked for only after the left one.
  int q = FindText(text, r, p, !caseSensitive);
  if (q == -1) return {};
  return TextMid(text, p, q - p);
}

Text ValueAfterColon(TextView text) {
  int p = FindText(text, ":", 1, false);
  if (p == -1) return {};
  return TrimBothEnds(TextRight(text, TextLength(text) - p));
}

Text ReplaceFivePairs(TextView text, std::optional<int> count, int start, bool caseSensitive, TextView find1,
                      TextView replacement1, TextView find2, TextView replacement2, TextView find3,
                      TextView replacement3, TextView find4, TextView replacement4, TextView find5,
                      TextView replacement5) {
  if (start == 0) start = 1;
  // Whether a count was supplied decides, not its value.
  const int limit = count.has_value() ? *count : -1;
  const TextView finds[] = {find1, find2, find3, find4, find5};
  const TextView replacements[] = {replacement1, replacement2, replacement3, replacement4, replacement5};
  Text r(text);
  for (int k = 0; k < 5; ++k) r = ReplaceSubtext(r, finds[k], replacements[k], start, limit, caseSensitive);
  return r;
}
