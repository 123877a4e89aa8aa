// The state of the user's search and the address of one result page.
//
//   searchKeyword = "中";
//   currentPage = 1;
//   BuildQueryUrl(searchKeyword, currentPage)
//       -> "http://so.quorvane.example/?q=%E4%B8%AD&page=1&by=prev"
//
// Only the window thread writes the state; a search run is handed copies of
// it when it starts and never reads it afterwards.
#pragma once

#include "text/text.h"

// The keyword of the current search, exactly as typed. Empty until the
// first search.
extern Text searchKeyword;

// The result page to request. 0 until the first search; never bounded, so
// 0 and negative pages are requested as they are.
extern int currentPage;

// The address of result page `page` for `keyword`: plain HTTP on the search
// site, with the keys q (every byte of the keyword's UTF-8 form
// percent-encoded), page and by, in that order.
Text BuildQueryUrl(TextView keyword, int page);
