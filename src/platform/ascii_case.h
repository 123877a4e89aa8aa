// Comparisons that ignore the case of the ASCII letters A-Z only, for the
// names of protocols, header fields and component members. Every other unit,
// bytes above 0x7F included, must match exactly: a locale's idea of case
// has no place in a protocol name, and in code page 936 a byte above 0x7F is
// half of a character.
//
//   AsciiStartsWithIgnoringCase("Location: /x", "location:")   // true
//   AsciiEqualsIgnoringCase(u"ignorecase", u"IgnoreCase")       // true
#pragma once

#include <cstddef>
#include <string_view>

namespace ascii_case_internal {

template <typename Char>
constexpr Char Lower(Char c) {
  return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

template <typename Char>
constexpr bool SamePrefix(std::basic_string_view<Char> a, std::basic_string_view<Char> b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

}  // namespace ascii_case_internal

constexpr bool AsciiStartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && ascii_case_internal::SamePrefix(text, prefix, prefix.size());
}

constexpr bool AsciiEqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ascii_case_internal::SamePrefix(a, b, a.size());
}

constexpr bool AsciiEqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && ascii_case_internal::SamePrefix(a, b, a.size());
}
