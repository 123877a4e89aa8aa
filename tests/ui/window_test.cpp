// The main window on a real display: its start state, its two widths, the
// browser box's new-window event, what the box refuses to do, and the list's
// pop-up menu.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/toolkit_testing.h"
#include "platform/window_testing.h"
#include "test_site.h"
#include "ui/main_window.h"
#include "ui/start_page.h"
#include "window_fixture.h"

namespace {

struct ControlCase {
  const char* name;
  Control* MainWindow::*control;
  ControlRect rect;
  const char* text;  // nullptr: not compared
  bool enabled;
};

const ControlCase kControls[] = {
    {"nameLabel", &MainWindow::nameLabel, {13, 8, 32, 24}, "名称：", true},
    {"keywordEdit", &MainWindow::keywordEdit, {53, 8, 419, 24}, "", true},
    {"searchButton", &MainWindow::searchButton, {477, 8, 48, 24}, "搜搜搜", false},
    {"resultList", &MainWindow::resultList, {8, 40, 520, 264}, nullptr, true},
    {"prevPageButton", &MainWindow::prevPageButton, {8, 312, 72, 24}, "上一页", true},
    {"pageLabel", &MainWindow::pageLabel, {86, 312, 58, 24}, "1", true},
    {"nextPageButton", &MainWindow::nextPageButton, {152, 312, 72, 24}, "下一页", true},
    {"clearPageCheck", &MainWindow::clearPageCheck, {240, 312, 112, 24}, "是否删除当前页", true},
    {"refreshButton", &MainWindow::refreshButton, {368, 312, 48, 24}, "刷新", true},
    {"supportButton", &MainWindow::supportButton, {432, 312, 96, 24}, "支持作者", true},
};

bool Inside(ControlRect r, int clientWidth, int clientHeight) {
  return r.left >= 0 && r.top >= 0 && r.left + r.width <= clientWidth && r.top + r.height <= clientHeight;
}

void ExpectSamePlace(ControlRect actual, ControlRect wanted, const char* name) {
  EXPECT_EQ(actual.left, wanted.left) << name;
  EXPECT_EQ(actual.top, wanted.top) << name;
  EXPECT_EQ(actual.width, wanted.width) << name;
  EXPECT_EQ(actual.height, wanted.height) << name;
}

}  // namespace

TEST_F(MainWindowTest, StartsNarrowWithEveryControlInPlaceAndSearchDisabled) {
  ASSERT_TRUE(WaitForOuterWidth(kNormalWidth));
  EXPECT_EQ(FrameTitle(window->frame), "QuorvaneV1.0");
  EXPECT_FALSE(FrameResizable(window->frame));
  EXPECT_EQ(FrameTitleButtons(window->frame), ":close");

  int clientWidth = 0;
  int clientHeight = 0;
  FrameClientSize(window->frame, clientWidth, clientHeight);
  for (const auto& c : kControls) {
    Control* control = window->*c.control;
    ControlRect at = ControlPlacement(control);
    ExpectSamePlace(at, c.rect, c.name);
    EXPECT_TRUE(Inside(at, clientWidth, clientHeight)) << c.name << " lies outside the client area";
    if (c.text != nullptr) {
      EXPECT_EQ(ControlText(control), c.text) << c.name;
    }
    EXPECT_EQ(ControlEnabled(control), c.enabled) << c.name;
  }
  EXPECT_FALSE(CheckBoxChecked(window->clearPageCheck));
  EXPECT_EQ(ListRowCount(window->resultList), 0);
  EXPECT_EQ(ListSelectedRow(window->resultList), -1);

  std::vector<ListColumnInfo> columns = ListColumns(window->resultList);
  ASSERT_EQ(columns.size(), 4u);
  const ListColumnInfo wanted[] = {{"名称", 200}, {"大小", 80}, {"共享者", 120}, {"地址", 100}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(columns[i].title, wanted[i].title);
    EXPECT_EQ(columns[i].width, wanted[i].width);
  }

  // The browser box starts right of the visible area: not one pixel shows.
  EXPECT_GE(ControlPlacement(window->promoBrowser).left, clientWidth);

  EXPECT_EQ(ControlFontFace(window->pageLabel), "WenQuanYi Micro Hei");
  EXPECT_EQ(ControlFontPixels(window->pageLabel), 16);
}

// These tests also run with the desktop scaled (GDK_SCALE=2): make sure the
// scale took, so that their logical rectangles were checked at it.
TEST_F(MainWindowTest, DrawsAtTheDesktopScale) {
  ASSERT_TRUE(WaitForOuterWidth(kNormalWidth));
  const char* scale = std::getenv("GDK_SCALE");
  EXPECT_EQ(FrameScaleFactor(window->frame), scale != nullptr ? std::atoi(scale) : 1);
}

// The desktop matches the running window to the program's desktop entry by
// this name, and shows the entry's icon for it.
TEST_F(MainWindowTest, WindowCarriesTheApplicationIdAsItsClassAndIconName) {
  ASSERT_TRUE(WaitForOuterWidth(kNormalWidth));
  WindowClassHint hint = FrameWindowClass(window->frame);
  EXPECT_EQ(hint.instance, "example.quorvane.Quorvane");
  EXPECT_EQ(hint.className, "example.quorvane.Quorvane");
  EXPECT_EQ(DefaultIconName(), "example.quorvane.Quorvane");
}

TEST_F(MainWindowTest, SupportButtonShowsTheBrowserBoxAndNarrowingHidesItAgain) {
  ASSERT_TRUE(WaitForOuterWidth(kNormalWidth));
  int left = 0;
  int top = 0;
  FrameClientOrigin(window->frame, left, top);

  struct Step {
    int width;
    bool browserVisible;
  };
  const Step steps[] = {{kWideWidth, true}, {kWideWidth, true}, {kNormalWidth, false}, {kWideWidth, true}};
  for (const auto& step : steps) {
    if (step.width == kWideWidth) {
      ClickControl(window->supportButton);
    } else {
      SetFrameOuterWidth(window->frame, kNormalWidth);
    }
    ASSERT_TRUE(WaitForOuterWidth(step.width)) << step.width;
    int clientWidth = 0;
    int clientHeight = 0;
    FrameClientSize(window->frame, clientWidth, clientHeight);
    ControlRect browser = ControlPlacement(window->promoBrowser);
    ExpectSamePlace(browser, {536, 8, 304, 320}, "promoBrowser");
    if (step.browserVisible) {
      EXPECT_TRUE(Inside(browser, clientWidth, clientHeight)) << "browser box cut off at " << step.width;
    } else {
      EXPECT_GE(browser.left, clientWidth) << "browser box shows at " << step.width;
    }
    for (const auto& c : kControls) ExpectSamePlace(ControlPlacement(window->*c.control), c.rect, c.name);
    int nowLeft = 0;
    int nowTop = 0;
    FrameClientOrigin(window->frame, nowLeft, nowTop);
    EXPECT_EQ(nowLeft, left);
    EXPECT_EQ(nowTop, top);
  }
}

TEST_F(MainWindowTest, FollowingAStartPageLinkEnablesSearchNarrowsAndOpensTheBrowser) {
  ASSERT_TRUE(ShowLoadedBrowser());
  EXPECT_FALSE(ControlEnabled(window->searchButton));
  int x = 0;
  int y = 0;
  ASSERT_TRUE(WebViewLinkPoint(window->promoBrowser, 0, x, y));
  ClickAt(window->promoBrowser, x, y);

  ASSERT_TRUE(PumpUntil([&] { return ControlEnabled(window->searchButton); }));
  EXPECT_TRUE(WaitForOuterWidth(kNormalWidth));
  // No answer from the handler: the new window opens, in the default browser.
  EXPECT_EQ(WaitForOpenedLinks(1), std::vector<std::string>{"https://www.quorvane.example/?ref=qv10"});

  // Later new-window events leave the button enabled and narrow again.
  ClickControl(window->supportButton);
  ASSERT_TRUE(WaitForOuterWidth(kWideWidth));
  ASSERT_TRUE(PumpUntil([&] { return WebViewLinkPoint(window->promoBrowser, 1, x, y); }));
  ClickAt(window->promoBrowser, x, y);
  EXPECT_EQ(WaitForOpenedLinks(2).size(), 2u);
  EXPECT_TRUE(WaitForOuterWidth(kNormalWidth));
  EXPECT_TRUE(ControlEnabled(window->searchButton));
}

TEST_F(MainWindowTest, StartPageLinksAllOpenInANewWindow) {
  TextView page = StartPageHtml();
  size_t links = 0;
  for (size_t at = page.find("<a "); at != TextView::npos; at = page.find("<a ", at + 1)) {
    ++links;
    size_t end = page.find('>', at);
    EXPECT_NE(page.substr(at, end - at).find("target=\"_blank\""), TextView::npos) << page.substr(at, end - at);
  }
  EXPECT_GE(links, 1u);
}

namespace {

// The box still shows the start page, untouched by whatever was tried.
void ExpectStartPageShown(Control* box, const char* after) {
  EXPECT_EQ(WebViewAddress(box), "about:blank") << after;
  EXPECT_EQ(WebViewRunScript(box, "document.title"), "支持作者") << after;
}

}  // namespace

TEST_F(MainWindowTest, NavigationInTheBoxGoesToTheDefaultBrowserAndTheBoxKeepsItsPage) {
  ASSERT_TRUE(ShowLoadedBrowser());
  Control* box = window->promoBrowser;
  struct Case {
    const char* name;
    const char* script;  // run in the start page
    bool clickLastLink;  // then a real click on the page's last link
    const char* opened;  // what the default browser gets; nullptr: nothing
  };
  const Case cases[] = {
      {"a link in the same view",
       "var a=document.createElement('a'); a.href='https://away.quorvane.example/link'; a.textContent='away';"
       " document.body.appendChild(a); 'ok'",
       true, "https://away.quorvane.example/link"},
      {"a form", "var f=document.createElement('form'); f.action='https://away.quorvane.example/form';"
                 " var i=document.createElement('input'); i.name='q'; i.value='1'; f.appendChild(i);"
                 " document.body.appendChild(f); f.submit(); 'ok'",
       false, "https://away.quorvane.example/form?q=1"},
      {"a script going to a file", "location='file:///etc/passwd'; 'ok'", false, nullptr},
      {"a script", "location='http://away.quorvane.example/script'; 'ok'", false,
       "http://away.quorvane.example/script"},
      {"a script reloading the start page's address", "location='about:blank'; 'ok'", false, nullptr},
      {"a script going to a custom scheme", "location.href='mailto:a@quorvane.example'; 'ok'", false, nullptr},
      {"a script posting a form",
       "var f=document.createElement('form'); f.method='post'; f.action='https://away.quorvane.example/post';"
       " document.body.appendChild(f); f.submit(); 'ok'",
       false, "https://away.quorvane.example/post"},
  };
  std::vector<std::string> wanted;
  for (const auto& c : cases) {
    ASSERT_EQ(WebViewRunScript(box, c.script), "ok") << c.name;
    if (c.clickLastLink) {
      int links = std::stoi(WebViewRunScript(box, "String(document.links.length)"));
      int x = 0;
      int y = 0;
      ASSERT_TRUE(WebViewLinkPoint(box, links - 1, x, y)) << c.name;
      ClickAt(box, x, y);
    }
    if (c.opened != nullptr) wanted.push_back(c.opened);
    // A refused address shows up as an extra line before the next wanted one.
    EXPECT_EQ(WaitForOpenedLinks(wanted.size()), wanted) << c.name;
    ExpectStartPageShown(box, c.name);
  }
  // Only the new-window event enables searching.
  EXPECT_FALSE(ControlEnabled(window->searchButton));
}

TEST_F(MainWindowTest, TheBoxDownloadsNothing) {
  ASSERT_TRUE(ShowLoadedBrowser());
  TestSite site;
  const std::string name = "quorvane-download-probe.bin";
  site.Serve("/" + name, "not to be saved");
  const std::string written =
      DownloadInWebView(window->promoBrowser, "http://127.0.0.1:" + std::to_string(site.Port()) + "/" + name);
  if (!written.empty()) std::remove(written.c_str());
  EXPECT_EQ(written, "");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(DownloadFolder()) / name));
  ExpectStartPageShown(window->promoBrowser, "a download");
}

TEST_F(MainWindowTest, TheBoxsContextMenuOnlyCopies) {
  ASSERT_TRUE(ShowLoadedBrowser());
  Control* box = window->promoBrowser;
  // On a link: copying its address is all there is.
  int x = 0;
  int y = 0;
  ASSERT_TRUE(WebViewLinkPoint(box, 0, x, y));
  ClickAt(box, x, y, 3);
  ASSERT_TRUE(PumpUntil([] { return !ShownMenuItems().empty(); }));
  EXPECT_EQ(ShownMenuItems(), std::vector<std::string>{"Copy Link Location"});
  CloseShownMenus();
  ASSERT_TRUE(PumpUntil([] { return ShownMenuItems().empty(); }));

  // On the page's background the engine would offer going back, forward
  // and reloading: nothing is left, so no menu shows.
  ClickAt(box, 150, 310, 3);
  PumpUntil([] { return !ShownMenuItems().empty(); }, 1500);
  EXPECT_EQ(ShownMenuItems(), std::vector<std::string>{});
  CloseShownMenus();
  ExpectStartPageShown(box, "the context menu");
}

namespace {

void FillThreeRows() {
  AppendResultRow("甲.txt", "1 MB", "张三", "http://pan.quorvane.example/s/1");
  AppendResultRow("乙", "文件夹", "李四", "https://pan.quorvane.example/s/2");
  AppendResultRow("丙.zip", "3 GB", "", "HTTP://PAN.quorvane.example/s/3");
}

// A point in the rows area below every row.
constexpr int kBelowRowsX = 100;
constexpr int kBelowRowsY = 200;

}  // namespace

// Workers appending at once, while another worker's calls keep the window
// thread busy for a while (so that callers both catch replies spinning and
// sleep for them): every row comes back whole, at the index its append
// returned, and each call's change is there when it returns.
TEST_F(MainWindowTest, RowsFromManyWorkersArriveWholeAtTheIndexesReturned) {
  constexpr int kWorkers = 4;
  constexpr int kRowsEach = 60;
  std::atomic<int> finished{0};
  std::vector<std::vector<int>> indexes(kWorkers);
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < kRowsEach; ++i) {
        const std::string id = std::to_string(w) + "-" + std::to_string(i);
        indexes[static_cast<size_t>(w)].push_back(AppendResultRow("名" + id, "大小" + id, "共享者" + id, "链接" + id));
      }
      finished.fetch_add(1);
    });
  }
  workers.emplace_back([&] {
    for (int i = 0; i < 20; ++i) {
      int seen = -1;
      RunOnWindowThread([&] {
        if (i % 2 == 0) usleep(2000);
        seen = i;
      });
      EXPECT_EQ(seen, i);
    }
    finished.fetch_add(1);
  });
  EXPECT_TRUE(PumpUntil([&] { return finished.load() == kWorkers + 1; }, 60000));
  for (std::thread& t : workers) t.join();

  const std::vector<std::vector<std::string>> rows = Rows();
  ASSERT_EQ(rows.size(), static_cast<size_t>(kWorkers * kRowsEach));
  std::vector<bool> claimed(rows.size(), false);
  for (int w = 0; w < kWorkers; ++w) {
    for (int i = 0; i < kRowsEach; ++i) {
      const int at = indexes[static_cast<size_t>(w)][static_cast<size_t>(i)];
      ASSERT_GE(at, 0);
      ASSERT_LT(at, static_cast<int>(rows.size()));
      EXPECT_FALSE(claimed[static_cast<size_t>(at)]) << "row " << at << " returned twice";
      claimed[static_cast<size_t>(at)] = true;
      const std::string id = std::to_string(w) + "-" + std::to_string(i);
      EXPECT_EQ(rows[static_cast<size_t>(at)],
                (std::vector<std::string>{"名" + id, "大小" + id, "共享者" + id, "链接" + id}));
    }
  }
}

TEST_F(MainWindowTest, AListRowFillsMissingCellsEmptyAndLeavesOutCellsBeyondTheColumns) {
  EXPECT_EQ(ListAppendRow(window->resultList, {"一"}), 0);
  EXPECT_EQ(ListAppendRow(window->resultList, {"甲", "乙", "丙", "丁", "戊"}), 1);
  EXPECT_EQ(ListAppendRow(window->resultList, {}), 2);
  EXPECT_EQ(Rows(), (std::vector<std::vector<std::string>>{
                        {"一", "", "", ""}, {"甲", "乙", "丙", "丁"}, {"", "", "", ""}}));
}

TEST_F(MainWindowTest, RightClickOpensTheMenuAtThePointerOnlyWithARowSelected) {
  FillThreeRows();
  struct Case {
    int selected;
    bool menuOpens;
  };
  for (const Case c : {Case{-1, false}, Case{1, true}, Case{2, true}}) {
    ListSelectRow(window->resultList, c.selected);
    ClickAt(window->resultList, kBelowRowsX, kBelowRowsY, 3);
    PumpUntil([&] { return MenuShown(window->listMenu); }, c.menuOpens ? 5000 : 300);
    ASSERT_EQ(MenuShown(window->listMenu), c.menuOpens) << "selected row " << c.selected;
    EXPECT_EQ(ListSelectedRow(window->resultList), c.selected);
    if (c.menuOpens) {
      int px = 0;
      int py = 0;
      CursorScreenPosition(px, py);
      int mx = 0;
      int my = 0;
      MenuScreenOrigin(window->listMenu, mx, my);
      EXPECT_EQ(mx, px);
      EXPECT_EQ(my, py);
      ChooseMenuItem(window->listMenu, 1);
      ASSERT_TRUE(PumpUntil([&] { return !MenuShown(window->listMenu); }));
    }
  }
}

TEST_F(MainWindowTest, RightClickOnARowSelectsItAloneBeforeTheMenuOpens) {
  FillThreeRows();
  ListSelectRow(window->resultList, 0);
  ClickAt(window->resultList, kBelowRowsX, 5, 1);  // a left click on row 0
  ASSERT_TRUE(PumpUntil([&] { return ListSelectedRow(window->resultList) == 0; }));
  // Rows are about 20 pixels high: the middle of the second row.
  ClickAt(window->resultList, kBelowRowsX, 30, 3);
  ASSERT_TRUE(PumpUntil([&] { return MenuShown(window->listMenu); }));
  EXPECT_EQ(ListSelectedRow(window->resultList), 1);
  ChooseMenuItem(window->listMenu, 1);
}

TEST_F(MainWindowTest, MenuItemsOpenOrCopyTheSelectedRowsLink) {
  FillThreeRows();
  struct Case {
    int row;
    int item;  // 0 open, 1 copy
    std::string link;
  };
  const Case cases[] = {
      {0, 0, "http://pan.quorvane.example/s/1"},
      {2, 0, "HTTP://PAN.quorvane.example/s/3"},
      {1, 1, "https://pan.quorvane.example/s/2"},
  };
  size_t opened = 0;
  for (const auto& c : cases) {
    ListSelectRow(window->resultList, c.row);
    ClickAt(window->resultList, kBelowRowsX, kBelowRowsY, 3);
    ASSERT_TRUE(PumpUntil([&] { return MenuShown(window->listMenu); }));
    ChooseMenuItem(window->listMenu, c.item);
    ASSERT_TRUE(PumpUntil([&] { return !MenuShown(window->listMenu); }));
    if (c.item == 0) {
      std::vector<std::string> links = WaitForOpenedLinks(++opened);
      ASSERT_EQ(links.size(), opened);
      EXPECT_EQ(links.back(), c.link);
    } else {
      EXPECT_EQ(ClipboardText(), c.link);
      EXPECT_EQ(OpenedLinks().size(), opened) << "copying must not open the link";
    }
  }
}

TEST_F(MainWindowTest, OpenLinkIgnoresLinksThatAreNotWebAddresses) {
  AppendResultRow("evil", "1 KB", "x", "file:///usr/bin/xterm");
  AppendResultRow("good", "1 KB", "x", "https://pan.quorvane.example/s/ok");
  for (int row : {0, 1}) {
    ListSelectRow(window->resultList, row);
    ClickAt(window->resultList, kBelowRowsX, kBelowRowsY, 3);
    ASSERT_TRUE(PumpUntil([&] { return MenuShown(window->listMenu); }));
    ChooseMenuItem(window->listMenu, 0);
  }
  EXPECT_EQ(WaitForOpenedLinks(1), std::vector<std::string>{"https://pan.quorvane.example/s/ok"});
}

TEST_F(MainWindowTest, CloseButtonRunsTheCloseHandler) {
  CloseFrame(window->frame);
  EXPECT_TRUE(PumpUntil([&] { return closed; }));
}
