// Every code point through the conversions into code page 936 and UTF-8:
// the size a conversion asks for is the size it writes, whatever the text
// ends in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/url_encode.h"
#include "platform/codepage.h"
#include "text/text.h"

namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;

// Under the sanitizers each conversion costs tens of times more and the
// whole sweep takes minutes, so there one code point in 16 is checked (a
// different one in each run of 16) together with every invisible one the
// code page cannot hold; the normal build checks them all.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr char32_t kStride = 16;
#else
constexpr char32_t kStride = 1;
#endif

bool IsChecked(char32_t c) {
  if (c % kStride == c / kStride % kStride) return true;
  return c == 0x00AD || c == 0x034F || c == 0x061C || (c >= 0x115F && c <= 0x1160) ||
         (c >= 0x180B && c <= 0x180F) || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2060 && c <= 0x206F) || c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF ||
         c == 0xFFA0 || (c >= 0xFFF0 && c <= 0xFFF8) || (c >= 0x1D173 && c <= 0x1D17A) ||
         (c >= 0xE0000 && c <= 0xE0FFF);
}

// The code point as UTF-16 units; a surrogate code point is the lone unit
// it is.
std::u16string UnitsOf(char32_t c) {
  if (c < 0x10000) return std::u16string(1, static_cast<char16_t>(c));
  c -= 0x10000;
  return {static_cast<char16_t>(0xD800 + (c >> 10)), static_cast<char16_t>(0xDC00 + (c & 0x3FF))};
}

// The same units kept in a byte set, low byte first.
void UnitBytes(std::u16string_view text, ByteSet& bytes) {
  bytes.clear();
  for (char16_t u : text) {
    bytes.push_back(static_cast<unsigned char>(u & 0xFF));
    bytes.push_back(static_cast<unsigned char>(u >> 8));
  }
}

struct Target {
  const char* name;
  unsigned codePage;
  DWORD flags;
};

constexpr Target kTargets[] = {
    {"936", CP_GBK, 0},
    {"936 composing", CP_GBK, WC_COMPOSITECHECK},
    {"65001", CP_UTF8, 0},
};

// The places a character is tried at: the text is prefix, character, suffix.
struct Shape {
  const char* name;
  std::u16string_view prefix;
  std::u16string_view suffix;
};

constexpr Shape kShapes[] = {
    {"alone", u"", u""},
    {"at the start", u"", u"ab"},
    {"in the middle", u"a", u"b"},
    {"at the end", u"ab", u""},
};

// Failures are counted, and the first few described, so that a broken rule
// does not print a million messages.
struct Failures {
  long long count = 0;
  std::string first;

  void Add(char32_t c, const Shape& shape, const Target& target, std::string_view what) {
    if (++count > 20) return;
    char codePoint[16];
    std::snprintf(codePoint, sizeof codePoint, "U+%04X", static_cast<unsigned>(c));
    first += std::string(codePoint) + " " + shape.name + ", " + target.name + ": " + std::string(what) + "\n";
  }
};

// One text through WideCharToMultiByte: the size query, then a buffer of
// exactly that size with a guard byte behind it. `out` gets the bytes
// written; the result describes what went wrong, nullptr when nothing did.
const char* Convert(const Target& target, std::u16string_view units, std::string& out) {
  const int count = static_cast<int>(units.size());
  const int n = WideCharToMultiByte(target.codePage, target.flags, units.data(), count, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return "the size query fails";
  out.assign(static_cast<std::size_t>(n) + 1, '\x7F');
  const int written =
      WideCharToMultiByte(target.codePage, target.flags, units.data(), count, out.data(), n, nullptr, nullptr);
  if (written != n) return "a buffer of the size the size query gave does not take the conversion";
  if (out[static_cast<std::size_t>(n)] != '\x7F') return "writes past the size it gave";
  out.resize(static_cast<std::size_t>(n));
  return nullptr;
}

// Whether `out` is prefix, character, suffix, each converted on its own (the
// prefix and suffix are ASCII).
bool IsInPlace(std::string_view out, const Shape& shape, std::string_view character) {
  const std::size_t before = shape.prefix.size();
  if (out.size() != before + character.size() + shape.suffix.size()) return false;
  return std::equal(shape.prefix.begin(), shape.prefix.end(), out.begin()) &&
         out.substr(before, character.size()) == character &&
         std::equal(shape.suffix.begin(), shape.suffix.end(), out.begin() + static_cast<long>(before + character.size()));
}

TEST(EveryCodePointTest, SizeQueryMatchesBytesWrittenInEveryPlace) {
  Failures failures;
  long long checked = 0;
  std::u16string text;
  std::string out;
  std::string alone;
  ByteSet units;
  long long codePoints = 0;
  for (char32_t c = 0; c <= kLastCodePoint; ++c) {
    if (!IsChecked(c)) continue;
    ++codePoints;
    const std::u16string character = UnitsOf(c);
    for (const Target& target : kTargets) {
      for (const Shape& shape : kShapes) {
        text.assign(shape.prefix);
        text += character;
        text += shape.suffix;
        ++checked;
        if (const char* problem = Convert(target, text, out)) {
          failures.Add(c, shape, target, problem);
          continue;
        }
        if (target.flags != 0) continue;
        // Without composition nothing joins the character to its
        // neighbours: the text converts piece by piece.
        if (shape.prefix.empty() && shape.suffix.empty()) {
          alone = out;
        } else if (!IsInPlace(out, shape, alone)) {
          failures.Add(c, shape, target, "not the character's own bytes in place");
        }
        // The routine on byte sets reads up to the first zero unit.
        UnitBytes(text, units);
        const Text viaBytes = UnicodeToCodePage(units, static_cast<int>(target.codePage));
        const std::string_view expected =
            c == 0 ? std::string_view(out).substr(0, shape.prefix.size()) : std::string_view(out);
        if (TextView(viaBytes) != expected) failures.Add(c, shape, target, "UnicodeToCodePage differs");
      }
    }
  }
  RecordProperty("codePointsChecked", std::to_string(codePoints));
  EXPECT_EQ(checked, codePoints * static_cast<long long>(std::size(kTargets) * std::size(kShapes)));
  if (kStride == 1) {
    EXPECT_EQ(codePoints, kLastCodePoint + 1);
  }
  EXPECT_EQ(failures.count, 0) << failures.first;
}

}  // namespace
