// The window's controls, their places and their handlers.
#include "ui/main_window.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/toolkit.h"

#include "search/query.h"
#include "ui/actions.h"
#include "ui/events.h"
#include "ui/start_page.h"

MainWindow* mainWindow = nullptr;

void ExitRoutine() { searchKeyword = Text(); }

void EndProgram() {
  // quick_exit runs the exit routine but no static destructors: detached
  // runs may still be using the program's objects.
  std::quick_exit(0);
}

namespace {

// Registered once, the first time a window is made.
void RegisterExitRoutine() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  std::at_quick_exit(ExitRoutine);
}

}  // namespace

MainWindow* CreateMainWindow(std::function<void()> onClose) {
  RegisterExitRoutine();
  auto* w = new MainWindow;
  FrameOptions options;
  options.title = "QuorvaneV1.0";
  options.outerWidth = kNormalWidth;
  options.outerHeight = kWindowHeight;
  options.onClose = onClose ? std::move(onClose) : [] { EndProgram(); };
  w->frame = CreateFrame(options);

  w->nameLabel = AddLabel(w->frame, {13, 8, 32, 24}, "名称：");
  w->keywordEdit = AddEdit(w->frame, {53, 8, 419, 24});
  w->searchButton = AddButton(w->frame, {477, 8, 48, 24}, "搜搜搜", OnSearchButtonClicked);
  w->resultList = AddListView(w->frame, {8, 40, 520, 264},
                              {{"名称", 200}, {"大小", 80}, {"共享者", 120}, {"地址", 100}}, OnResultListRightClick);
  w->prevPageButton = AddButton(w->frame, {8, 312, 72, 24}, "上一页", OnPrevPageClicked);
  LabelOptions pageFont;
  pageFont.centered = true;
  pageFont.fontFamily = "黑体";
  pageFont.fontPixels = 16;
  w->pageLabel = AddLabel(w->frame, {86, 312, 58, 24}, "1", pageFont);
  w->nextPageButton = AddButton(w->frame, {152, 312, 72, 24}, "下一页", OnNextPageClicked);
  w->clearPageCheck = AddCheckBox(w->frame, {240, 312, 112, 24}, "是否删除当前页");
  w->refreshButton = AddButton(w->frame, {368, 312, 48, 24}, "刷新", OnRefreshClicked);
  w->supportButton = AddButton(w->frame, {432, 312, 96, 24}, "支持作者", OnSupportButtonClicked);
  w->promoBrowser = AddWebView(w->frame, {536, 8, 304, 320}, StartPageHtml(), OnBrowserNewWindow);
  w->listMenu = CreatePopupMenu(w->frame, {{"打开链接", OnOpenLinkChosen}, {"复制链接", OnCopyLinkChosen}});

  SetControlEnabled(w->searchButton, false);
  mainWindow = w;
  ShowFrame(w->frame);
  return w;
}

void DestroyMainWindow() {
  MainWindow* w = mainWindow;
  if (w == nullptr) return;
  mainWindow = nullptr;
  DestroyFrame(w->frame);
  delete w;
}

// The search run's view of the window. Each operation looks at mainWindow
// on the window thread, where the window is made and closed, so a run that
// outlives its window changes nothing.

SearchView MainWindowSearchView() {
  return SearchView{SetPageLabelCaption, SetPrevPageButtonEnabled, ClearPageCheckChecked, DeleteAllResultRows,
                    AppendResultRow};
}

void SetPageLabelCaption(TextView caption) {
  RunOnWindowThread([&] {
    if (mainWindow != nullptr) SetControlText(mainWindow->pageLabel, caption);
  });
}

void SetPrevPageButtonEnabled(bool enabled) {
  RunOnWindowThread([&] {
    if (mainWindow != nullptr) SetControlEnabled(mainWindow->prevPageButton, enabled);
  });
}

bool ClearPageCheckChecked() {
  bool checked = false;
  RunOnWindowThread([&] { checked = mainWindow != nullptr && CheckBoxChecked(mainWindow->clearPageCheck); });
  return checked;
}

void DeleteAllResultRows() {
  RunOnWindowThread([&] {
    if (mainWindow != nullptr) ListDeleteAllRows(mainWindow->resultList);
  });
}

int AppendResultRow(TextView name, TextView size, TextView sharer, TextView link) {
  // Converted on the calling thread: the window thread's step is the insert.
  const ListRow cells{name, size, sharer, link};
  int row = -1;
  RunOnWindowThread([&] {
    if (mainWindow != nullptr) row = ListAppendRow(mainWindow->resultList, cells);
  });
  return row;
}
