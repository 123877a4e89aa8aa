// URL decomposition on the text primitives.
#include "http/url_parts.h"

#include "extract/delimited.h"
#include "text/number.h"
#include "text/text_array.h"
#include "text/text_ops.h"

Text UrlHost(TextView url, bool lastTwoLabels, bool keepPort) {
  Text s = ToLowerCase(url);
  if (TextRight(s, 1) != "/") s = ConcatTexts(std::move(s), "/");
  // The host ends at the first "/" after the scheme, so a query straight
  // after the host ("http://h?q=1") stays part of it.
  if (TextLeft(s, 8) == "https://") {
    s = TextBetween(s, "https://", "/");
  } else {
    if (FindText(s, "http://") == -1) s = ConcatTexts(Text("http://"), s);
    s = TextBetween(s, "http://", "/");
  }
  if (lastTwoLabels) {
    const TextArray labels = SplitText(s, ".");
    const int n = TextArrayCount(labels);
    if (n > 1) s = ConcatTexts(Text(TextArrayAt(labels, n - 1)), ".", TextArrayAt(labels, n));
  }
  if (!keepPort) {
    const int colon = FindText(s, ":");
    if (colon != -1) s = TextLeft(s, colon - 1);
  }
  return s;
}

int UrlPort(TextView url) {
  const Text h = UrlHost(url, false, true);
  if (FindText(h, ":") != -1) {
    const int colon = FindTextReverse(h, ":");
    return TextToInt(TextRight(h, TextLength(h) - colon));
  }
  return TextLeft(ToLowerCase(url), 5) == "https" ? 443 : 80;
}

Text UrlPath(TextView url) {
  const Text h = UrlHost(url);
  const int a = FindText(url, h, 1, true);
  // When the host is not found, a is -1 and the search covers the whole URL.
  const int b = FindText(url, "/", a, true);
  if (b <= 0) return Text("/");
  return TextRight(url, TextLength(url) - b + 1);
}
