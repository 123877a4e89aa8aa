// Cutting texts between delimiters, the value after a colon, and the five
// replacements in sequence.
#include "extract/delimited.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <random>
#include <string>

#include "../text/text_printer.h"
#include "text/text_ops.h"

namespace {

TEST(QuotePlaceholderTest, StandsForDoubleQuote) {
  EXPECT_EQ(kQuotePlaceholder, "\x23\xD2\xFD\xBA\xC5");
  EXPECT_EQ(ReplaceQuotePlaceholder("#引号a#引号"), "\"a\"");
  EXPECT_EQ(ReplaceQuotePlaceholder("#引号#引号"), "\"\"");
  EXPECT_EQ(ReplaceQuotePlaceholder("#引"), "#引");
  EXPECT_EQ(ReplaceQuotePlaceholder("引号"), "引号");
  EXPECT_EQ(ReplaceQuotePlaceholder(""), "");
}

struct BetweenCase {
  TextView text, left, right;
  int start;
  bool caseSensitive;
  TextView expected;
};

void PrintTo(const BetweenCase& c, std::ostream* os) {
  *os << "text=" << ::testing::PrintToString(std::string(c.text))
      << " left=" << ::testing::PrintToString(std::string(c.left))
      << " right=" << ::testing::PrintToString(std::string(c.right)) << " start=" << c.start
      << " caseSensitive=" << c.caseSensitive;
}

class TextBetweenTest : public ::testing::TestWithParam<BetweenCase> {};

TEST_P(TextBetweenTest, CutsFirstStretch) {
  const BetweenCase& c = GetParam();
  EXPECT_EQ(TextBetween(c.text, c.left, c.right, c.start, c.caseSensitive), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextBetweenTest,
    ::testing::Values(
        BetweenCase{"[a][b]", "[", "]", 0, false, "a"}, BetweenCase{"[a][b]", "[", "]", 2, false, "b"},
        BetweenCase{"[]x]", "[", "]", 0, false, ""}, BetweenCase{"]a[", "[", "]", 0, false, ""},
        BetweenCase{"a]", "[", "]", 0, false, ""}, BetweenCase{"[a", "[", "]", 0, false, ""},
        BetweenCase{"ab[", "[", "]", 0, false, ""}, BetweenCase{"", "[", "]", 0, false, ""},
        BetweenCase{"<b>名称</b>", "<b>", "</b>", 0, false, "名称"},
        // Letter case is ignored in both searches unless asked otherwise.
        BetweenCase{"xabcYz", "ABC", "Z", 0, false, "Y"}, BetweenCase{"xabcYz", "ABC", "Z", 0, true, ""},
        BetweenCase{"xABCYZz", "ABC", "z", 0, true, "YZ"},
        // The placeholder is replaced in the delimiters, never in the text.
        BetweenCase{"href=\"x\" y", "href=#引号", "#引号", 0, false, "x"},
        BetweenCase{"a#引号b#引号c", "#引号", "#引号", 0, false, ""},
        // Empty delimiters: the left one is found at 1, the right one gives nothing.
        BetweenCase{"abc]d", "", "]", 0, false, "abc"}, BetweenCase{"[a]", "[", "", 0, false, ""},
        // No delimiter matches at the second byte of a character.
        BetweenCase{"\xB0[a][b]", "[", "]", 0, false, "b"},
        BetweenCase{"[ab\xB0]c]", "[", "]", 0, false, "ab\xB0]c"},
        BetweenCase{"[\xB0\x41" "A]", "a", "]", 0, false, ""}));

TEST(ValueAfterColonTest, TrimsTheRestOfTheLine) {
  struct Case {
    TextView text, expected;
  };
  const Case cases[] = {
      {"Location: x:1", "x:1"},
      {"no colon", ""},
      {"Host:", ""},
      {"Host:   ", ""},
      {":", ""},
      {"", ""},
      {":v", "v"},
      {"Set-Cookie: a=b\r", "a=b\r"},
      {"X:\tv", "\tv"},
      {"X: v \t", "v \t"},
      {"X:　v　", "v"},
      // The colon is the second byte of a character here.
      {"\xB0:a:b", "b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ValueAfterColon(c.text), c.expected) << ::testing::PrintToString(std::string(c.text));
  }
}

TEST(ReplaceFivePairsTest, AppliesPairsInSequence) {
  // Only the first pair, in any letter case.
  EXPECT_EQ(ReplaceFivePairs("a<em>b<EM>c<Em>", std::nullopt, 1, false, "<em>", ""), "abc");
  EXPECT_EQ(ReplaceFivePairs("<EM>a</em>", {}, 0, false, "<em>", "", "</em>", ""), "a");
  // Every pair, the first first.
  EXPECT_EQ(ReplaceFivePairs("abcde", std::nullopt, 1, false, "a", "1", "b", "2", "c", "3", "d", "4", "e", "5"),
            "12345");
  // A later pair works on what the earlier ones left.
  EXPECT_EQ(ReplaceFivePairs("x", std::nullopt, 1, false, "x", "y", "y", "z"), "z");
  EXPECT_EQ(ReplaceFivePairs("x", std::nullopt, 1, false, "y", "z", "x", "y"), "y");
  EXPECT_EQ(ReplaceFivePairs("", std::nullopt, 1, false, "a", "b"), "");
  EXPECT_EQ(ReplaceFivePairs("abc"), "abc");
  EXPECT_EQ(ReplaceFivePairs("A<EM>", std::nullopt, 1, true, "<em>", ""), "A<EM>");
}

TEST(ReplaceFivePairsTest, CountAndStartApplyToEachStep) {
  struct Case {
    std::optional<int> count;
    int start;
    TextView expected;
  };
  // Pair 1 turns a into b, pair 2 turns a into c.
  const Case cases[] = {
      {std::nullopt, 1, "bbbb"}, {1, 1, "bcaa"}, {2, 1, "bbcc"}, {0, 1, "aaaa"},
      {-1, 1, "bbbb"},           {std::nullopt, 0, "bbbb"},      {std::nullopt, 3, "aabb"},
      {1, 2, "abca"},            {std::nullopt, 5, "aaaa"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceFivePairs("aaaa", c.count, c.start, false, "a", "b", "a", "c"), c.expected)
        << "count=" << (c.count ? std::to_string(*c.count) : "none") << " start=" << c.start;
  }
}

// Random short texts from bytes that make the cases that matter likely:
// letters in both cases, the placeholder's bytes, double quotes, lead bytes
// that pair with what follows or are cut off at the end.
Text RandomText(std::mt19937& random, std::size_t maxLength) {
  static constexpr char kBytes[] = {'a', 'A', 'b', '<', '"', '#', '\xD2', '\xFD', '\xBA', '\xC5', '\x81'};
  Text t;
  for (std::size_t n = random() % (maxLength + 1); n > 0; --n) t.push_back(kBytes[random() % sizeof kBytes]);
  if (random() % 4 == 0) {
    t.insert(random() % (t.size() + 1), kQuotePlaceholder);
  }
  return t;
}

// The routines against their plain definitions on the primitives: the
// placeholder replaced in a copy of each delimiter, and five ReplaceSubtext
// calls one after the other.
TEST(DelimitedPropertyTest, SameAsThePlainDefinitions) {
  std::mt19937 random(31);
  const int starts[] = {-1, 0, 1, 2, 5};
  const std::optional<int> counts[] = {std::nullopt, 0, 1, 2, -1};
  for (int round = 0; round < 20000; ++round) {
    const Text text = RandomText(random, 12);
    const bool caseSensitive = random() % 2 == 0;
    const int start = starts[random() % std::size(starts)];

    const Text left = RandomText(random, 3);
    const Text right = RandomText(random, 3);
    Text expected;
    const Text l = ReplaceQuotePlaceholder(left);
    const Text r = ReplaceQuotePlaceholder(right);
    if (int p = FindText(text, l, start, !caseSensitive); p != -1) {
      p += TextLength(l);
      if (int q = FindText(text, r, p, !caseSensitive); q != -1) expected = TextMid(text, p, q - p);
    }
    ASSERT_EQ(TextBetween(text, left, right, start, caseSensitive), expected)
        << ::testing::PrintToString(std::string(text)) << " " << ::testing::PrintToString(std::string(left))
        << " " << ::testing::PrintToString(std::string(right)) << " start=" << start;

    const std::optional<int> count = counts[random() % std::size(counts)];
    Text pairs[10];
    for (Text& t : pairs) t = RandomText(random, random() % 3 == 0 ? 0 : 2);
    Text chained(text);
    for (int k = 0; k < 10; k += 2) {
      chained = ReplaceSubtext(chained, pairs[k], pairs[k + 1], start < 1 ? 1 : start, count.value_or(-1),
                               caseSensitive);
    }
    ASSERT_EQ(ReplaceFivePairs(text, count, start, caseSensitive, pairs[0], pairs[1], pairs[2], pairs[3], pairs[4],
                               pairs[5], pairs[6], pairs[7], pairs[8], pairs[9]),
              chained)
        << ::testing::PrintToString(std::string(text)) << " round " << round;
  }
}

}  // namespace
