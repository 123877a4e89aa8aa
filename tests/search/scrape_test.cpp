// Scraping result pages: the fixture pages (GBK bytes, made by
// fixtures/make_fixtures.py) and small pages built here.
#include "search/scrape.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "encoding/response_decode.h"
#include "encoding/url_encode.h"
#include "search/sites.h"
#include "text/byte_set.h"
#include "text/text_ops.h"

namespace {

Text ReadFixture(const char* name) {
  std::ifstream in(std::string(QUORVANE_SCRAPE_FIXTURES) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  return Text(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Row {
  const char* name;
  const char* size;
  const char* sharer;
  const char* link;
};

std::vector<Row> Scrape(TextView page, std::vector<ResultRecord>* keep) {
  TextArray entries = ExtractResultEntries(page);
  for (const Text& e : entries) {
    EXPECT_EQ(TextLeft(e, 10), "下载地址：");
    keep->push_back(ParseResultEntry(e));
  }
  std::vector<Row> rows;
  for (const ResultRecord& r : *keep) rows.push_back({r.name.c_str(), r.size.c_str(), r.sharer.c_str(), r.link.c_str()});
  return rows;
}

void ExpectRows(const std::vector<Row>& got, const std::vector<Row>& expected) {
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_STREQ(got[i].name, expected[i].name);
    EXPECT_STREQ(got[i].size, expected[i].size);
    EXPECT_STREQ(got[i].sharer, expected[i].sharer);
    EXPECT_STREQ(got[i].link, expected[i].link);
  }
}

// The shares of crlf_page.html.
const std::vector<Row> kCrlfPageRows = {
    {"电影合集.rar", "1.5 GB", "小明", "http://pan.quorvane.example/s/1a"},
    {"我的电影", "文件夹", "阿强", "http://pan.quorvane.example/s/2b"},
    {"notes 电影.txt", "12 KB", "Lee", "http://pan.quorvane.example/s/3c"},
};

TEST(ScrapeFixtureTest, PagesAsTheSiteWritesThem) {
  const struct {
    const char* file;
    std::vector<Row> expected;
  } cases[] = {
      // Every share inside the listing, none after it; upper-case <EM>
      // goes too, and a share without a size is a folder.
      {"crlf_page.html", kCrlfPageRows},
      // Bare line feeds: no entry end is complete.
      {"lf_page.html", {}},
      // The first share's end lacks its carriage return: it runs into the
      // second, and the merged entry reads as the first share.
      {"mixed_page.html",
       {{"电影合集.rar", "1.5 GB", "小明", "http://pan.quorvane.example/s/1a"},
        {"notes 电影.txt", "12 KB", "Lee", "http://pan.quorvane.example/s/3c"}}},
      // Labels with full-width colons are not labels.
      {"fullwidth_page.html", {{"全角冒号", "文件夹", "", "http://pan.quorvane.example/s/fw"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<ResultRecord> keep;
    ExpectRows(Scrape(ReadFixture(c.file), &keep), c.expected);
  }
}

TEST(ScrapeFixtureTest, Utf8PageEndingInAnInvisibleCharacterKeepsItsRows) {
  // The page as a UTF-8 body, converted as the fetch converts it. Code page
  // 936 has no form for these characters: each becomes the default
  // character, and the rest of the page is all there.
  const Text utf8 = AnsiToUtf8(ReadFixture("crlf_page.html"));
  const struct {
    const char* what;
    const char* bytes;
  } tails[] = {
      {"U+FEFF", "\xEF\xBB\xBF"},
      {"U+200B", "\xE2\x80\x8B"},
      {"U+00AD", "\xC2\xAD"},
      {"U+FE0F", "\xEF\xB8\x8F"},
  };
  for (const auto& tail : tails) {
    SCOPED_TRACE(tail.what);
    const Text page = ByteSetToText(Utf8ToGbkBytes(ToByteSet(ConcatTexts(utf8, tail.bytes))));
    EXPECT_EQ(page, ConcatTexts(ReadFixture("crlf_page.html"), "?"));
    std::vector<ResultRecord> keep;
    ExpectRows(Scrape(page, &keep), kCrlfPageRows);
  }
}

TEST(ScrapeFixtureTest, AnEntryRunsFromTheLinkToTheEndOfItsParagraph) {
  TextArray entries = ExtractResultEntries(ReadFixture("crlf_page.html"));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2],
            "下载地址：http://pan.quorvane.example/s/3c\">notes <em>电影</em>.txt</a></h2><p>"
            "文件名:notes 电影.txt 文件大小:12 KB 分享者:Lee 分享时间:2026-01-02");
}

Text Entry(TextView link, TextView host = kCloudDriveHost, TextView eol = "\r\n") {
  return ConcatTexts(Text("<div class=\"article ali_row\"><h2><a target='_blank' href=\""), link,
                     "\">a</a></h2><p>文件名:n 文件大小:s 分享者:u 分享时间:t</p><div class=\"other\">", host,
                     "</div></div>", eol);
}

TEST(ExtractResultEntriesTest, ListingAndEntryBounds) {
  const Text one = Entry("L1");
  const Text two = Entry("L2");
  const struct {
    const char* what;
    Text page;
    std::vector<Text> links;
  } cases[] = {
      {"no closing script tag", ConcatTexts(Text("<p>"), one, "<br><br>"), {}},
      {"no listing end after the start", ConcatTexts(Text("</script>"), one, "</script><br>"), {}},
      {"listing between the two", ConcatTexts(Text("x</script>"), one, two, "</script><br><br>", Entry("L3")),
       {"L1", "L2"}},
      {"a first closing tag that is already a listing end starts the listing",
       ConcatTexts(Text("</script><br><br>"), one, "</script><br><br>"), {"L1"}},
      {"markup in another letter case",
       ConcatTexts(Text("</SCRIPT><DIV CLASS=\"ARTICLE ALI_ROW\"><H2><A TARGET='_BLANK' HREF=\"L1\">a</A></H2><P>"
                        "文件名:n</P><DIV CLASS=\"OTHER\">PAN.QUORVANE.EXAMPLE</DIV></DIV>\r\n</Script><BR><br>")),
       {"L1"}},
      {"full stops of the host match any character",
       ConcatTexts(Text("</script>"), Entry("L1", "pan-quorvane_example"), "</script><br><br>"), {"L1"}},
      {"another host does not close an entry",
       ConcatTexts(Text("</script>"), Entry("L1", "pan.example.quorvane"), "</script><br><br>"), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Text> links;
    for (const Text& e : ExtractResultEntries(c.page)) links.push_back(ParseResultEntry(e).link);
    EXPECT_EQ(links, c.links);
  }
}

TEST(ParseResultEntryTest, FieldsAndTheirFallbacks) {
  const struct {
    const char* entry;
    Row expected;
  } cases[] = {
      {"下载地址：L\">A</a></h2><p>文件名:N 文件大小:S 分享者:U 分享时间:T", {"N", "S", "U", "L"}},
      {"下载地址：L\">A<em>b</em>c</a></h2><p>文件大小:S 分享者:U 分享时间:T", {"Abc", "S", "U", "L"}},
      {"下载地址：L\">A<EM>b</Em>c</a></h2><p>文件名:<EM>N</EM> 文件大小:S 分享者:U 分享时间:T", {"N", "S", "U", "L"}},
      {"下载地址：L\">A</a></h2><p>文件名:N 文件大小: 分享者:U 分享时间:T", {"N", "文件夹", "U", "L"}},
      {"下载地址：L\">A</a></h2><p>文件名:N 分享者:U 分享时间:T", {"A", "文件夹", "U", "L"}},
      {"下载地址：L\">A</a></h2><p>文件名:N 文件大小:S 分享时间:T", {"N", "文件夹", "", "L"}},
      {"下载地址：L\">A</a></h2><p>文件名:N 文件大小:S 分享者:U", {"N", "S", "", "L"}},
      {"下载地址：L>A</a></h2><p>文件名:N 文件大小:S 分享者:U 分享时间:T", {"N", "S", "U", ""}},
      {"下载地址：L>A</a></h2><p>", {"", "文件夹", "", ""}},
      {"", {"", "文件夹", "", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry);
    ResultRecord r = ParseResultEntry(c.entry);
    ExpectRows({{r.name.c_str(), r.size.c_str(), r.sharer.c_str(), r.link.c_str()}}, {c.expected});
  }
}

}  // namespace
