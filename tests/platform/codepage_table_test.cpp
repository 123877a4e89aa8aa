// Code page 936 conversions against the converter itself: every byte, every
// byte pair and every UTF-16 unit on its own, and random texts that mix
// runs of ASCII, characters, and what the converter must substitute, must
// convert exactly as the converter alone converts them.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/codepage_testing.h"

namespace {

// MultiByteToWideChar three ways: size query, room for one unit per byte,
// exactly the room needed; all three must agree.
std::u16string Decode(const std::string& bytes) {
  const int length = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(CP_GBK, 0, bytes.data(), length, nullptr, 0);
  std::u16string roomy(bytes.size(), u'\0');
  const int m = MultiByteToWideChar(CP_GBK, 0, bytes.data(), length, roomy.data(), length);
  EXPECT_EQ(n, m);
  std::u16string exact(static_cast<std::size_t>(n) + 1, u'\x7777');
  EXPECT_EQ(MultiByteToWideChar(CP_GBK, 0, bytes.data(), length, exact.data(), n), n);
  EXPECT_EQ(exact.back(), u'\x7777');  // nothing written past the result
  exact.pop_back();
  EXPECT_EQ(roomy.substr(0, static_cast<std::size_t>(m)), exact);
  if (n > 1) {
    EXPECT_EQ(MultiByteToWideChar(CP_GBK, 0, bytes.data(), length, exact.data(), n - 1), 0);
  }
  return exact;
}

std::string Encode(const std::u16string& units) {
  const int length = static_cast<int>(units.size());
  const int n = WideCharToMultiByte(CP_GBK, 0, units.data(), length, nullptr, 0, nullptr, nullptr);
  std::string roomy(2 * units.size(), '\0');
  const int m = WideCharToMultiByte(CP_GBK, 0, units.data(), length, roomy.data(), 2 * length, nullptr, nullptr);
  EXPECT_EQ(n, m);
  std::string exact(static_cast<std::size_t>(n) + 1, '\x77');
  EXPECT_EQ(WideCharToMultiByte(CP_GBK, 0, units.data(), length, exact.data(), n, nullptr, nullptr), n);
  EXPECT_EQ(exact.back(), '\x77');
  exact.pop_back();
  EXPECT_EQ(roomy.substr(0, static_cast<std::size_t>(m)), exact);
  if (n > 1) {
    EXPECT_EQ(WideCharToMultiByte(CP_GBK, 0, units.data(), length, exact.data(), n - 1, nullptr, nullptr), 0);
  }
  return exact;
}

std::string Hex(const std::string& bytes) {
  std::string out;
  for (unsigned char b : bytes) out += "0123456789ABCDEF"[b >> 4], out += "0123456789ABCDEF"[b & 15], out += ' ';
  return out;
}

TEST(CodePageByConverterTest, EveryByteAndBytePairAloneAndBeforeAnotherCharacter) {
  std::vector<std::string> sources;
  for (int b = 1; b <= 0xFF; ++b) sources.push_back(std::string(1, static_cast<char>(b)));
  for (int lead = 0x80; lead <= 0xFF; ++lead) {
    for (int trail = 1; trail <= 0xFF; ++trail) sources.push_back({static_cast<char>(lead), static_cast<char>(trail)});
  }
  for (const std::string& s : sources) {
    for (const std::string& text : {s, s + "a", s + "\xD6\xD0"}) {
      ASSERT_EQ(Decode(text), GbkToUtf16ByConverter(text)) << Hex(text);
    }
  }
}

TEST(CodePageByConverterTest, EveryUtf16UnitAloneAndBeforeAnotherCharacter) {
  for (std::uint32_t u = 1; u <= 0xFFFF; ++u) {
    const std::u16string alone(1, static_cast<char16_t>(u));
    for (const std::u16string& text : {alone, alone + u"a", alone + u"\u4E2D", u"\xD83D" + alone}) {
      ASSERT_EQ(Encode(text), Utf16ToGbkByConverter(text)) << "U+" << std::hex << u;
    }
  }
}

// Texts of pieces that exercise each path: runs of ASCII longer and shorter
// than a block, characters of one and two bytes, and now and then what the
// converter substitutes.
TEST(CodePageByConverterTest, RandomTextsBothWays) {
  static constexpr const char* kCharacters[] = {"\xD6\xD0", "\x80", "\xFF", "\xA2\xA0", "\xA1\xA1"};
  std::mt19937 random(936);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 3000; ++round) {
    const bool odd = pick(3) == 0;
    std::string bytes;
    std::u16string units;
    for (int n = pick(40); n > 0; --n) {
      switch (pick(odd ? 6 : 4)) {
        case 0: bytes.append(static_cast<std::size_t>(1 + pick(20)), static_cast<char>('a' + pick(26))); break;
        case 1: bytes += kCharacters[pick(static_cast<int>(std::size(kCharacters)))]; break;
        case 2: bytes += {static_cast<char>(0x81 + pick(126)), static_cast<char>(0x80 + pick(0x7F))}; break;
        case 3: bytes += "<div class=\"x\">"; break;
        case 4: bytes += static_cast<char>(0x81 + pick(126)); break;  // cut off, or before any byte
        default: bytes += {static_cast<char>(0x81 + pick(126)), static_cast<char>(1 + pick(0x3F))}; break;
      }
      switch (pick(odd ? 6 : 4)) {
        case 0: units.append(static_cast<std::size_t>(1 + pick(20)), static_cast<char16_t>(u'a' + pick(26))); break;
        case 1: units += static_cast<char16_t>(0x4E00 + pick(0x5000)); break;
        case 2: units += u"\u20AC\u00B7\uE585\u3000"[pick(4)]; break;
        case 3: units += u"</script><br>"; break;
        case 4: units += static_cast<char16_t>(0xD800 + pick(0x800)); break;  // alone, or in a pair
        default: units += static_cast<char16_t>(0x80 + pick(0xFF80)); break;
      }
    }
    ASSERT_EQ(Decode(bytes), GbkToUtf16ByConverter(bytes)) << Hex(bytes);
    ASSERT_EQ(Encode(units), Utf16ToGbkByConverter(units)) << "round " << round;
  }
}

TEST(CodePageByConverterTest, CharactersOfTheCodePageUseNoDefaultCharacter) {
  // A text that converts by table reports its caller's default character
  // unused, as the converter does.
  char out[16];
  BOOL used = -1;
  ASSERT_EQ(WideCharToMultiByte(CP_GBK, 0, u"ab\u4E2D\u20AC", 4, out, sizeof out, "*", &used), 5);
  EXPECT_EQ(std::string(out, 5), "ab\xD6\xD0\x80");
  EXPECT_EQ(used, 0);
  ASSERT_EQ(WideCharToMultiByte(CP_GBK, 0, u"ab\u0E01", 3, out, sizeof out, "*", &used), 3);
  EXPECT_EQ(std::string(out, 3), "ab*");
  EXPECT_EQ(used, 1);
}

}  // namespace
