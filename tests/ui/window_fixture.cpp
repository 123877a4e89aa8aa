// The window fixture.
#include "window_fixture.h"

#include "platform/window_testing.h"
#include "search/query.h"

void MainWindowTest::SetUpTestSuite() { InstallFakeOpener(); }

void MainWindowTest::SetUp() {
  if (!ToolkitInit()) GTEST_SKIP() << "no display: run the window tests under xvfb-run";
  searchKeyword = Text();
  currentPage = 0;
  ForgetOpenedLinks();
  window = CreateMainWindow([this] { closed = true; });
  ASSERT_TRUE(PumpUntil([&] { return FrameShown(window->frame); }));
}

void MainWindowTest::TearDown() {
  if (window == nullptr) return;
  for (const auto& box : OpenMessageBoxes()) CloseMessageBox(box.title);
  DestroyMainWindow();
  PumpWindowEvents();
}

bool MainWindowTest::WaitForOuterWidth(int width) {
  return PumpUntil([&] {
    int w = 0;
    int h = 0;
    FrameOuterSize(window->frame, w, h);
    return w == width && h == kWindowHeight;
  });
}

bool MainWindowTest::ShowLoadedBrowser() {
  ClickControl(window->supportButton);
  return WaitForOuterWidth(kWideWidth) && PumpUntil([&] { return WebViewLoaded(window->promoBrowser); }, 30000);
}

std::vector<std::vector<std::string>> MainWindowTest::Rows() {
  std::vector<std::vector<std::string>> rows;
  for (int r = 0; r < ListRowCount(window->resultList); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < 4; ++c) row.push_back(ListCellText(window->resultList, r, c));
    rows.push_back(row);
  }
  return rows;
}
