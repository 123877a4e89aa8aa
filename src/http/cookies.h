// Folding the cookies a response delivered into the cookie text a caller
// keeps between requests.
//
//   Text kept = "a=1; b=2";
//   Text delivered = "b=3; c=4; ";
//   MergeCookies(kept, delivered);   // kept == "b=3; c=4; a=1"
//                                    // delivered == "b=3;c=4;"
//
// A delivered value replaces a kept value of the same name, a pair ending in
// "=deleted" disappears and no pair occurs twice. Names and pairs compare
// byte for byte, letter case significant.
#pragma once

#include "text/text.h"

// Rewrites `cookies` with the merged text, "; "-joined, and
// `receivedCookies` without its spaces; returns a copy of the new `cookies`.
Text MergeCookies(Text& cookies, Text& receivedCookies);

// The trimmed text before the pair's first "=", or the whole pair.
Text CookieName(TextView pair);

// Whether some pair of the list has the name.
bool CookieListHasName(const TextArray& pairs, TextView name);

// The items of a `separator`-joined text with repeats left out, joined again.
Text DedupeJoined(TextView text, TextView separator);

// Whether some element equals the text.
bool ArrayHasText(const TextArray& array, TextView text);
