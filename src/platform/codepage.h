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
#pragma once

#include <cstdint>

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
