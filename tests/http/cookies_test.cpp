#include "http/cookies.h"

#include <gtest/gtest.h>

#include "text/text_array.h"

namespace {

struct MergeCase {
  const char* kept;
  const char* delivered;
  const char* merged;
  const char* deliveredAfter;
};

const MergeCase kMergeCases[] = {
    {"a=1; b=2", "b=3; c=4; ", "b=3; c=4; a=1", "b=3;c=4;"},
    {"a=1; b=2", "a=deleted; ", "b=2", "a=deleted;"},
    {"", "a=1; a=1; ", "a=1", "a=1;a=1;"},
    {"", "a=1; a=2; ", "a=1; a=2", "a=1;a=2;"},
    {"a=1; a=2", "", "a=1", ""},
    {"x = 1 2", "", "x=12", ""},
    {"flag; a=1", "a=2; ", "a=2; flag", "a=2;"},
    {"flag; a=1", "flag=on; ", "flag=on; a=1", "flag=on;"},
    {"=deleted; a=1", "", "a=1", ""},
    {"", "", "", ""},
};

class MergeCookiesTest : public testing::TestWithParam<MergeCase> {};

TEST_P(MergeCookiesTest, MergesAndRewritesBothTexts) {
  const MergeCase& c = GetParam();
  Text cookies = c.kept;
  Text received = c.delivered;
  const Text result = MergeCookies(cookies, received);
  EXPECT_EQ(cookies, c.merged);
  EXPECT_EQ(result, c.merged);
  EXPECT_EQ(received, c.deliveredAfter);
}

INSTANTIATE_TEST_SUITE_P(Cases, MergeCookiesTest, testing::ValuesIn(kMergeCases));

TEST(CookieHelpersTest, NamesListsAndDedupe) {
  EXPECT_EQ(CookieName(" a =1=2"), "a");
  EXPECT_EQ(CookieName("flag"), "flag");
  EXPECT_EQ(CookieName("=x"), "");

  TextArray pairs;
  TextArrayAppend(pairs, "a=1");
  TextArrayAppend(pairs, "B=2");
  EXPECT_TRUE(CookieListHasName(pairs, "B"));
  EXPECT_FALSE(CookieListHasName(pairs, "b"));  // letter case counts
  EXPECT_TRUE(ArrayHasText(pairs, "a=1"));
  EXPECT_FALSE(ArrayHasText(pairs, "a=2"));
  EXPECT_FALSE(ArrayHasText(TextArray{}, ""));

  EXPECT_EQ(DedupeJoined("a; ; b; ; c", "; "), "a; ; b; c");
  EXPECT_EQ(DedupeJoined("x,y,x,z,y", ","), "x,y,z");
  EXPECT_EQ(DedupeJoined("", "; "), "");
}

}  // namespace
