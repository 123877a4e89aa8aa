// Decoding of UTF-8 response bodies into code page 936.
#include "encoding/response_decode.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "byte_printing.h"

namespace {

// Raw bytes are written as escapes: narrow literals are compiled into code
// page 936.
struct DecodeCase {
  const char* name;
  std::string utf8;
  std::string utf16;
  std::string gbk;
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class ResponseDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(ResponseDecodeTest, ToUnicodeAndToGbk) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(Hex(Utf8ToUnicode(Bytes(c.utf8))), Hex(c.utf16));
  EXPECT_EQ(Hex(Utf8ToGbkBytes(Bytes(c.utf8))), Hex(c.gbk));
}

std::string Ascii() {
  std::string s;
  for (int b = 1; b < 0x80; ++b) s += static_cast<char>(b);
  return s;
}

std::string AsciiUnits() {
  std::string s;
  for (int b = 1; b < 0x80; ++b) {
    s += static_cast<char>(b);
    s += '\0';
  }
  return s;
}

const DecodeCase kDecodeCases[] = {
    {"Chinese", "\xE4\xB8\xAD", "\x2D\x4E", "\xD6\xD0"},
    {"AsciiUnchanged", Ascii(), AsciiUnits(), Ascii()},
    {"ZeroByteIsOrdinary", std::string("a\0\xE4\xB8\xAD", 5), std::string("a\0\0\0\x2D\x4E", 6),
     std::string("a\0\xD6\xD0", 4)},
    {"CombiningAcuteComposed", "e\xCC\x81", std::string("e\0\x01\x03", 4), "\xA8\xA6"},
    {"EuroToSingleByte", "\xE2\x82\xAC", "\xAC\x20", "\x80"},
    {"InvalidByteSubstituted", "a\xFF" "b", std::string("a\0\xFD\xFF" "b\0", 6), "a?b"},
    {"InvisibleLastCharacterBecomesDefaultCharacter", "a\xEF\xBB\xBF", std::string("a\0\xFF\xFE", 4), "a?"},
    {"CutOffSequenceSubstituted", "a\xE4\xB8", std::string("a\0\xFD\xFF", 4), "a?"},
    {"Empty", "", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, ResponseDecodeTest, ::testing::ValuesIn(kDecodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ResponseDecodeTest, WholePageConverted) {
  // A page far larger than any buffer of the conversion.
  std::string utf8;
  std::string gbk;
  for (int i = 0; i < 100000; ++i) {
    utf8 += "<td>\xE4\xB8\xAD\xE6\x96\x87</td>\n";  // 中文
    gbk += "<td>\xD6\xD0\xCE\xC4</td>\n";
  }
  ByteSet result = Utf8ToGbkBytes(Bytes(utf8));
  ASSERT_EQ(result.size(), gbk.size());
  EXPECT_TRUE(result == Bytes(gbk));
}

}  // namespace
