// RegexObject over the real component: options, indexes, refused patterns,
// repeated creation and the apartment it holds.
#include "extract/regex_object.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/automation.h"

namespace {

bool CanCreateComponentHere() {
  DispatchPtr probe;
  return SUCCEEDED(CreateObject(u"VBScript.RegExp", &probe));
}

TEST(RegexObjectTest, DefaultsIgnoreCaseAndCollectEveryMatch) {
  RegexObject re;
  ASSERT_TRUE(re.Create("a(b)", "AB ab aB"));
  EXPECT_EQ(re.MatchCount(), 3);
  EXPECT_EQ(re.MatchText(1), "AB");
  EXPECT_EQ(re.MatchText(3), "aB");
  EXPECT_EQ(re.SubmatchText(2, 1), "b");
  EXPECT_EQ(re.SubmatchCount(), 1);
}

TEST(RegexObjectTest, OptionsReachTheComponent) {
  struct Case {
    const char* what;
    const char* pattern;
    const char* subject;
    bool caseSensitive, multiline, global;
    int expected;
  };
  const Case cases[] = {
      {"case sensitive", "ab", "AB ab", true, true, true, 1},
      {"first match only", "a", "aaa", false, true, false, 1},
      {"line anchors with multiline", "^x$", "x\ny\nx", false, true, true, 2},
      {"whole-subject anchors without", "^x$", "x\ny\nx", false, false, true, 0},
  };
  for (const Case& c : cases) {
    RegexObject re;
    ASSERT_TRUE(re.Create(c.pattern, c.subject, c.caseSensitive, c.multiline, c.global)) << c.what;
    EXPECT_EQ(re.MatchCount(), c.expected) << c.what;
  }
}

TEST(RegexObjectTest, MatchesCharactersOfCodePage936) {
  RegexObject re;
  // 0x81 0x5B is one character whose second byte is "[": the component
  // sees the character, not a bracket.
  ASSERT_TRUE(re.Create("名(.)\x81\x5B", "x名称\x81\x5By"));
  ASSERT_EQ(re.MatchCount(), 1);
  EXPECT_EQ(re.MatchText(1), "名称\x81\x5B");
  EXPECT_EQ(re.SubmatchText(1, 1), "称");
  ASSERT_TRUE(re.Create(".", "中文"));
  EXPECT_EQ(re.MatchCount(), 2);
  EXPECT_EQ(re.MatchText(2), "文");
}

TEST(RegexObjectTest, BadIndexesAndUnsetGroupsGiveEmptyTexts) {
  RegexObject re;
  ASSERT_TRUE(re.Create("(a)(x)?", "a"));
  ASSERT_EQ(re.MatchCount(), 1);
  EXPECT_EQ(re.SubmatchCount(), 2);
  EXPECT_EQ(re.SubmatchText(1, 1), "a");
  const struct {
    int match, group;
  } empty[] = {{1, 2}, {0, 1}, {2, 1}, {-1, 1}, {1, 0}, {1, 3}};
  for (const auto& c : empty) EXPECT_EQ(re.SubmatchText(c.match, c.group), "") << c.match << "," << c.group;
  EXPECT_EQ(re.MatchText(0), "");
  EXPECT_EQ(re.MatchText(2), "");
}

TEST(RegexObjectTest, ARefusedPatternGivesNoCollection) {
  RegexObject re;
  EXPECT_FALSE(re.Create("a(b", "ab"));
  EXPECT_EQ(re.MatchCount(), 0);
  EXPECT_EQ(re.MatchText(1), "");
  EXPECT_EQ(re.SubmatchText(1, 1), "");
  EXPECT_EQ(re.SubmatchCount(), 0);
  EXPECT_EQ(re.GetPattern(), "a(b");
  EXPECT_EQ(re.ReplaceMatches("x"), "");
}

TEST(RegexObjectTest, NothingMatchedIsACollectionOfNone) {
  RegexObject re;
  EXPECT_TRUE(re.Create("q", "abc"));
  EXPECT_EQ(re.MatchCount(), 0);
  EXPECT_EQ(re.SubmatchCount(), 0);
  EXPECT_EQ(re.ReplaceMatches("x"), "abc");
}

TEST(RegexObjectTest, PatternIsEmptyBeforeCreateAndPlaceholderIsReplacedOnRequest) {
  RegexObject re;
  EXPECT_EQ(re.GetPattern(), "");
  EXPECT_EQ(re.ReplaceMatches("x"), "");
  ASSERT_TRUE(re.Create("href=#引号(\\w+)#引号", "href=\"u\"", false, true, true, true));
  EXPECT_EQ(re.GetPattern(), "href=\"(\\w+)\"");
  EXPECT_EQ(re.SubmatchText(1, 1), "u");
  ASSERT_TRUE(re.Create("#引号", "#引号\""));
  EXPECT_EQ(re.GetPattern(), "#引号");
  EXPECT_EQ(re.MatchText(1), "#引号");
}

TEST(RegexObjectTest, CreatingAgainKeepsOnlyTheSecondRun) {
  RegexObject re;
  ASSERT_TRUE(re.Create("(\\d)", "1 2 3"));
  ASSERT_TRUE(re.Create("([a-z])", "名x名y"));
  EXPECT_EQ(re.MatchCount(), 2);
  EXPECT_EQ(re.SubmatchText(2, 1), "y");
  EXPECT_EQ(re.ReplaceMatches("<$1$&$$>"), "名<xx$>名<yy$>");
  EXPECT_EQ(re.ReplaceMatches(), "名名");
}

TEST(RegexObjectTest, HoldsTheApartmentOfItsThreadForItsLifetime) {
  std::thread([] {
    EXPECT_FALSE(CanCreateComponentHere());
    {
      RegexObject outer;
      {
        RegexObject inner;
        EXPECT_TRUE(inner.Create("a", "a"));
      }
      EXPECT_TRUE(CanCreateComponentHere());
      EXPECT_TRUE(outer.Create("a", "aa"));
      EXPECT_EQ(outer.MatchCount(), 2);
    }
    EXPECT_FALSE(CanCreateComponentHere());
  }).join();
}

}  // namespace
