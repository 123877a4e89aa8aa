// Numbers to texts and back.
//
//   TextToInt("  -12abc")  -> -12      TextToInt("１２") -> 12
//   NumberToText(-5)       -> "-5"     ToHexText(255)    -> "FF"
//   CharFromCode(65)       -> "A"      CharFromCode(0)   -> ""
#pragma once

#include "text/text.h"

// Reads a decimal number after folding full-width forms; wraps on overflow.
int TextToInt(TextView text);
Text NumberToText(int value);
// Upper-case hexadecimal of the value as unsigned 32 bits, no leading zeros.
Text ToHexText(int value);
// One byte, the low eight bits of the code; empty when those are zero.
Text CharFromCode(int code);

template <class... Rest>
int BitOr(int first, Rest... rest) {
  return (first | ... | rest);
}
