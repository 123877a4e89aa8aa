// Percent-encoding of texts, and the conversion from code page 936 to UTF-8
// that it runs first when asked to.
//
//   UrlEncode("abc", false, true)          -> "%61%62%63"
//   UrlEncode("a b/c-1.Z", true)           -> "a%20b%2Fc-1.Z"
//   AnsiToUtf8("中")                       -> the UTF-8 bytes E4 B8 AD
//
// UrlEncode works on single bytes: every byte becomes "%" and two upper-case
// hexadecimal digits, except that with `keepAlnum` the letters, digits,
// hyphen-minus and full stop stay as they are. The space is "%20", never "+".
#pragma once

#include "text/text.h"

// The bytes of `text` percent-encoded; with `viaUtf8` the bytes of its UTF-8
// form instead.
Text UrlEncode(TextView text, bool keepAlnum = false, bool viaUtf8 = false);

// The same characters as UTF-8 bytes.
Text AnsiToUtf8(TextView text);

// The text, read in `codePage`, as UTF-16 code units (two bytes each, low
// byte first) followed by one zero unit. A text ends at its first zero byte.
// Bytes not valid in the code page become a substitute character.
ByteSet AnsiToUnicode(TextView text, int codePage);

// The UTF-16 code units up to the first zero unit (or up to the end when
// there is none), encoded into `codePage`. A character the code page cannot
// hold becomes its default character.
Text UnicodeToCodePage(const ByteSet& units, int codePage);
