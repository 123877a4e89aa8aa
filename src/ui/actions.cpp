// The search, next-page, previous-page and refresh buttons.
#include "ui/actions.h"

#include <thread>

#include "platform/message_box.h"
#include "platform/window.h"
#include "search/query.h"
#include "search/search_run.h"
#include "ui/main_window.h"

constexpr char kEmptyKeywordMessage[] = "你不输入内容我怎么搜！逗我？";
constexpr char kEmptyKeywordTitle[] = "靠";

void StartSearchRun() {
  // The copies are made here, before the handler returns; the thread owns
  // them and nobody waits for it.
  std::thread(SearchWorker, Text(searchKeyword), currentPage, MainWindowSearchView()).detach();
}

void OnSearchButtonClicked() {
  std::string typed = ControlText(mainWindow->keywordEdit);
  if (typed.empty()) {
    MessageBoxA(nullptr, kEmptyKeywordMessage, kEmptyKeywordTitle, MB_OK);
    return;
  }
  searchKeyword = Text(typed.data(), typed.size());
  currentPage = 1;
  StartSearchRun();
}

namespace {

// Paging has no bounds; past the largest page number it wraps around instead
// of overflowing.
int PageAfterStep(int page, int step) {
  return static_cast<int>(static_cast<unsigned>(page) + static_cast<unsigned>(step));
}

}  // namespace

void OnNextPageClicked() {
  currentPage = PageAfterStep(currentPage, 1);
  StartSearchRun();
}

void OnPrevPageClicked() {
  currentPage = PageAfterStep(currentPage, -1);
  StartSearchRun();
}

void OnRefreshClicked() { StartSearchRun(); }
