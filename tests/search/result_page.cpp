// Result pages as the share-search site writes them.
#include "result_page.h"

std::string ResultPage(const std::vector<TestRecord>& records, const std::string& keyword) {
  std::string page = "<html><head><script>var site = 1;</script></head><body>\r\n<div class=\"list\">\r\n";
  for (const auto& r : records) {
    page += "<div class=\"article ali_row\"><h2><a target='_blank' href=\"" + r.link + "\"><em>" + keyword +
            "</em>" + r.name + "</a></h2><p>文件名:" + r.name;
    // A folder has the size label with nothing after it.
    page += " 文件大小:" + r.size;
    page += " 分享者:" + r.sharer + " 分享时间:2026-12-01</p><div class=\"other\">pan.quorvane.example</div></div>\r\n";
  }
  page += "</div><script>var end = 1;</script><br><br>\r\n</body></html>\r\n";
  return page;
}
