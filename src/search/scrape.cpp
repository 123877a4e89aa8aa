// Result-page scraping with the delimited-text routines.
#include "search/scrape.h"

#include "extract/delimited.h"
#include "extract/extract_all.h"
#include "search/sites.h"
#include "text/text_ops.h"

namespace {

constexpr TextView kListingStart = "</script>";
constexpr TextView kListingEnd = "</script><br><br>";
constexpr TextView kEntryStart = "<div class=\"article ali_row\"><h2><a target='_blank' href=\"";
constexpr TextView kEntryPrefix = "下载地址：";
constexpr TextView kHrefEnd = "\">";

// The host is not escaped on its way into the pattern: its full stops are
// wildcards there.
Text EntryEnd() { return ConcatTexts(Text("</p><div class=\"other\">"), kCloudDriveHost, "</div></div>\r"); }

}  // namespace

TextArray ExtractResultEntries(TextView pageText) {
  const Text listing = TextBetween(pageText, kListingStart, kListingEnd);
  TextArray entries;
  ExtractAllBetween(listing, kEntryStart, EntryEnd(), entries, 0, kEntryPrefix);
  return entries;
}

ResultRecord ParseResultEntry(TextView entry) {
  const Text withoutOpen = ReplaceFivePairs(entry, {}, 1, false, "<em>", "");
  const Text clean = ReplaceFivePairs(withoutOpen, {}, 1, false, "</em>", "");
  ResultRecord record;
  record.name = TextBetween(clean, "文件名:", " 文件大小");
  if (record.name.empty()) record.name = TextBetween(clean, kHrefEnd, "</a></h2><p>");
  record.size = TextBetween(clean, "文件大小:", " 分享者");
  if (record.size.empty()) record.size = "文件夹";
  record.sharer = TextBetween(clean, "分享者:", " 分享时间");
  record.link = TextBetween(clean, kEntryPrefix, kHrefEnd);
  return record;
}
