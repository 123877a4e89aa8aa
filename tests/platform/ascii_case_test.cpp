// The one case-insensitive comparison of protocol and member names.
#include "platform/ascii_case.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Two units are equal ignoring case exactly when they are equal or are the
// same letter of A-Z in its two cases. Pairs that differ by 0x20 but are not
// letters ('@' and '`', '[' and '{', 0xC1 and 0xE1) must stay different.
bool Reference(unsigned a, unsigned b) {
  auto letter = [](unsigned c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
  return a == b || (letter(a) && letter(b) && (a | 0x20) == (b | 0x20));
}

TEST(AsciiCaseTest, EveryPairOfBytesAgainstTheDefinition) {
  for (unsigned a = 0; a < 256; ++a) {
    for (unsigned b = 0; b < 256; ++b) {
      const std::string x(1, static_cast<char>(a)), y(1, static_cast<char>(b));
      ASSERT_EQ(AsciiEqualsIgnoringCase(x, y), Reference(a, b)) << a << " " << b;
      ASSERT_EQ(AsciiStartsWithIgnoringCase(x + "rest", y), Reference(a, b)) << a << " " << b;
    }
  }
}

TEST(AsciiCaseTest, UnitsOfUtf16BeyondAsciiMatchOnlyThemselves) {
  for (unsigned a : {0x41u, 0x61u, 0xC1u, 0xE1u, 0x141u, 0x161u, 0xFF21u, 0xFF41u}) {
    for (unsigned b : {0x41u, 0x61u, 0xC1u, 0xE1u, 0x141u, 0x161u, 0xFF21u, 0xFF41u}) {
      const std::u16string x(1, static_cast<char16_t>(a)), y(1, static_cast<char16_t>(b));
      EXPECT_EQ(AsciiEqualsIgnoringCase(x, y), Reference(a, b)) << a << " " << b;
    }
  }
}

TEST(AsciiCaseTest, LengthsMatter) {
  EXPECT_TRUE(AsciiEqualsIgnoringCase(u"IgnoreCase", u"ignorecase"));
  EXPECT_FALSE(AsciiEqualsIgnoringCase(u"IgnoreCas", u"ignorecase"));
  EXPECT_FALSE(AsciiEqualsIgnoringCase(u"IgnoreCases", u"ignorecase"));
  EXPECT_FALSE(AsciiEqualsIgnoringCase(std::u16string_view(u"Pattern\0x", 9), u"pattern"));
  EXPECT_TRUE(AsciiStartsWithIgnoringCase("HTTPS://a", "https://"));
  EXPECT_TRUE(AsciiStartsWithIgnoringCase("http", ""));
  EXPECT_FALSE(AsciiStartsWithIgnoringCase("http:/", "http://"));
}

}  // namespace
