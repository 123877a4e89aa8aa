// The search state and the result-page address.
#include "search/query.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "search/sites.h"

namespace {

// Narrow literals are compiled into code page 936; raw bytes are escapes.
struct QueryCase {
  const char* name;
  std::string keyword;
  int page;
  const char* pathAndQuery;
};

void PrintTo(const QueryCase& c, std::ostream* os) { *os << c.name; }

class BuildQueryUrlTest : public ::testing::TestWithParam<QueryCase> {};

TEST_P(BuildQueryUrlTest, FormsAddress) {
  const QueryCase& c = GetParam();
  EXPECT_EQ(std::string(BuildQueryUrl(c.keyword, c.page)), std::string("http://so.quorvane.example") + c.pathAndQuery);
}

const QueryCase kQueryCases[] = {
    {"LettersEncoded", "abc", 2, "/?q=%61%62%63&page=2&by=prev"},
    {"ChineseThroughUtf8", "\xD6\xD0", 1, "/?q=%E4%B8%AD&page=1&by=prev"},
    {"SpacesOnly", "  ", 1, "/?q=%20%20&page=1&by=prev"},
    {"QueryCharactersCannotAddKeys", "a&b=c", 1, "/?q=%61%26%62%3D%63&page=1&by=prev"},
    {"FragmentCannotEndQuery", "#x", 1, "/?q=%23%78&page=1&by=prev"},
    {"EmptyKeyword", "", 1, "/?q=&page=1&by=prev"},
    {"NegativePage", "", -1, "/?q=&page=-1&by=prev"},
    {"PageZero", "a", 0, "/?q=%61&page=0&by=prev"},
    {"LargestPage", "a", 2147483647, "/?q=%61&page=2147483647&by=prev"},
    {"SmallestPage", "a", -2147483647 - 1, "/?q=%61&page=-2147483648&by=prev"},
};

INSTANTIATE_TEST_SUITE_P(Cases, BuildQueryUrlTest, ::testing::ValuesIn(kQueryCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SitesTest, HostsAreFixed) {
  EXPECT_EQ(kSearchSiteHost, "so.quorvane.example");
  EXPECT_EQ(kCloudDriveHost, "pan.quorvane.example");
}

// The state as a run started before any search sees it.
TEST(SearchStateTest, StartsEmptyAtPageZero) {
  EXPECT_TRUE(searchKeyword.empty());
  EXPECT_EQ(currentPage, 0);
  EXPECT_EQ(std::string(BuildQueryUrl(searchKeyword, currentPage + 1)), "http://so.quorvane.example/?q=&page=1&by=prev");
  EXPECT_EQ(std::string(BuildQueryUrl(searchKeyword, currentPage - 1)), "http://so.quorvane.example/?q=&page=-1&by=prev");
}

class SearchStateChangeTest : public ::testing::Test {
 protected:
  void TearDown() override {
    searchKeyword.clear();
    currentPage = 0;
  }
};

TEST_F(SearchStateChangeTest, EachRunKeepsThePageItWasStartedWith) {
  searchKeyword = "abc";
  currentPage = 1;
  // Three next-page clicks, each starting a run with copies of the state.
  std::vector<std::string> started;
  for (int click = 0; click < 3; ++click) {
    currentPage += 1;
    started.emplace_back(BuildQueryUrl(Text(searchKeyword), currentPage));
  }
  ASSERT_EQ(started.size(), 3u);
  EXPECT_EQ(started[0], "http://so.quorvane.example/?q=%61%62%63&page=2&by=prev");
  EXPECT_EQ(started[1], "http://so.quorvane.example/?q=%61%62%63&page=3&by=prev");
  EXPECT_EQ(started[2], "http://so.quorvane.example/?q=%61%62%63&page=4&by=prev");
}

}  // namespace
