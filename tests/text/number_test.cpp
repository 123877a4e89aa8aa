// Numbers to texts and back: TextToInt with its full-width folding and
// wrap-around, the decimal and hexadecimal forms, CharFromCode and BitOr.
#include "text/number.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "text_printer.h"

namespace {

TEST(NumberTest, TextToIntReadsLeadingDecimal) {
  struct Case {
    TextView text;
    int expected;
  };
  const Case cases[] = {
      {"", 0},
      {"0", 0},
      {"42", 42},
      {"  -12abc", -12},
      {"+7", 7},
      {"81/x", 81},
      {"abc", 0},
      {"- 5", 0},
      {"+-5", 0},
      {"--5", 0},
      {"\t\n\v\f\r 3", 3},
      {"007", 7},
      {"1 2", 1},
      // Full-width digits, signs and spaces fold to their ASCII forms.
      {"１２", 12},
      {"－５", -5},
      {"＋５", 5},
      {"　12", 12},
      {"1２3", 123},
      {"１２３ab", 123},
      // Other characters end the digits; a second byte is never read as one.
      {"\xB0\x35", 0},
      {"1\xB0\x35", 1},
      {"12\xA3", 12},
      {"\xA3", 0},
      // 32-bit wrap-around, no clamping.
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"2147483648", INT_MIN},
      {"4294967296", 0},
      {"4294967297", 1},
      {"-4294967297", -1},
      {"99999999999", 1215752191},
      {"１２３４５６７８９０１２３４５６７８９０", static_cast<int>(12345678901234567890ULL & 0xFFFFFFFFu)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextToInt(c.text), c.expected) << ::testing::PrintToString(std::string(c.text));
  }
}

TEST(NumberTest, NumberToTextIsPlainDecimal) {
  EXPECT_EQ(NumberToText(0), "0");
  EXPECT_EQ(NumberToText(7), "7");
  EXPECT_EQ(NumberToText(-5), "-5");
  EXPECT_EQ(NumberToText(1024), "1024");
  EXPECT_EQ(NumberToText(INT_MAX), "2147483647");
  EXPECT_EQ(NumberToText(INT_MIN), "-2147483648");
  for (int v : {0, 1, -1, 99, -100, 65535, INT_MAX, INT_MIN}) EXPECT_EQ(TextToInt(NumberToText(v)), v);
}

TEST(NumberTest, ToHexTextIsUnsignedUpperCase) {
  struct Case {
    int value;
    TextView expected;
  };
  const Case cases[] = {
      {0, "0"},     {10, "A"},          {15, "F"},        {16, "10"},
      {255, "FF"},  {0x1234abcd, "1234ABCD"}, {-1, "FFFFFFFF"}, {INT_MIN, "80000000"},
      {INT_MAX, "7FFFFFFF"},
  };
  for (const Case& c : cases) EXPECT_EQ(ToHexText(c.value), c.expected) << c.value;
}

TEST(NumberTest, CharFromCodeKeepsLowByte) {
  struct Case {
    int code;
    TextView expected;
  };
  const Case cases[] = {
      {0, ""}, {256, ""}, {-256, ""}, {65, "A"}, {0x141, "A"}, {-191, "A"}, {0xB0, "\xB0"}, {-1, "\xFF"},
  };
  for (const Case& c : cases) EXPECT_EQ(CharFromCode(c.code), c.expected) << c.code;
}

TEST(NumberTest, BitOrCombinesAll) {
  EXPECT_EQ(BitOr(0), 0);
  EXPECT_EQ(BitOr(1, 2), 3);
  EXPECT_EQ(BitOr(1, 2, 4, 8), 15);
  EXPECT_EQ(BitOr(0x10, 0x10, 0), 0x10);
  EXPECT_EQ(BitOr(INT_MIN, 1), INT_MIN + 1);
}

}  // namespace
