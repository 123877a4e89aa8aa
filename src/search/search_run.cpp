// The search run, from a keyword and a page number to rows of the list.
#include "search/search_run.h"

#include "http/fetch.h"
#include "platform/message_box.h"
#include "search/query.h"
#include "search/scrape.h"
#include "text/byte_set.h"
#include "text/number.h"
#include "text/text_array.h"
#include "text/text_ops.h"

constexpr char kEmptyResultTitle[] = "信息：";

Text EmptyResultMessage() {
  return ConcatTexts(Text("你的搜索涉及敏感词汇，如需搜索请购买VIP版本"), "\r\n",
                     "联系作者：quorvane@quorvane.example");
}

void SearchWorker(Text keyword, int page, const SearchView& view) {
  // Label, button and clearing come before the fetch, so they show at once.
  view.setPageLabelCaption(NumberToText(page));
  view.setPrevPageButtonEnabled(page != 1);
  if (view.clearPageCheckChecked()) view.deleteAllResultRows();

  Text url = BuildQueryUrl(keyword, page);
  Text pageText;
  {
    ByteSet body = FetchPage(url, 0);
    pageText = ByteSetToText(body);
  }
  TextArray entries = ExtractResultEntries(pageText);
  int count = TextArrayCount(entries);
  for (int i = 1; i <= count; ++i) {
    ResultRecord record = ParseResultEntry(TextArrayAt(entries, i));
    view.appendResultRow(record.name, record.size, record.sharer, record.link);
  }
  if (count == 0) MessageBoxA(nullptr, EmptyResultMessage().c_str(), kEmptyResultTitle, MB_OK);
}
