// Code-page conversion between code page 936 (GBK), UTF-8 and UTF-16, with
// the names and argument conventions of the system conversions.
//
//   int n = MultiByteToWideChar(CP_GBK, 0, "中", -1, nullptr, 0);  // size only
//   std::u16string w(n, u'\0');
//   MultiByteToWideChar(CP_GBK, 0, "中", -1, w.data(), n);
//
// A source count of -1 means a zero-terminated source, whose terminator is
// converted and counted too. A destination size of 0 asks for the size only.
// Both return the number of units (or bytes) written or needed, 0 on failure
// (unknown code page, a destination too small, bad arguments).
//
// Invalid input never stops a conversion: it becomes a substitute character.
// Thread-safe; each call uses converters of its own thread.
//
// For whole texts, the pair CodePageToUtf16 and Utf16ToCodePage does the
// sizing:
//
//   std::string utf8 = Utf16ToCodePage(CP_UTF8, CodePageToUtf16(CP_GBK, gbk));
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

using WCHAR = char16_t;
using DWORD = std::uint32_t;
using BOOL = int;

inline constexpr unsigned CP_GBK = 936;
inline constexpr unsigned CP_UTF8 = 65001;
inline constexpr DWORD WC_COMPOSITECHECK = 0x00000200;

int MultiByteToWideChar(unsigned codePage, DWORD flags, const char* source, int sourceCount,
                        WCHAR* destination, int destinationCount);

int WideCharToMultiByte(unsigned codePage, DWORD flags, const WCHAR* source, int sourceCount,
                        char* destination, int destinationCount, const char* defaultChar,
                        BOOL* usedDefaultChar);

// Whole texts. The one rule for zeros: a text ends at its first zero byte or
// zero unit, which is not converted and nor is anything after it. The
// program's texts hold no zero byte on either side of a conversion, so a
// zero from anywhere (a U+0000 from the regular-expression component, a
// zero-terminated string) always means "the text stops here".
//
// Both give an empty result for an empty text and on failure (an unknown
// code page, more than INT_MAX units); a non-empty text never converts to
// an empty one otherwise.
std::u16string CodePageToUtf16(unsigned codePage, std::string_view bytes);

// `Bytes` is any string of char: std::string, or the text layer's Text,
// which is filled in place.
template <typename Bytes = std::string>
Bytes Utf16ToCodePage(unsigned codePage, std::u16string_view units);

// Implementation details follow.

namespace codepage_internal {

// The most bytes one UTF-16 unit becomes, substitutes included, or 0 when
// the code page's worst case is not known here.
constexpr int MaxBytesPerUnit(unsigned codePage) {
  return codePage == CP_UTF8 ? 3 : codePage == CP_GBK ? 2 : 0;
}

}  // namespace codepage_internal

template <typename Bytes>
Bytes Utf16ToCodePage(unsigned codePage, std::u16string_view units) {
  units = units.substr(0, units.find(u'\0'));
  Bytes bytes;
  if (units.empty() || units.size() > INT_MAX) return bytes;
  const int count = static_cast<int>(units.size());
  // One pass into the worst case's room; asking for the size first is only
  // the fallback.
  const int most = codepage_internal::MaxBytesPerUnit(codePage);
  int n = 0;
  if (most > 0 && count <= INT_MAX / most) {
    bytes.resize(units.size() * static_cast<std::size_t>(most));
    n = WideCharToMultiByte(codePage, 0, units.data(), count, bytes.data(), count * most, nullptr, nullptr);
  }
  if (n == 0) {
    n = WideCharToMultiByte(codePage, 0, units.data(), count, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return Bytes();
    bytes.resize(static_cast<std::size_t>(n));
    n = WideCharToMultiByte(codePage, 0, units.data(), count, bytes.data(), n, nullptr, nullptr);
  }
  bytes.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  return bytes;
}
