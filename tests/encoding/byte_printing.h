// Byte sets and texts as upper-case hexadecimal pairs, for readable
// comparisons: Hex(ToByteSet("\xD6\xD0")) is "D6 D0".
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "text/text.h"

inline std::string Hex(std::string_view bytes) {
  std::string out;
  for (unsigned char b : bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X", b);
    if (!out.empty()) out += ' ';
    out += pair;
  }
  return out;
}

inline std::string Hex(const ByteSet& bytes) {
  return Hex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

inline ByteSet Bytes(std::string_view s) { return ByteSet(s.begin(), s.end()); }
