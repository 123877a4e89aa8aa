// Counting, cutting, finding, replacing, splitting, trimming and case folding
// of texts. Byte escapes appear where the exact bytes matter: "\xB0\x41" is a
// two-byte character whose second byte is the letter A, and a text ending in
// a lone byte of 0x80 or above ends in a cut-off character.
#include "text/text_ops.h"

#include <gtest/gtest.h>

#include <clocale>
#include <climits>
#include <string>
#include <vector>

#include "text/text.h"
#include "text_printer.h"

namespace {

TEST(TextOpsTest, LengthCountsBytes) {
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength("abc"), 3);
  EXPECT_EQ(TextLength("中文"), 4);
  EXPECT_EQ(TextLength(Text("a\xB0")), 2);
}

TEST(TextOpsTest, ConcatJoinsInOrderAndAppendsInPlace) {
  EXPECT_EQ(ConcatTexts(Text("a"), "", Text("b"), "中", TextView("c")), "ab中c");
  EXPECT_EQ(ConcatTexts(Text(), ""), "");

  Text body = "x";
  for (int i = 0; i < 100; ++i) body = ConcatTexts(std::move(body), "yz");
  EXPECT_EQ(TextLength(body), 201);
  EXPECT_EQ(TextRight(body, 3), "zyz");
}

TEST(TextOpsTest, CompareIsByUnsignedBytes) {
  struct Case {
    TextView a, b;
    int expected;
  };
  const Case cases[] = {
      {"", "", 0},       {"", "a", -1},      {"a", "", 1},        {"abc", "abc", 0},
      {"ab", "abc", -1}, {"abc", "ab", 1},   {"b", "a", 1},       {"a", "A", 1},
      {"\xB0", "a", 1},  {"a", "\xB0", -1},  {"中文", "中文", 0}, {"\xB0\x41", "\xB0\x42", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareText(c.a, c.b), c.expected) << "a=" << ::testing::PrintToString(std::string(c.a))
                                                 << " b=" << ::testing::PrintToString(std::string(c.b));
  }
}

// TextLeft, TextRight and TextMid cut plain bytes, also inside a character.
TEST(TextOpsTest, CutsByBytes) {
  EXPECT_EQ(TextMid("abcdef", 3, 10), "cdef");
  EXPECT_EQ(TextMid("abcdef", 7, 1), "");
  EXPECT_EQ(TextMid("abcdef", 6, 1), "f");
  EXPECT_EQ(TextMid("abcdef", 1, 6), "abcdef");
  EXPECT_EQ(TextMid("abcdef", 2, 2), "bc");
  EXPECT_EQ(TextMid("abcdef", 0, 3), "");
  EXPECT_EQ(TextMid("abcdef", -1, 3), "");
  EXPECT_EQ(TextMid("abcdef", 2, 0), "");
  EXPECT_EQ(TextMid("abcdef", 2, -1), "");
  EXPECT_EQ(TextMid("abcdef", 2, INT_MAX), "bcdef");
  EXPECT_EQ(TextMid("abcdef", INT_MAX, INT_MAX), "");
  EXPECT_EQ(TextMid("", 1, 1), "");
  EXPECT_EQ(TextMid("中文", 2, 2), "\xD0\xCE");

  EXPECT_EQ(TextLeft("abc", 5), "abc");
  EXPECT_EQ(TextLeft("abc", 2), "ab");
  EXPECT_EQ(TextLeft("abc", 0), "");
  EXPECT_EQ(TextLeft("abc", -1), "");
  EXPECT_EQ(TextLeft("abc", INT_MAX), "abc");
  EXPECT_EQ(TextLeft("中", 1), "\xD6");

  EXPECT_EQ(TextRight("abc", 0), "");
  EXPECT_EQ(TextRight("abc", 2), "bc");
  EXPECT_EQ(TextRight("abc", 9), "abc");
  EXPECT_EQ(TextRight("abc", -4), "");
  EXPECT_EQ(TextRight("abc", INT_MAX), "abc");
  EXPECT_EQ(TextRight("中", 1), "\xD0");
}

struct FindCase {
  TextView text;
  TextView sub;
  int start;
  bool ignoreCase;
  int expected;
};

void PrintTo(const FindCase& c, std::ostream* os) {
  *os << "text=" << ::testing::PrintToString(std::string(c.text))
      << " sub=" << ::testing::PrintToString(std::string(c.sub)) << " start=" << c.start
      << " ignoreCase=" << c.ignoreCase;
}

class FindTextTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindTextTest, GivesPositionInWholeText) {
  const FindCase& c = GetParam();
  EXPECT_EQ(FindText(c.text, c.sub, c.start, c.ignoreCase), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindTextTest,
    ::testing::Values(
        // The start position; at or below 1 the whole text is searched.
        FindCase{"abc", "c", 3, false, 3}, FindCase{"abc", "c", 4, false, -1},
        FindCase{"abc", "c", 0, false, 3}, FindCase{"abc", "c", -5, false, 3},
        FindCase{"abcabc", "abc", 2, false, 4}, FindCase{"abc", "c", INT_MAX, false, -1},
        FindCase{"abc", "abcd", 1, false, -1}, FindCase{"abc", "x", 1, false, -1},
        // The empty sub-text is found at 1 while the searched stretch is not empty.
        FindCase{"abc", "", 1, false, 1}, FindCase{"abc", "", 3, false, 1},
        FindCase{"abc", "", -2, false, 1}, FindCase{"abc", "", 4, false, -1},
        FindCase{"", "", 1, false, -1}, FindCase{"", "a", 1, false, -1},
        // A second byte never starts a match, even when it is an ASCII byte.
        FindCase{"\xB0\x41" "A", "A", 1, false, 3}, FindCase{"\xB0\x41" "A", "a", 1, true, 3},
        FindCase{"\xB0\x41", "A", 1, false, -1}, FindCase{"中文", "\xD0\xCE", 1, false, -1},
        FindCase{"中文", "文", 1, false, 3}, FindCase{"a中文", "文", 1, false, 4},
        // The walk takes the start byte as a character start, even inside one.
        FindCase{"\xB0\x41", "A", 2, false, 2}, FindCase{"中文", "\xD0\xCE", 2, false, 2},
        // Letter case: ASCII letters only, every byte of the stretch.
        FindCase{"User-Agent: x", "user-agent:", 1, true, 1},
        FindCase{"User-Agent: x", "user-agent:", 1, false, -1},
        FindCase{"xAbC", "abc", 1, true, 2}, FindCase{"\xB0\x61", "\xB0\x41", 1, true, 1},
        FindCase{"\xC1\x40", "\xE1\x40", 1, true, -1}, FindCase{"[", "{", 1, true, -1},
        FindCase{"@", "`", 1, true, -1},
        // A cut-off character ends the walk; it is still a character start.
        FindCase{"ab\xB0", "b", 1, false, 2}, FindCase{"ab\xB0", "\xB0", 1, false, 3},
        FindCase{"ab\xB0", "\xB0\x41", 1, false, -1}, FindCase{"\xB0", "", 1, false, 1}));

struct FindReverseCase {
  TextView text;
  TextView sub;
  bool ignoreCase;
  int expected;
};

void PrintTo(const FindReverseCase& c, std::ostream* os) {
  *os << "text=" << ::testing::PrintToString(std::string(c.text))
      << " sub=" << ::testing::PrintToString(std::string(c.sub)) << " ignoreCase=" << c.ignoreCase;
}

class FindTextReverseTest : public ::testing::TestWithParam<FindReverseCase> {};

TEST_P(FindTextReverseTest, GivesLastMatch) {
  const FindReverseCase& c = GetParam();
  EXPECT_EQ(FindTextReverse(c.text, c.sub, c.ignoreCase), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindTextReverseTest,
    ::testing::Values(FindReverseCase{"host:81", ":", false, 5}, FindReverseCase{"a:b:c", ":", false, 4},
                      FindReverseCase{"abc", ":", false, -1}, FindReverseCase{"aaa", "aa", false, 2},
                      FindReverseCase{"abc", "", false, 1}, FindReverseCase{"", "", false, -1},
                      FindReverseCase{"", "a", false, -1}, FindReverseCase{"ab", "abc", false, -1},
                      FindReverseCase{"aXbx", "X", false, 2}, FindReverseCase{"aXbx", "X", true, 4},
                      FindReverseCase{"A\xB0\x41", "A", false, 1}, FindReverseCase{"中文中文", "中", false, 5},
                      // Matches before a cut-off character count.
                      FindReverseCase{"a:b:\xB0", ":", false, 4}));

struct ReplaceCase {
  TextView text, find, replacement;
  int start;
  int count;
  bool respectCase;
  TextView expected;
};

void PrintTo(const ReplaceCase& c, std::ostream* os) {
  *os << "text=" << ::testing::PrintToString(std::string(c.text))
      << " find=" << ::testing::PrintToString(std::string(c.find))
      << " replacement=" << ::testing::PrintToString(std::string(c.replacement)) << " start=" << c.start
      << " count=" << c.count << " respectCase=" << c.respectCase;
}

class ReplaceSubtextTest : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceSubtextTest, Replaces) {
  const ReplaceCase& c = GetParam();
  EXPECT_EQ(ReplaceSubtext(c.text, c.find, c.replacement, c.start, c.count, c.respectCase), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceSubtextTest,
    ::testing::Values(
        // Count and start.
        ReplaceCase{"aaaa", "aa", "b", 1, -1, false, "bb"}, ReplaceCase{"aaaa", "aa", "b", 1, 1, false, "baa"},
        ReplaceCase{"aaaa", "aa", "b", 1, 0, false, "aaaa"}, ReplaceCase{"aaaa", "aa", "b", 5, -1, false, "aaaa"},
        ReplaceCase{"aaaa", "aa", "b", 2, -1, false, "aba"}, ReplaceCase{"aaaa", "aa", "b", 0, -1, false, "bb"},
        ReplaceCase{"aaaa", "aa", "b", -3, -1, false, "bb"}, ReplaceCase{"aaaa", "aa", "b", 1, -7, false, "bb"},
        ReplaceCase{"aaaaaa", "a", "b", 1, 2, false, "bbaaaa"},
        ReplaceCase{"aaaa", "aa", "b", INT_MAX, -1, false, "aaaa"},
        // The flag: true compares exact bytes.
        ReplaceCase{"xABCx", "abc", "-", 1, -1, false, "x-x"},
        ReplaceCase{"xABCx", "abc", "-", 1, -1, true, "xABCx"},
        ReplaceCase{"a<em>b<EM>c", "<em>", "", 1, -1, false, "abc"},
        // Nothing to do: the text comes back.
        ReplaceCase{"", "a", "b", 1, -1, false, ""}, ReplaceCase{"abc", "", "x", 1, -1, false, "abc"},
        ReplaceCase{"abc", "abc", "", 1, -1, false, ""},
        // Replaced text is never examined again.
        ReplaceCase{"aa", "a", "aa", 1, -1, false, "aaaa"}, ReplaceCase{"aba", "a", "ba", 1, -1, false, "babba"},
        // Characters: no match inside one; a start inside one begins the walk there.
        ReplaceCase{"\xB0\x41" "A", "A", "x", 1, -1, false, "\xB0\x41x"},
        ReplaceCase{"\xB0\x41", "A", "x", 2, -1, false, "\xB0x"},
        ReplaceCase{"中文中", "中", "z", 1, -1, true, "z文z"},
        // A cut-off character is dropped when walked over, kept when the
        // remaining bytes are too few to hold the sub-text.
        ReplaceCase{"ab\xB0", "a", "x", 1, -1, false, "xb"},
        ReplaceCase{"ab\xB0", "zz", "x", 1, -1, false, "ab\xB0"},
        ReplaceCase{"ab\xB0", "b\xB0", "x", 1, -1, true, "ax"},
        ReplaceCase{"ab\xB0", "a", "x", 1, 1, false, "xb\xB0"},
        ReplaceCase{"ab\xB0", "", "x", 1, -1, false, "ab\xB0"}));

struct SplitCase {
  TextView text, delimiter;
  std::vector<TextView> expected;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
  *os << "text=" << ::testing::PrintToString(std::string(c.text))
      << " delimiter=" << ::testing::PrintToString(std::string(c.delimiter));
}

class SplitTextTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTextTest, Splits) {
  const SplitCase& c = GetParam();
  TextArray parts = SplitText(c.text, c.delimiter);
  std::vector<std::string> actual(parts.begin(), parts.end());
  std::vector<std::string> expected(c.expected.begin(), c.expected.end());
  EXPECT_EQ(actual, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitTextTest,
    ::testing::Values(SplitCase{"a\r\nb\r\n", "\r\n", {"a", "b"}}, SplitCase{"", ",", {}},
                      SplitCase{"", "", {}}, SplitCase{"abc", "", {"abc"}},
                      SplitCase{"a,,b,", ",", {"a", "", "b"}}, SplitCase{",a", ",", {"", "a"}},
                      SplitCase{",", ",", {""}}, SplitCase{",,", ",", {"", ""}},
                      SplitCase{"ab", "abc", {"ab"}}, SplitCase{"aXbxc", "x", {"aXb", "c"}},
                      SplitCase{"中,文", ",", {"中", "文"}}, SplitCase{"a中b中", "中", {"a", "b"}},
                      // The comma is the second byte of a character here.
                      SplitCase{"\xB0,a,b", ",", {"\xB0,a", "b"}},
                      // A cut-off character ends the walk and stays in the last element.
                      SplitCase{"a,b\xB0", ",", {"a", "b\xB0"}}));

struct TrimCase {
  TextView text;
  TextView trimmed;
  TextView withoutSpaces;
};

void PrintTo(const TrimCase& c, std::ostream* os) { *os << ::testing::PrintToString(std::string(c.text)); }

class SpacesTest : public ::testing::TestWithParam<TrimCase> {};

TEST_P(SpacesTest, TrimsAndRemoves) {
  const TrimCase& c = GetParam();
  EXPECT_EQ(TrimBothEnds(c.text), c.trimmed);
  EXPECT_EQ(RemoveAllSpaces(c.text), c.withoutSpaces);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpacesTest,
    ::testing::Values(
        TrimCase{"", "", ""}, TrimCase{"x", "x", "x"}, TrimCase{"  ", "", ""}, TrimCase{"　", "", ""},
        TrimCase{" 　 ", "", ""}, TrimCase{"  a b  ", "a b", "ab"}, TrimCase{"a b　c", "a b　c", "abc"},
        TrimCase{"x　", "x", "x"},
        // Only the two spaces: tab, CR and LF stay.
        TrimCase{"　 x \t", "x \t", "x\t"}, TrimCase{"\tx\r\n", "\tx\r\n", "\tx\r\n"},
        // A1 A1 across two characters is not a full-width space.
        TrimCase{"a\xB0\xA1\xA1\xB0", "a\xB0\xA1\xA1\xB0", "a\xB0\xA1\xA1\xB0"},
        // A cut-off character is cut off; spaces before it stay.
        TrimCase{" a\xB0", "a", "a"}, TrimCase{" a \xB0", "a ", "a"}, TrimCase{"a\xA1", "a", "a"},
        TrimCase{"\xB0\xA1\xA1", "\xB0\xA1", "\xB0\xA1"}));

TEST(TextOpsTest, LowerCaseFoldsOneByteCapitalsOnly) {
  struct Case {
    TextView text, expected;
  };
  const Case cases[] = {
      {"ABC中文", "abc中文"},
      {"", ""},
      {"@AZ[`az{", "@az[`az{"},
      {"\xB0\x41", "\xB0\x41"},
      {"A\xB0\x41" "B", "a\xB0\x41" "b"},
      {"A\xC1", "a\xC1"},
      {"\xC1\xC1", "\xC1\xC1"},
  };
  for (const Case& c : cases) EXPECT_EQ(ToLowerCase(c.text), c.expected) << std::string(c.text);
}

TEST(TextOpsTest, BlankTextIsSpaces) {
  EXPECT_EQ(BlankText(3), "   ");
  EXPECT_EQ(BlankText(0), "");
  EXPECT_EQ(BlankText(-2), "");
}

// Case folding must not follow the process locale, whichever is set.
TEST(TextOpsTest, CaseFoldingIgnoresLocale) {
  const char* candidates[] = {"tr_TR.ISO-8859-9", "tr_TR.UTF-8", "tr_TR", "C.UTF-8", "C.utf8"};
  std::string saved = std::setlocale(LC_ALL, nullptr);
  int tried = 0;
  for (const char* name : candidates) {
    if (std::setlocale(LC_ALL, name) == nullptr) continue;
    ++tried;
    EXPECT_EQ(ToLowerCase("IXYZ\xC0\xDD"), "ixyz\xC0\xDD") << name;
    EXPECT_EQ(FindText("xi", "I", 1, true), 2) << name;
    EXPECT_EQ(FindText("\xFD", "I", 1, true), -1) << name;
    EXPECT_EQ(FindText("\xE0\x40", "\xC0\x40", 1, true), -1) << name;
    EXPECT_EQ(ReplaceSubtext("xiI", "I", "-", 1, -1, false), "x--") << name;
  }
  std::setlocale(LC_ALL, saved.c_str());
  if (tried == 0) GTEST_SKIP() << "no locale other than C is installed";
}

}  // namespace
