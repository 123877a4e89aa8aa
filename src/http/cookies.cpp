// Cookie merging on the text and array primitives.
#include "http/cookies.h"

#include "text/text_array.h"
#include "text/text_ops.h"

Text MergeCookies(Text& cookies, Text& receivedCookies) {
  cookies = RemoveAllSpaces(cookies);
  receivedCookies = RemoveAllSpaces(receivedCookies);
  const TextArray kept = SplitText(cookies, ";");
  TextArray merged = SplitText(receivedCookies, ";");
  // Checked against the growing list, so of several kept pairs with one
  // name only the first can survive.
  for (int i = 1; i <= TextArrayCount(kept); ++i) {
    const Text& pair = TextArrayAt(kept, i);
    if (!CookieListHasName(merged, CookieName(pair))) TextArrayAppend(merged, pair);
  }
  cookies.clear();
  for (int i = 1; i <= TextArrayCount(merged); ++i) {
    const Text& pair = TextArrayAt(merged, i);
    if (TextRight(pair, 8) != "=deleted") cookies = ConcatTexts(std::move(cookies), pair, "; ");
  }
  cookies = TextLeft(cookies, TextLength(cookies) - 2);
  cookies = DedupeJoined(cookies, "; ");
  return cookies;
}

Text CookieName(TextView pair) {
  const int equals = FindText(pair, "=");
  return TrimBothEnds(equals != -1 ? TextLeft(pair, equals - 1) : Text(pair));
}

bool CookieListHasName(const TextArray& pairs, TextView name) {
  for (int i = 1; i <= TextArrayCount(pairs); ++i) {
    if (CompareText(CookieName(TextArrayAt(pairs, i)), name) == 0) return true;
  }
  return false;
}

Text DedupeJoined(TextView text, TextView separator) {
  const TextArray items = SplitText(text, separator);
  TextArray taken;
  Text out;
  for (int i = 1; i <= TextArrayCount(items); ++i) {
    const Text& item = TextArrayAt(items, i);
    if (ArrayHasText(taken, item)) continue;
    TextArrayAppend(taken, item);
    out = ConcatTexts(std::move(out), item, separator);
  }
  return TextLeft(out, TextLength(out) - TextLength(separator));
}

bool ArrayHasText(const TextArray& array, TextView text) {
  for (int i = 1; i <= TextArrayCount(array); ++i) {
    if (CompareText(TextArrayAt(array, i), text) == 0) return true;
  }
  return false;
}
