// One search run: fetches one result page and fills the results list.
//
//   std::thread(SearchWorker, Text(searchKeyword), currentPage, MainWindowSearchView()).detach();
//
// The run sets the page label and the previous-page button, clears the list
// when the clear check box is checked, fetches and scrapes the page, and
// appends one row per share as soon as it is parsed, all through `view`. A
// page that yields no share (a failed fetch included) shows a message box
// instead, which the run's thread waits on. The run works only on its own
// arguments.
#pragma once

#include "search/search_view.h"
#include "text/text.h"

void SearchWorker(Text keyword, int page, const SearchView& view);

// The text of the box shown when a page yields no share.
Text EmptyResultMessage();
extern const char kEmptyResultTitle[];
