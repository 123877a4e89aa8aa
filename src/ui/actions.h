// The four search actions and the start of a run.
//
//   OnSearchButtonClicked();   // the keyword box's text, page 1
//   OnNextPageClicked();       // the same keyword, the next page
//
// The handlers run on the window thread, change the search state and
// return at once; each run works on a detached thread of its own with
// copies of the state.
#pragma once

// Starts SearchWorker on a new detached thread with a copy of
// searchKeyword, the value of currentPage and the main window's view.
void StartSearchRun();

void OnSearchButtonClicked();
void OnNextPageClicked();
void OnPrevPageClicked();
void OnRefreshClicked();

// The box shown when the keyword box is empty.
extern const char kEmptyKeywordMessage[];
extern const char kEmptyKeywordTitle[];
