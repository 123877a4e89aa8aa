// Delimited-text routines, built only on the text primitives.
#include "extract/delimited.h"

#include "text/text_ops.h"

constexpr TextView kQuotePlaceholder = "#引号";

namespace {

// Whether ReplaceSubtext would give `text` back as it is. A find text of two
// bytes or more that does not occur changes nothing; a one-byte one may
// still drop a cut-off last character, so only ReplaceSubtext can tell.
bool ChangesNothing(TextView text, TextView find, int start, int count, bool caseSensitive) {
  if (find.empty() || count == 0) return true;
  return find.size() >= 2 && FindText(text, find, start, !caseSensitive) == -1;
}

// The delimiter with its placeholders replaced, in `storage` when there are
// any; otherwise the delimiter itself, uncopied. Without the placeholder's
// first byte there is nothing to look for.
TextView EffectiveDelimiter(TextView delimiter, Text& storage) {
  if (delimiter.find(kQuotePlaceholder[0]) == TextView::npos) return delimiter;
  if (ChangesNothing(delimiter, kQuotePlaceholder, 1, -1, true)) return delimiter;
  storage = ReplaceQuotePlaceholder(delimiter);
  return storage;
}

}  // namespace

Text ReplaceQuotePlaceholder(TextView delimiter) {
  return ReplaceSubtext(delimiter, kQuotePlaceholder, "\"", 1, -1, true);
}

Text TextBetween(TextView text, TextView left, TextView right, int start, bool caseSensitive) {
  Text leftStorage;
  Text rightStorage;
  const TextView l = EffectiveDelimiter(left, leftStorage);
  const TextView r = EffectiveDelimiter(right, rightStorage);
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
  // A pass that would change nothing is skipped rather than copying the
  // text once more; the text is copied only by a pass that replaces.
  Text r;
  TextView current = text;
  bool replaced = false;
  for (int k = 0; k < 5; ++k) {
    if (ChangesNothing(current, finds[k], start, limit, caseSensitive)) continue;
    r = ReplaceSubtext(current, finds[k], replacements[k], start, limit, caseSensitive);
    current = r;
    replaced = true;
  }
  return replaced ? r : Text(text);
}
