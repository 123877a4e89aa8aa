// Handlers of the support button, the browser box and the list's menu.
#include "ui/events.h"

#include "platform/shell.h"
#include "platform/window.h"
#include "ui/main_window.h"

namespace {

constexpr int kLinkColumn = 3;

// The selected row's link, or the empty text when no row is selected.
std::string SelectedLink() {
  int row = ListSelectedRow(mainWindow->resultList);
  if (row < 0) return {};
  return ListCellText(mainWindow->resultList, row, kLinkColumn);
}

}  // namespace

void OnSupportButtonClicked() { SetFrameOuterWidth(mainWindow->frame, kWideWidth); }

std::optional<bool> OnBrowserNewWindow(const std::string&) {
  SetControlEnabled(mainWindow->searchButton, true);
  SetFrameOuterWidth(mainWindow->frame, kNormalWidth);
  return std::nullopt;
}

void OnResultListRightClick() {
  if (ListSelectedRow(mainWindow->resultList) < 0) return;
  int x = 0;
  int y = 0;
  CursorScreenPosition(x, y);
  PopupMenuAt(mainWindow->listMenu, x, y);
}

void OnOpenLinkChosen() {
  // The shell opens web addresses only; an empty or foreign link is ignored
  // like any failed call.
  std::string link = SelectedLink();
  ShellExecuteA(nullptr, "open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OnCopyLinkChosen() {
  if (ListSelectedRow(mainWindow->resultList) < 0) return;
  CopyTextToClipboard(SelectedLink());
}
