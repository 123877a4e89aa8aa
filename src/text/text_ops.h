// Counting, joining, cutting, finding, replacing, splitting, trimming and
// case folding of texts.
//
//   FindText("abc", "c", 3)                  -> 3
//   ReplaceSubtext("aaaa", "aa", "b")        -> "bb"
//   SplitText("a,,b,", ",")                  -> {"a", "", "b"}
//   TrimBothEnds("　 x ")                   -> "x"
//
// The scanning primitives (FindText, FindTextReverse, ReplaceSubtext,
// SplitText, the space and case routines) walk a text by characters of code
// page 936: a byte of 0x80 or above starts a two-byte character, so a search
// never matches inside one. A lead byte that is the text's last byte is a
// cut-off character. TextLength, TextLeft, TextRight and TextMid count plain
// bytes. Only the ASCII letters have letter case, whatever the locale.
#pragma once

#include <utility>

#include "text/text.h"

int TextLength(TextView text);

// The texts joined in order. Pass the first with std::move to append to it.
template <class... Rest>
Text ConcatTexts(Text first, const Rest&... rest) {
  (first.append(TextView(rest)), ...);
  return first;
}

// -1, 0 or 1, comparing bytes as unsigned values.
int CompareText(TextView a, TextView b);

Text TextLeft(TextView text, int n);
Text TextRight(TextView text, int n);
Text TextMid(TextView text, int start, int n);

// 1-based position of the first match at or after `start`, or -1. A start
// of 1 or less searches the whole text.
int FindText(TextView text, TextView sub, int start = 1, bool ignoreCase = false);
// Position of the last match, or -1.
int FindTextReverse(TextView text, TextView sub, bool ignoreCase = false);

// Replaces up to `count` matches (negative: no limit; 0: none) from `start`
// on. Note the flag's sense: true compares exact bytes.
Text ReplaceSubtext(TextView text, TextView find, TextView replacement, int start = 1, int count = -1,
                    bool respectCase = false);

TextArray SplitText(TextView text, TextView delimiter);

// Spaces are the byte 0x20 and the full-width space A1 A1, nothing else.
Text TrimBothEnds(TextView text);
Text RemoveAllSpaces(TextView text);

Text ToLowerCase(TextView text);

// n spaces.
Text BlankText(int n);
