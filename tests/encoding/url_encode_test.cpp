// Percent-encoding and the conversions from code page 936 to UTF-8.
#include "encoding/url_encode.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/codepage.h"
#include "byte_printing.h"

namespace {

// Narrow literals are compiled into code page 936; raw bytes are escapes.
struct UrlEncodeCase {
  const char* name;
  std::string text;
  bool keepAlnum;
  bool viaUtf8;
  const char* expected;
};

void PrintTo(const UrlEncodeCase& c, std::ostream* os) { *os << c.name; }

class UrlEncodeTest : public ::testing::TestWithParam<UrlEncodeCase> {};

TEST_P(UrlEncodeTest, Encodes) {
  const UrlEncodeCase& c = GetParam();
  EXPECT_EQ(UrlEncode(c.text, c.keepAlnum, c.viaUtf8), c.expected);
}

const UrlEncodeCase kUrlEncodeCases[] = {
    {"LettersEncodedViaUtf8", "abc", false, true, "%61%62%63"},
    {"LettersEncodedWithoutKeep", "abc", false, false, "%61%62%63"},
    {"ChineseViaUtf8", "\xD6\xD0", false, true, "%E4%B8%AD"},
    {"ChineseRawBytes", "\xD6\xD0", false, false, "%D6%D0"},
    {"ChineseLiteralViaUtf8", "中", false, true, "%E4%B8%AD"},
    {"EuroTakesThreeUtf8Bytes", "\x80", false, true, "%E2%82%AC"},
    {"PlainBytesKept", "a b/c-1.Z_~", true, false, "a%20b%2Fc-1.Z%5F%7E"},
    {"NeighboursOfPlainRangesEncoded", ",/09:@AZ[`az{", true, false, "%2C%2F09%3A%40AZ%5B%60az%7B"},
    {"LineFeedHasLeadingZero", "\n", false, false, "%0A"},
    {"LineFeedKeptModeToo", "\n", true, false, "%0A"},
    {"SecondByteLetterKeptAsLetter", "\x81\x41", true, false, "%81A"},
    {"KeepAndUtf8Together", "a\xD6\xD0-", true, true, "a%E4%B8%AD-"},
    {"QueryCharactersEncoded", "a&b=c#d", false, true, "%61%26%62%3D%63%23%64"},
    {"EmptyDefault", "", false, false, ""},
    {"EmptyKeep", "", true, false, ""},
    {"EmptyViaUtf8", "", false, true, ""},
    {"EmptyBoth", "", true, true, ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, UrlEncodeTest, ::testing::ValuesIn(kUrlEncodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UrlEncodeTest, DefaultsEncodeRawBytes) { EXPECT_EQ(UrlEncode("a\xD6\xD0"), "%61%D6%D0"); }

TEST(AnsiToUnicodeTest, UnitsThenZeroUnit) {
  struct Case {
    std::string text;
    int codePage;
    const char* expected;
  } cases[] = {
      {"a\xD6\xD0", CP_GBK, "61 00 2D 4E 00 00"},
      {"\x80", CP_GBK, "AC 20 00 00"},
      {"", CP_GBK, "00 00"},
      {"\xE4\xB8\xAD", CP_UTF8, "2D 4E 00 00"},
      {"a\xD6", CP_GBK, "61 00 FD FF 00 00"},             // cut-off character: substitute, goes on
      {std::string("a\0b", 3), CP_GBK, "61 00 00 00"},  // a text ends at its first zero byte
      {"a", 1252, ""},                                   // unknown code page
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.text));
    EXPECT_EQ(Hex(AnsiToUnicode(c.text, c.codePage)), c.expected);
  }
}

TEST(UnicodeToCodePageTest, UnitsUpToFirstZeroUnit) {
  struct Case {
    std::string units;
    int codePage;
    std::string expected;
  } cases[] = {
      {std::string("\x2D\x4E\0\0", 4), CP_UTF8, "\xE4\xB8\xAD"},
      {std::string("\x2D\x4E\0\0", 4), CP_GBK, "\xD6\xD0"},
      {std::string("\xAC\x20\0\0", 4), CP_GBK, "\x80"},
      {std::string("a\0\0\0b\0\0\0", 8), CP_UTF8, "a"},
      {std::string("\0\0", 2), CP_UTF8, ""},
      {"", CP_UTF8, ""},
      {std::string("a\0b\0", 4), CP_UTF8, "ab"},        // no terminator: up to the end
      {std::string("a\0b", 3), CP_UTF8, "a"},           // a lone last byte is no unit
      {std::string("\x01\x0E\0\0", 4), CP_GBK, "?"},    // U+0E01 has no code page 936 form
      {std::string("\x2D\x4E\0\0", 4), 1252, ""},       // unknown code page
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.units));
    EXPECT_EQ(Hex(UnicodeToCodePage(Bytes(c.units), c.codePage)), Hex(c.expected));
  }
}

TEST(AnsiToUtf8Test, ConvertsWholeText) {
  EXPECT_EQ(AnsiToUtf8(""), "");
  EXPECT_EQ(Hex(AnsiToUtf8("a\xD6\xD0\x80")), "61 E4 B8 AD E2 82 AC");

  // Three UTF-8 bytes for every two bytes of code page 936: the result is
  // longer than the text, and all of it is there.
  Text text;
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    text += "\xD6\xD0";
    expected += "\xE4\xB8\xAD";
  }
  EXPECT_EQ(std::string(AnsiToUtf8(text)), expected);
}

}  // namespace
