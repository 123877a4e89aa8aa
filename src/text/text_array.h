// Operations on text arrays, indexed from 1 with every index checked.
//
//   TextArray a;
//   TextArrayAppend(a, "x");
//   TextArrayCount(a)    -> 1
//   TextArrayAt(a, 1)    -> "x"
//   TextArrayAt(a, 2)    -> runtime error 1, the program ends
#pragma once

#include "text/text.h"

int TextArrayCount(const TextArray& array);
// Borrowed from the array: copy it to keep it past the next change.
const Text& TextArrayAt(const TextArray& array, int index);
void TextArrayAppend(TextArray& array, TextView text);
