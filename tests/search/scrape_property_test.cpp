// The scrape against a plain reference over generated result pages: every
// entry and every record must be what the plain definitions give, on pages
// with markup in any letter case, entry ends that do not close, odd host
// names, and bytes that code page 936 decodes to replacement or private-use
// characters.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "../text/text_printer.h"
#include "platform/codepage.h"
#include "search/scrape.h"
#include "search/sites.h"
#include "text/text_ops.h"

namespace {

constexpr TextView kEntryStart = "<div class=\"article ali_row\"><h2><a target='_blank' href=\"";
constexpr TextView kEntryPrefix = "下载地址：";

// The UTF-16 round trip, each way in one call.
std::u16string Wide(TextView text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  std::u16string wide(static_cast<std::size_t>(MultiByteToWideChar(CP_GBK, 0, text.data(), length, nullptr, 0)),
                      u'\0');
  MultiByteToWideChar(CP_GBK, 0, text.data(), length, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

Text Narrow(std::u16string_view wide) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  Text text(static_cast<std::size_t>(WideCharToMultiByte(CP_GBK, 0, wide.data(), length, nullptr, 0, nullptr,
                                                         nullptr)),
            '\0');
  WideCharToMultiByte(CP_GBK, 0, wide.data(), length, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
  return text.substr(0, text.find('\0'));
}

Text PlainBetween(TextView text, TextView left, TextView right) {
  int p = FindText(text, left, 0, true);
  if (p == -1) return {};
  p += TextLength(left);
  const int q = FindText(text, right, p, true);
  return q == -1 ? Text() : TextMid(text, p, q - p);
}

// No character of code page 936 folds to an ASCII letter, so folding ASCII
// is all the pattern's ignored case can do here.
char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c; }

// Whether `delimiter` (ASCII) stands at `at`; a full stop in it stands for
// any character but a line feed.
bool DelimiterAt(const std::u16string& s, std::size_t at, TextView delimiter) {
  if (s.size() - at < delimiter.size()) return false;
  for (std::size_t k = 0; k < delimiter.size(); ++k) {
    const char16_t d = static_cast<char16_t>(delimiter[k]);
    if (d == u'.' ? s[at + k] == u'\n' : Fold(s[at + k]) != Fold(d)) return false;
  }
  return true;
}

// The entries as the plain definitions give them: the listing, then each
// entry start with the first entry end after it, found in the listing's
// UTF-16 form, each capture converted back on its own.
std::vector<Text> PlainEntries(TextView page) {
  const Text right = ConcatTexts(Text("</p><div class=\"other\">"), kCloudDriveHost, "</div></div>\r");
  const std::u16string listing = Wide(PlainBetween(page, "</script>", "</script><br><br>"));
  std::vector<Text> entries;
  std::size_t at = 0;
  while (true) {
    while (at < listing.size() && !DelimiterAt(listing, at, kEntryStart)) ++at;
    if (at >= listing.size()) break;
    const std::size_t from = at + kEntryStart.size();
    std::size_t to = from;
    while (to < listing.size() && !DelimiterAt(listing, to, right)) ++to;
    if (to >= listing.size()) break;
    entries.push_back(ConcatTexts(Text(kEntryPrefix), Narrow(std::u16string_view(listing).substr(from, to - from))));
    at = to + right.size();
  }
  return entries;
}

ResultRecord PlainRecord(TextView entry) {
  const Text clean = ReplaceSubtext(ReplaceSubtext(entry, "<em>", "", 1, -1, false), "</em>", "", 1, -1, false);
  ResultRecord r;
  r.name = PlainBetween(clean, "文件名:", " 文件大小");
  if (r.name.empty()) r.name = PlainBetween(clean, "\">", "</a></h2><p>");
  r.size = PlainBetween(clean, "文件大小:", " 分享者");
  if (r.size.empty()) r.size = "文件夹";
  r.sharer = PlainBetween(clean, "分享者:", " 分享时间");
  r.link = PlainBetween(clean, kEntryPrefix, "\">");
  return r;
}

class PageMaker {
 public:
  explicit PageMaker(unsigned seed) : random_(seed) {}

  Text Page() {
    // Some pages hold only characters that survive the round trip.
    oddBytes_ = Pick(3) != 0;
    Text page = "<html><head><script>var q;</script></head><body>\r\n";
    for (int n = Pick(30); n > 0; --n) page = ConcatTexts(std::move(page), Share(), Pick(4) == 0 ? Field() : "");
    page = ConcatTexts(std::move(page), "<script>show();</script><br><br>\r\n");
    if (Pick(3) == 0) page = ConcatTexts(std::move(page), Share());
    return ConcatTexts(std::move(page), "</body></html>");
  }

 private:
  int Pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }

  // Letters of a markup text, each in either case now and then.
  Text AnyCase(TextView markup) {
    Text t(markup);
    if (Pick(4) != 0) return t;
    for (char& c : t) {
      if (((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && Pick(2) == 0) c = static_cast<char>(c ^ 0x20);
    }
    return t;
  }

  Text Piece() {
    static constexpr TextView kPieces[] = {
        "电影", "合集", "第", "部", ".rar", "a", "Z", "7", " ", "<em>", "</EM>", "?", "#引号", "\"", ">", "\r\n",
        "\n", "\r", "文件名:", "分享者:", "\x80", "\xA2\xA0", "\xFE\xFE", "\xA1\xA4", "\xA8\xBF",
        // Lead bytes that the next byte cannot follow.
        "\xFF", "\x81\x30", "\x81\x7F",
    };
    constexpr int kSurviving = static_cast<int>(std::size(kPieces)) - 3;
    if (!oddBytes_) return Text(kPieces[Pick(kSurviving)]);
    if (Pick(6) == 0) {
      // Any byte pair: a character, a private-use one, or a lead byte with a
      // second byte that cannot follow it.
      const char pair[] = {static_cast<char>(0x81 + Pick(126)), static_cast<char>(1 + Pick(255)), '\0'};
      return Text(pair);
    }
    return Text(kPieces[Pick(static_cast<int>(std::size(kPieces)))]);
  }

  Text Field() {
    Text t;
    for (int n = Pick(8); n > 0; --n) t = ConcatTexts(std::move(t), Piece());
    return t;
  }

  Text Host() {
    Text host(kCloudDriveHost);
    if (Pick(5) == 0) {
      const std::size_t dot = host.find('.', Pick(2) == 0 ? 0 : 4);
      host.replace(dot, 1, Pick(3) == 0 ? Text("\n") : Piece());
    }
    return AnyCase(host);
  }

  Text Share() {
    static constexpr TextView kLineEnds[] = {"\r\n", "\r\n", "\r\n", "\r\n", "\n", "\r", ""};
    Text s = ConcatTexts(AnyCase(kEntryStart), "http://", kCloudDriveHost, "/s/", Field(), "\">", Field(),
                         AnyCase("</a></h2><p>"));
    if (Pick(5) != 0) s = ConcatTexts(std::move(s), "文件名:", Field());
    if (Pick(5) != 0) s = ConcatTexts(std::move(s), " 文件大小:", Field());
    if (Pick(5) != 0) s = ConcatTexts(std::move(s), " 分享者:", Field());
    return ConcatTexts(std::move(s), " 分享时间:", Field(), AnyCase("</p><div class=\"other\">"), Host(),
                       AnyCase("</div></div>"), kLineEnds[Pick(static_cast<int>(std::size(kLineEnds)))], "<hr>");
  }

  std::mt19937 random_;
  bool oddBytes_ = false;
};

TEST(ScrapePropertyTest, EntriesAndRecordsAreThoseOfThePlainDefinitions) {
  PageMaker maker(1301);
  std::size_t entriesSeen = 0;
  for (int round = 0; round < 400; ++round) {
    const Text page = maker.Page();
    const std::vector<Text> expected = PlainEntries(page);
    const TextArray entries = ExtractResultEntries(page);
    ASSERT_EQ(std::vector<Text>(entries.begin(), entries.end()), expected) << "round " << round;
    for (const Text& e : entries) {
      const ResultRecord got = ParseResultEntry(e);
      const ResultRecord want = PlainRecord(e);
      ASSERT_EQ(got.name, want.name) << "round " << round;
      ASSERT_EQ(got.size, want.size) << "round " << round;
      ASSERT_EQ(got.sharer, want.sharer) << "round " << round;
      ASSERT_EQ(got.link, want.link) << "round " << round;
    }
    entriesSeen += entries.size();
  }
  // The pages are not all empty of entries.
  EXPECT_GT(entriesSeen, 2000u);
}

}  // namespace
