// Cutting texts between delimiters and replacing in sequence.
//
//   TextBetween("[a][b]", "[", "]")              -> "a"
//   ValueAfterColon("Location: x:1")             -> "x:1"
//   ReplaceFivePairs("<EM>a</em>", {}, 0, false, "<em>", "", "</em>", "")  -> "a"
//
// In the delimiters of TextBetween the placeholder "#引号" stands for a
// double quote; the searched text is never changed by it.
#pragma once

#include <optional>

#include "text/text.h"

// The quote placeholder: "#引号" in code page 936. (Defined with the
// routines, so that only they need the program's execution character set.)
extern const TextView kQuotePlaceholder;

// Replaces every quote placeholder in a delimiter by a double quote.
Text ReplaceQuotePlaceholder(TextView delimiter);

// The text between the first `left` at or after `start` and the first
// `right` after it; empty when either is missing. Letter case is ignored
// unless `caseSensitive`.
Text TextBetween(TextView text, TextView left, TextView right, int start = 0, bool caseSensitive = false);

// The text after the first colon, without leading and trailing spaces.
Text ValueAfterColon(TextView text);

// Five ReplaceSubtext steps, pair 1 first. When `count` is supplied it goes
// to every step as it is, whatever its value; otherwise every occurrence is
// replaced.
Text ReplaceFivePairs(TextView text, std::optional<int> count = std::nullopt, int start = 1,
                      bool caseSensitive = false, TextView find1 = {}, TextView replacement1 = {},
                      TextView find2 = {}, TextView replacement2 = {}, TextView find3 = {},
                      TextView replacement3 = {}, TextView find4 = {}, TextView replacement4 = {},
                      TextView find5 = {}, TextView replacement5 = {});
