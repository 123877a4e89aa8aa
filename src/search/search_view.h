// SearchView: the window as a search run sees it, a table of the operations
// the run uses, by the control they act on. The window layer fills one in
// and hands it to every run it starts; a test can hand in one that records.
//
//   SearchView view = MainWindowSearchView();   // ui/main_window.h
//   std::thread(SearchWorker, Text(searchKeyword), currentPage, view).detach();
//
//   view.setPageLabelCaption("2");
//   if (view.clearPageCheckChecked()) view.deleteAllResultRows();
//   view.appendResultRow(record.name, record.size, record.sharer, record.link);
//
// Each operation may be called from any thread, and a change to the window
// is complete when the call returns. Several runs may use one view at once.
#pragma once

#include <functional>

#include "text/text.h"

struct SearchView {
  std::function<void(TextView caption)> setPageLabelCaption;
  std::function<void(bool enabled)> setPrevPageButtonEnabled;
  std::function<bool()> clearPageCheckChecked;
  std::function<void()> deleteAllResultRows;
  // Appends a row whose item text is `name` and writes `size`, `sharer` and
  // `link` into its columns 1 to 3 as one change: a clearing by another run
  // comes before or after the row, never between the row and its cells.
  // Returns the new row's index, or -1 when there is no list to append to.
  std::function<int(TextView name, TextView size, TextView sharer, TextView link)> appendResultRow;
};
