// EscapePattern and ExtractAllBetween over the real component.
#include "extract/extract_all.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/automation.h"
#include "text/text_array.h"

namespace {

std::vector<Text> Members(const TextArray& a) { return std::vector<Text>(a.begin(), a.end()); }

TEST(EscapePatternTest, EscapesNinePatternCharactersAndTheQuotePlaceholder) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"?*+[]", "\\?\\*\\+\\[\\]"},
      {"(){}", "\\(\\)\\{\\}"},
      {"a#引号b#引号", "a\"b\""},
      {". ^ $ | \\d", ". ^ $ | \\d"},
      {"<a href=#引号>{x}", "<a href=\">\\{x\\}"},
      // Second bytes of double-byte characters are not pattern characters.
      {"\x81\x5B\x81\x5D\x81\x7B\x81\x7D", "\x81\x5B\x81\x5D\x81\x7B\x81\x7D"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(EscapePattern(c.text), c.expected) << c.text;
}

struct ExtractCase {
  const char* what;
  const char* subject;
  const char* left;
  const char* right;
  int lengthLimit;
  const char* prefix;
  const char* suffix;
  bool includeLeft, includeRight;
  std::vector<Text> expected;
};

class ExtractAllBetweenTest : public testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractAllBetweenTest, ListsEveryStretch) {
  const ExtractCase& c = GetParam();
  TextArray results;
  TextArrayAppend(results, "left over from before");
  const int n = ExtractAllBetween(c.subject, c.left, c.right, results, c.lengthLimit, c.prefix, c.suffix,
                                  c.includeLeft, c.includeRight);
  EXPECT_EQ(Members(results), c.expected);
  EXPECT_EQ(n, static_cast<int>(c.expected.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractAllBetweenTest,
    testing::Values(
        ExtractCase{"no left delimiter", "xRy", "L", "R", 0, "", "", false, false, {}},
        ExtractCase{"no right delimiter after the left", "RxL1", "L", "R", 0, "", "", false, false, {}},
        ExtractCase{"every stretch in order", "L1RxL2R", "L", "R", 0, "", "", false, false, {"1", "2"}},
        ExtractCase{"a capture may hold further left delimiters", "LL1R", "L", "R", 0, "", "", false, false,
                    {"L1"}},
        ExtractCase{"line breaks are kept", "<b>1\r\n2\n</b>", "<b>", "</b>", 0, "", "", false, false,
                    {"1\r\n2\n"}},
        ExtractCase{"delimiters in any letter case", "<DIV>x</Div>", "<div>", "</div>", 0, "", "", false, false,
                    {"x"}},
        ExtractCase{"a full stop matches any character", "a1cXd a.cYd", "a.c", "d", 0, "", "", false, false,
                    {"X", "Y"}},
        ExtractCase{"pattern characters match literally", "[x](y)?V{1}*+ xyW{1}*+", "[x](y)?", "{1}*+", 0, "",
                    "", false, false, {"V"}},
        ExtractCase{"the placeholder matches a double quote", "<a href=\"u1\"><a href=\"u2\">", "href=#引号",
                    "#引号>", 0, "", "", false, false, {"u1", "u2"}},
        ExtractCase{"double-byte characters in the delimiters", "\x81\x5B名\x81\x5D", "\x81\x5B", "\x81\x5D", 0,
                    "", "", false, false, {"名"}},
        ExtractCase{"the prefix goes in front", "L1RL名R", "L", "R", 0, "下载地址：", "", false, false,
                    {"下载地址：1", "下载地址：名"}},
        ExtractCase{"a limit counts bytes of the bare capture", "L12345RL123456RL中文RL中文测R", "L", "R", 5,
                    "prefix", "", false, false, {"prefix12345", "prefix中文"}},
        ExtractCase{"a negative limit drops every capture", "L1RL2R", "L", "R", -1, "", "", false, false, {}},
        ExtractCase{"suffix and delimiters as given", "<q>1</Q>", "<Q>", "</q>", 0, "(", ")", true, true,
                    {"<Q>(1)</q>"}},
        ExtractCase{"both delimiters with a limit too", "<q>1</Q>", "<Q>", "</q>", 3, "", "", true, true,
                    {"<Q>1</q>"}},
        ExtractCase{"delimiters put back unescaped", "a\"(x)b\"", "#引号(", "#引号", 0, "", "", true, false,
                    {"#引号(x)b"}}));

TEST(ExtractAllBetweenTest, WorksOnAThreadWithoutAnApartmentAndLeavesNoneBehind) {
  std::thread([] {
    TextArray results;
    EXPECT_EQ(ExtractAllBetween("L1RL2R", "L", "R", results), 2);
    DispatchPtr probe;
    EXPECT_EQ(CreateObject(u"VBScript.RegExp", &probe), CO_E_NOTINITIALIZED);
  }).join();
}

TEST(ExtractAllBetweenTest, ADelimiterTheComponentRefusesGivesNothing) {
  // A trailing backslash escapes nothing: the pattern does not compile.
  TextArray results;
  TextArrayAppend(results, "old");
  EXPECT_EQ(ExtractAllBetween("L1R", "L", "R\\", results), 0);
  EXPECT_TRUE(results.empty());
}

}  // namespace
