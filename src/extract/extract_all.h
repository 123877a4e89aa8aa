// Every stretch between two delimiters, found in one pass by a regular
// expression, and the escaping that turns a delimiter into a pattern.
//
//   TextArray parts;
//   ExtractAllBetween("L1RxL2R", "L", "R", parts)   -> 2, parts {"1", "2"}
//   EscapePattern("a(b)?#引号")                      -> "a\(b\)\?\""
//
// Only ? * + [ ] ( ) { } are escaped: a full stop in a delimiter stays a
// wildcard for one character, and ^ $ | \ keep their pattern meaning.
#pragma once

#include "text/text.h"

// Puts a backslash before ? * + [ ] ( ) { } and turns the quote
// placeholder into a double quote.
Text EscapePattern(TextView text);

// Replaces `results` by the text between every `left` and the nearest
// `right` after it, in order, letter case ignored. Each capture may be
// dropped when longer than `lengthLimit` bytes (0: no limit; negative: every
// capture), then becomes prefix + capture + suffix, and gets the delimiters
// as given put around it on request. Returns the number of members.
int ExtractAllBetween(TextView subject, TextView left, TextView right, TextArray& results, int lengthLimit = 0,
                      TextView prefix = {}, TextView suffix = {}, bool includeLeft = false,
                      bool includeRight = false);
