// Numbers to texts and back.
#include "text/number.h"

#include <charconv>
#include <cstdint>

namespace {

using Byte = unsigned char;

// Full-width digits, signs, letters and the full-width space become ASCII,
// so that "１２" reads as 12.
Text FoldFullWidth(TextView text) {
  Text out;
  out.reserve(text.size());
  const std::size_t n = text.size();
  for (std::size_t p = 0; p < n;) {
    Byte c = static_cast<Byte>(text[p]);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      p += 1;
      continue;
    }
    if (p + 1 >= n) break;  // a cut-off character is dropped
    Byte d = static_cast<Byte>(text[p + 1]);
    if (c == 0xA3 && d >= 0xA1 && d <= 0xFE) {
      out.push_back(static_cast<char>(d - 0x80));
    } else if (c == 0xA1 && d == 0xA1) {
      out.push_back(' ');
    } else if (c == 0xA1 && d == 0xAB) {
      out.push_back('~');
    } else if (c == 0xA1 && (d == 0xEE || d == 0xEF)) {
      out.push_back('*');
    } else {
      out.push_back(static_cast<char>(c));
      out.push_back(static_cast<char>(d));
    }
    p += 2;
  }
  return out;
}

inline bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int TextToInt(TextView text) {
  Text folded = FoldFullWidth(text);
  std::size_t p = 0;
  while (p < folded.size() && IsCSpace(folded[p])) ++p;
  bool negative = false;
  if (p < folded.size() && (folded[p] == '+' || folded[p] == '-')) {
    negative = folded[p] == '-';
    ++p;
  }
  std::uint32_t value = 0;  // unsigned, so that overflow wraps around
  for (; p < folded.size() && folded[p] >= '0' && folded[p] <= '9'; ++p) {
    value = value * 10u + static_cast<std::uint32_t>(folded[p] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

Text NumberToText(int value) {
  char digits[16];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return Text(digits, end);
}

Text ToHexText(int value) {
  char digits[16];
  auto end = std::to_chars(digits, digits + sizeof digits, static_cast<std::uint32_t>(value), 16).ptr;
  for (char* c = digits; c != end; ++c) {
    if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 'a' + 'A');
  }
  return Text(digits, end);
}

Text CharFromCode(int code) {
  char byte = static_cast<char>(code & 0xFF);
  if (byte == '\0') return {};
  return Text(1, byte);
}
