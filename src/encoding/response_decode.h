// Decoding of UTF-8 response bodies into code page 936.
//
//   Utf8ToGbkBytes(ToByteSet("\xE4\xB8\xAD"))   -> the bytes D6 D0
//   Utf8ToUnicode(ToByteSet("\xE4\xB8\xAD"))    -> the bytes 2D 4E
//
// Both work on counted bytes: a zero byte is an ordinary character, and no
// terminator is read or added. An invalid UTF-8 sequence becomes a
// substitute character, a character code page 936 cannot hold becomes its
// default character; neither stops the conversion.
#pragma once

#include "text/text.h"

// The UTF-8 bytes as code page 936 bytes. A base character followed by a
// combining mark becomes the precomposed character where the code page has
// one (e and U+0301 give A8 A6).
ByteSet Utf8ToGbkBytes(const ByteSet& bytes);

// The UTF-8 bytes as UTF-16 code units, two bytes each, low byte first,
// without a terminating zero unit.
ByteSet Utf8ToUnicode(const ByteSet& bytes);
