// Code page 936 straight through the converter, none of the shortcuts of
// MultiByteToWideChar and WideCharToMultiByte taken: what those must give
// for every input, for tests to hold them to.
//
//   GbkToUtf16ByConverter("a\xD6")        -> u"a\uFFFD"
//   Utf16ToGbkByConverter(u"\u4E2D\uFFFD") -> "\xD6\xD0?"
#pragma once

#include <string>
#include <string_view>

std::u16string GbkToUtf16ByConverter(std::string_view bytes);
// Every character the code page lacks, an invisible one too, becomes "?".
std::string Utf16ToGbkByConverter(std::u16string_view units);
