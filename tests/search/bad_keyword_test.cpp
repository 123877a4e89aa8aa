// Result-page addresses for keywords nobody should type but someone will:
// huge ones, emoji the keyword box can only hand over as "?", control
// characters, stray bytes. The address must stay well formed: printable
// ASCII only, and exactly the keys q, page and by.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/gtk_text.h"
#include "search/query.h"

namespace {

struct BadKeywordCase {
  const char* name;
  std::string keyword;
  // The keyword's UTF-8 form, which the q value must decode to.
  std::string utf8;
};

void PrintTo(const BadKeywordCase& c, std::ostream* os) { *os << c.name; }

std::string Repeat(const std::string& unit, std::size_t bytes) {
  std::string s;
  while (s.size() < bytes) s += unit;
  return s;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class BadKeywordTest : public ::testing::TestWithParam<BadKeywordCase> {};

TEST_P(BadKeywordTest, AddressStaysWellFormed) {
  const BadKeywordCase& c = GetParam();
  const std::string url(BuildQueryUrl(c.keyword, 3));

  for (const char ch : url) ASSERT_TRUE(ch >= 0x21 && ch <= 0x7e) << "byte " << static_cast<int>(ch);
  const std::string prefix = "http://so.quorvane.example/?";
  ASSERT_EQ(url.rfind(prefix, 0), 0u);

  std::vector<std::string> keys;
  const std::string query = url.substr(prefix.size());
  for (std::size_t p = 0; p != std::string::npos;) {
    const std::size_t amp = query.find('&', p);
    keys.push_back(query.substr(p, amp == std::string::npos ? amp : amp - p));
    p = amp == std::string::npos ? amp : amp + 1;
  }
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[1], "page=3");
  EXPECT_EQ(keys[2], "by=prev");
  ASSERT_EQ(keys[0].rfind("q=", 0), 0u);

  // Every byte of the value is a %XX triple, and together they are the
  // keyword's UTF-8 bytes.
  const std::string value = keys[0].substr(2);
  ASSERT_EQ(value.size() % 3, 0u);
  std::string decoded;
  for (std::size_t i = 0; i < value.size(); i += 3) {
    ASSERT_EQ(value[i], '%');
    const int high = HexValue(value[i + 1]);
    const int low = HexValue(value[i + 2]);
    ASSERT_TRUE(high >= 0 && low >= 0) << value.substr(i, 3);
    decoded += static_cast<char>(high * 16 + low);
  }
  EXPECT_EQ(decoded, c.utf8);
}

// The window hands the keyword over in code page 936; what that code page
// lacks arrives as "?".
const std::string kEmojiKeyword = Utf8ToGbk("\xF0\x9F\x98\x80 a\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD\xE4\xB8\xAD");

const BadKeywordCase kCases[] = {
    {"HundredKilobytesOfLetters", Repeat("a", 100 * 1024), Repeat("a", 100 * 1024)},
    {"HundredKilobytesOfChinese", Repeat("\xD6\xD0", 100 * 1024), Repeat("\xE4\xB8\xAD", 150 * 1024)},
    {"EmojiAsQuestionMarks", kEmojiKeyword, "? a??\xE4\xB8\xAD"},
    {"ControlCharacters", "\x01\x07\t\n\r\x1b\x7f x", "\x01\x07\t\n\r\x1b\x7f x"},
    {"QueryAndFragmentCharacters", "?&=#%+/ ", "?&=#%+/ "},
};

INSTANTIATE_TEST_SUITE_P(Keywords, BadKeywordTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<BadKeywordCase>& info) { return info.param.name; });

// Bytes that are no character of code page 936 (a lone lead byte, a lead
// byte at the very end, 0x80 and 0xFF) still give a well-formed address;
// what they decode to is the converter's business, not checked here.
TEST(BadKeywordBytesTest, StrayBytesGivePrintableAscii) {
  for (const std::string keyword : {"\x81", "a\xD6", "\x80", "\xFF\xFF", "\xD6\x7F", "\x81\x30\x81\x30"}) {
    const std::string url(BuildQueryUrl(keyword, 1));
    for (const char ch : url) EXPECT_TRUE(ch >= 0x21 && ch <= 0x7e) << "byte " << static_cast<int>(ch);
    EXPECT_EQ(url.rfind("http://so.quorvane.example/?q=%", 0), 0u) << url;
    EXPECT_EQ(url.substr(url.size() - 15), "&page=1&by=prev") << url;
    EXPECT_EQ(url.find('&'), url.size() - 15);
  }
}

}  // namespace
