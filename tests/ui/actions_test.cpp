// The search actions and the runs they start, against a real HTTP site on
// 127.0.0.1 that the program reaches under the search site's name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <unistd.h>

#include "platform/toolkit_testing.h"
#include "platform/window_testing.h"
#include "search/query.h"
#include "search/search_run.h"
#include "test_site.h"
#include "text/text_array.h"
#include "ui/actions.h"
#include "window_fixture.h"

namespace {

std::string Target(const std::string& encodedKeyword, int page) {
  return "/?q=" + encodedKeyword + "&page=" + std::to_string(page) + "&by=prev";
}

const std::string kAbc = "%61%62%63";

class ActionsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    if (IsSkipped()) return;
    PointSearchSiteAt(site);
    SetControlEnabled(window->searchButton, true);  // as the start page's link does
  }
  void TearDown() override {
    // Let every run finish before its window goes.
    for (auto& target : heldTargets) site.Release(target);
    PumpUntil([&] {
      for (const auto& box : OpenMessageBoxes()) CloseMessageBox(box.title);
      return site.RequestCount() >= expectedRequests && OpenMessageBoxes().empty();
    });
    PumpUntil([] { return false; }, 100);
    MainWindowTest::TearDown();
  }

  void Search(const std::string& keyword) {
    SetControlText(window->keywordEdit, keyword);
    ClickControl(window->searchButton);
  }
  void Click(Control* MainWindow::*button) { ClickControl(window->*button); }

  bool WaitForRequests(size_t count) { return PumpUntil([&] { return site.RequestCount() >= count; }); }
  bool WaitForBoxes(size_t count) { return PumpUntil([&] { return OpenMessageBoxes().size() >= count; }); }
  // True when no box shows up for a moment.
  bool StaysWithoutBox() { return !PumpUntil([&] { return !OpenMessageBoxes().empty(); }, 500); }
  bool WaitForRowCount(int count) { return PumpUntil([&] { return ListRowCount(window->resultList) == count; }); }

  void Hold(const std::string& target) {
    site.Hold(target);
    heldTargets.push_back(target);
  }

  TestSite site;
  std::vector<std::string> heldTargets;
  size_t expectedRequests = 0;
};

std::vector<std::vector<std::string>> AsRows(const std::vector<TestRecord>& records) {
  std::vector<std::vector<std::string>> rows;
  for (const auto& r : records) rows.push_back({r.name, r.size.empty() ? "文件夹" : r.size, r.sharer, r.link});
  return rows;
}

struct HandlerCase {
  const char* name;
  int startPage;
  const char* lastKeyword;  // searchKeyword before the click
  const char* typed;        // the keyword box's text
  Control* MainWindow::*button;
  int page;  // currentPage after the click, and the page requested
  std::string target;
  bool prevEnabled;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const HandlerCase& c, std::ostream* out) { *out << c.name; }

const HandlerCase kHandlerCases[] = {
    {"search", 0, "", "abc", &MainWindow::searchButton, 1, Target(kAbc, 1), false},
    {"search_again", 7, "old", "abc", &MainWindow::searchButton, 1, Target(kAbc, 1), false},
    {"search_spaces", 3, "", "  ", &MainWindow::searchButton, 1, Target("%20%20", 1), false},
    {"search_chinese", 0, "", "中", &MainWindow::searchButton, 1, Target("%E4%B8%AD", 1), false},
    {"next_before_search", 0, "", "", &MainWindow::nextPageButton, 1, Target("", 1), false},
    {"prev_before_search", 0, "", "", &MainWindow::prevPageButton, -1, Target("", -1), true},
    {"refresh_before_search", 0, "", "", &MainWindow::refreshButton, 0, Target("", 0), true},
    {"next_keeps_old_keyword", 1, "abc", "xyz", &MainWindow::nextPageButton, 2, Target(kAbc, 2), true},
    {"prev_to_page_1", 2, "abc", "", &MainWindow::prevPageButton, 1, Target(kAbc, 1), false},
    {"refresh_keeps_page", 5, "abc", "xyz", &MainWindow::refreshButton, 5, Target(kAbc, 5), true},
};

class HandlerTest : public ActionsTest, public ::testing::WithParamInterface<HandlerCase> {};

TEST_P(HandlerTest, ChangesTheStateAndRunsThatPage) {
  const HandlerCase& c = GetParam();
  currentPage = c.startPage;
  searchKeyword = c.lastKeyword;
  SetControlText(window->keywordEdit, c.typed);
  // Start from the other state, except that a disabled button cannot be
  // clicked.
  if (c.button != &MainWindow::prevPageButton) SetControlEnabled(window->prevPageButton, !c.prevEnabled);
  expectedRequests = 1;

  Click(c.button);
  EXPECT_EQ(currentPage, c.page);
  ASSERT_TRUE(WaitForRequests(1));
  EXPECT_EQ(site.Requests(), std::vector<std::string>{c.target});

  // The site lists nothing: the run ends in its box, after the label and
  // the button were set.
  ASSERT_TRUE(WaitForBoxes(1));
  std::vector<MessageBoxInfo> boxes = OpenMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, kEmptyResultTitle);
  EXPECT_EQ(boxes[0].text, "你的搜索涉及敏感词汇，如需搜索请购买VIP版本\n联系作者：quorvane@quorvane.example");
  EXPECT_FALSE(boxes[0].modal);
  EXPECT_FALSE(FrameBlockedByModalBox(window->frame)) << "a run's box must leave the window usable";
  EXPECT_EQ(ControlText(window->pageLabel), std::to_string(c.page));
  EXPECT_EQ(ControlEnabled(window->prevPageButton), c.prevEnabled);
  EXPECT_EQ(ListRowCount(window->resultList), 0);
}

INSTANTIATE_TEST_SUITE_P(Buttons, HandlerTest, ::testing::ValuesIn(kHandlerCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ActionsTest, EmptyKeywordShowsAModalBoxAndStartsNothing) {
  currentPage = 4;
  searchKeyword = "abc";
  std::vector<MessageBoxInfo> seen;
  bool blocked = false;
  RepeatUntilDone([&] {
    seen = OpenMessageBoxes();
    if (seen.empty()) return false;
    blocked = FrameBlockedByModalBox(window->frame);
    CloseMessageBox(kEmptyKeywordTitle);
    return true;
  });
  // The click's handler waits in the box's loop until the box is closed.
  PressButton(window->searchButton);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, "靠");
  EXPECT_EQ(seen[0].text, "你不输入内容我怎么搜！逗我？");
  EXPECT_TRUE(seen[0].modal);
  EXPECT_TRUE(blocked) << "the window must take no input while the box is open";
  EXPECT_EQ(currentPage, 4);
  EXPECT_EQ(searchKeyword, "abc");
  EXPECT_TRUE(StaysWithoutBox());
  EXPECT_EQ(site.RequestCount(), 0u);
  EXPECT_EQ(ControlText(window->pageLabel), "1");
}

TEST_F(ActionsTest, ThreeQuickNextPageClicksRunPagesTwoThreeAndFour) {
  expectedRequests = 4;
  Search("abc");
  ASSERT_TRUE(WaitForBoxes(1));
  CloseMessageBox(kEmptyResultTitle);
  for (int i = 0; i < 3; ++i) Click(&MainWindow::nextPageButton);
  EXPECT_TRUE(PumpUntil([] { return currentPage == 4; })) << "page " << currentPage;
  ASSERT_TRUE(WaitForRequests(4));
  std::vector<std::string> later = site.Requests();
  later.erase(later.begin());
  std::sort(later.begin(), later.end());
  EXPECT_EQ(later, (std::vector<std::string>{Target(kAbc, 2), Target(kAbc, 3), Target(kAbc, 4)}));
  EXPECT_TRUE(WaitForBoxes(3));
}

TEST_F(ActionsTest, APagesSharesBecomeRowsInPageOrderWithoutABox) {
  const std::vector<TestRecord> records = {
      {"电影合集.mkv", "4.2 GB", "张三", "http://pan.quorvane.example/s/1a"},
      {"资料文件夹", "", "李四", "http://pan.quorvane.example/s/2b"},
      {"歌曲.mp3", "5 MB", "", "http://pan.quorvane.example/s/3c"},
      {"歌曲.mp3", "5 MB", "", "http://pan.quorvane.example/s/3c"},
  };
  site.Serve(Target(kAbc, 1), ResultPage(records, "abc"));
  expectedRequests = 1;
  Search("abc");
  ASSERT_TRUE(WaitForRowCount(4));
  EXPECT_EQ(Rows(), AsRows(records));
  EXPECT_TRUE(StaysWithoutBox());
}

struct ClearCase {
  bool checked;
  bool page1RowsStay;
};

void PrintTo(const ClearCase& c, std::ostream* out) { *out << (c.checked ? "checked" : "unchecked"); }

class ClearTest : public ActionsTest, public ::testing::WithParamInterface<ClearCase> {};

TEST_P(ClearTest, NextPageAppendsOrReplacesTheRows) {
  const std::vector<TestRecord> page1 = {{"一", "1 KB", "甲", "http://pan.quorvane.example/s/1"},
                                         {"二", "", "乙", "http://pan.quorvane.example/s/2"}};
  const std::vector<TestRecord> page2 = {{"三", "3 KB", "丙", "http://pan.quorvane.example/s/3"}};
  site.Serve(Target(kAbc, 1), ResultPage(page1, "abc"));
  site.Serve(Target(kAbc, 2), ResultPage(page2, "abc"));
  expectedRequests = 2;
  Search("abc");
  ASSERT_TRUE(WaitForRowCount(2));

  SetCheckBoxChecked(window->clearPageCheck, GetParam().checked);
  Hold(Target(kAbc, 2));
  Click(&MainWindow::nextPageButton);
  ASSERT_TRUE(WaitForRequests(2));
  // While page 2 is still being fetched, the list is empty only when
  // clearing was asked for.
  EXPECT_EQ(ListRowCount(window->resultList), GetParam().checked ? 0 : 2);
  site.Release(Target(kAbc, 2));

  std::vector<std::vector<std::string>> wanted = AsRows(page2);
  if (GetParam().page1RowsStay) {
    wanted = AsRows(page1);
    for (const auto& row : AsRows(page2)) wanted.push_back(row);
  }
  ASSERT_TRUE(WaitForRowCount(static_cast<int>(wanted.size())));
  EXPECT_EQ(Rows(), wanted);
}

INSTANTIATE_TEST_SUITE_P(CheckBox, ClearTest, ::testing::Values(ClearCase{false, true}, ClearCase{true, false}),
                         [](const auto& info) { return info.param.checked ? "checked" : "unchecked"; });

TEST_F(ActionsTest, FailedFetchWithClearingLeavesTheListEmptyAndShowsTheBox) {
  AppendResultRow("旧", "1 KB", "x", "http://pan.quorvane.example/s/old");
  SetCheckBoxChecked(window->clearPageCheck, true);
  ::setenv("QUORVANE_CONNECT_TO", "so.quorvane.example:80:127.0.0.1:1", 1);  // nothing listens there
  Search("abc");
  ASSERT_TRUE(WaitForBoxes(1));
  EXPECT_EQ(OpenMessageBoxes()[0].title, kEmptyResultTitle);
  EXPECT_EQ(ListRowCount(window->resultList), 0);
}

// Rows whose cells all come from one record: name N has size "N-size",
// sharer "N-sharer" and link ".../N".
std::vector<TestRecord> Consistent(const std::string& prefix, int count) {
  std::vector<TestRecord> records;
  for (int i = 0; i < count; ++i) {
    std::string name = prefix + std::to_string(i);
    records.push_back({name, name + "-size", name + "-sharer", "http://pan.quorvane.example/s/" + name});
  }
  return records;
}

bool RowIsConsistent(const std::vector<std::string>& row) {
  const std::string& name = row[0];
  return row[1] == name + "-size" && row[2] == name + "-sharer" && row[3] == "http://pan.quorvane.example/s/" + name;
}

TEST_F(ActionsTest, OverlappingRunsWithAClearBetweenThemNeverMixCells) {
  // Run A (page 1) is kept fetching while run B (page 2) clears the list
  // and fills it; A's rows then follow B's, each row whole.
  const std::vector<TestRecord> a = Consistent("a", 3);
  const std::vector<TestRecord> b = Consistent("b", 2);
  site.Serve(Target(kAbc, 1), ResultPage(a, "abc"));
  site.Serve(Target(kAbc, 2), ResultPage(b, "abc"));
  Hold(Target(kAbc, 1));
  expectedRequests = 2;
  Search("abc");
  ASSERT_TRUE(WaitForRequests(1));
  SetCheckBoxChecked(window->clearPageCheck, true);
  Click(&MainWindow::nextPageButton);
  ASSERT_TRUE(WaitForRowCount(2));
  EXPECT_EQ(Rows(), AsRows(b));
  site.Release(Target(kAbc, 1));
  ASSERT_TRUE(WaitForRowCount(5));
  std::vector<std::vector<std::string>> wanted = AsRows(b);
  for (const auto& row : AsRows(a)) wanted.push_back(row);
  EXPECT_EQ(Rows(), wanted);
}

TEST_F(ActionsTest, ManyRunsClearingAndFillingAtOnceKeepEveryRowWhole) {
  constexpr int kRuns = 8;
  constexpr int kRowsPerPage = 40;
  for (int page = 1; page <= kRuns; ++page) {
    site.Serve(Target(kAbc, page), ResultPage(Consistent("p" + std::to_string(page) + "-", kRowsPerPage), "abc"));
  }
  SetCheckBoxChecked(window->clearPageCheck, true);
  expectedRequests = kRuns;
  Search("abc");
  for (int i = 1; i < kRuns; ++i) Click(&MainWindow::nextPageButton);
  ASSERT_TRUE(WaitForRequests(kRuns));
  // Clearings and appends of the runs interleave in any order; wait until
  // the list stops changing. At least the run that cleared last has all its
  // rows there.
  int lastCount = -1;
  ASSERT_TRUE(PumpUntil(
      [&] {
        int rows = ListRowCount(window->resultList);
        bool settled = rows == lastCount && rows >= kRowsPerPage;
        lastCount = rows;
        if (!settled) PumpUntil([] { return false; }, 300);
        return settled;
      },
      30000));
  EXPECT_TRUE(OpenMessageBoxes().empty());
  for (const auto& row : Rows()) EXPECT_TRUE(RowIsConsistent(row)) << row[0] << " | " << row[1] << " | " << row[3];
}

TEST_F(ActionsTest, WindowAnswersWhileRunsHangOnASiteThatNeverAnswersOrDrips) {
  // Three runs whose requests the site never answers and one whose answer
  // comes a byte at a time: the window must take every input meanwhile,
  // and a run's window operations from another thread must go through.
  for (int page = 1; page <= 3; ++page) Hold(Target(kAbc, page));
  site.Drip(Target(kAbc, 4), 60);
  expectedRequests = 5;
  Search("abc");
  for (int i = 0; i < 3; ++i) Click(&MainWindow::nextPageButton);
  ASSERT_TRUE(WaitForRequests(4));

  ClickControl(window->clearPageCheck);
  EXPECT_TRUE(PumpUntil([&] { return CheckBoxChecked(window->clearPageCheck); }));
  ClickControl(window->supportButton);
  EXPECT_TRUE(WaitForOuterWidth(kWideWidth));
  std::atomic<bool> probed{false};
  std::thread probe([&] {
    SetPageLabelCaption("9");
    ClearPageCheckChecked();
    probed = true;
  });
  EXPECT_TRUE(PumpUntil([&] { return probed.load(); }));
  probe.join();
  EXPECT_EQ(ControlText(window->pageLabel), "9");
  // Another search starts at once, beside the hanging ones.
  Click(&MainWindow::refreshButton);
  EXPECT_TRUE(WaitForRequests(5));
  EXPECT_TRUE(OpenMessageBoxes().empty()) << "a run ended while its site still hung";

  // Each run ends in its box once its site has answered (with nothing).
  for (int page = 1; page <= 3; ++page) site.Release(Target(kAbc, page));
  EXPECT_TRUE(PumpUntil([&] { return OpenMessageBoxes().size() == 5; }, 30000));
}

// What a user may paste into the keyword box: the request the site gets is
// still one well-formed address, and the run ends in its box as usual.
TEST_F(ActionsTest, PastedKeywordsNobodyShouldTypeStillGiveAWellFormedRequest) {
  std::string hugeChinese;
  while (hugeChinese.size() < 100 * 1024) hugeChinese += "\xE4\xB8\xAD";  // 中, in UTF-8
  const std::vector<std::string> pasted = {
      hugeChinese,
      "\xF0\x9F\x98\x80 a\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",  // emoji around a letter
      "\x01\x07\t\x1b\x7f x?&=#%+/",
  };
  for (std::size_t i = 0; i < pasted.size(); ++i) {
    SCOPED_TRACE("keyword " + std::to_string(i));
    expectedRequests = i + 1;
    PasteUtf8Text(window->keywordEdit, pasted[i]);
    ClickControl(window->searchButton);
    ASSERT_TRUE(WaitForRequests(i + 1));
    const std::string target = site.Requests()[i];
    for (const char ch : target) ASSERT_TRUE(ch >= 0x21 && ch <= 0x7e) << "byte " << static_cast<int>(ch);
    EXPECT_EQ(target.rfind("/?q=%", 0), 0u) << target.substr(0, 80);
    EXPECT_EQ(std::count(target.begin(), target.end(), '&'), 2) << target.substr(0, 80);
    EXPECT_EQ(target.substr(target.size() - 15), "&page=1&by=prev");
    ASSERT_TRUE(WaitForBoxes(1));
    CloseMessageBox(kEmptyResultTitle);
    ASSERT_TRUE(PumpUntil([] { return OpenMessageBoxes().empty(); }));
  }
  // The emoji came over as "?", the letter as itself.
  EXPECT_EQ(site.Requests()[1], "/?q=%3F%20%61%3F%3F&page=1&by=prev");
}

// --- ending -----------------------------------------------------------------

void PrintWhenTheExitRoutinesRun() { std::fputs("exit routines ran\n", stderr); }

// The exit routine ran and no sanitizer had anything to say.
::testing::Matcher<const std::string&> EndedCleanly() {
  using ::testing::HasSubstr;
  using ::testing::Not;
  return ::testing::AllOf(HasSubstr("exit routines ran"), Not(HasSubstr("Sanitizer")),
                          Not(HasSubstr("runtime error")));
}

// In a death test's child: searches for "abc" on `site` and, once `ready`
// holds, closes the window as its close button does. The program must end
// from there; status 3 says it did not, 4 that `ready` never came.
[[noreturn]] void SearchThenCloseWhen(TestSite& site, const std::function<bool()>& ready) {
  ToolkitInit();
  std::at_quick_exit(PrintWhenTheExitRoutinesRun);
  PointSearchSiteAt(site);
  MainWindow* w = CreateMainWindow();
  PumpUntil([&] { return FrameShown(w->frame); });
  SetControlEnabled(w->searchButton, true);
  SetControlText(w->keywordEdit, "abc");
  PressButton(w->searchButton);
  if (!PumpUntil(ready)) std::_Exit(4);
  CloseFrame(w->frame);
  PumpUntil([] { return false; }, 20000);
  std::_Exit(3);
}

TEST(ProgramEndDeathTest, ClosingTheWindowEndsAtOnceWhileARunFetches) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  EXPECT_EXIT(
      {
        auto* site = new TestSite;  // ends with the process
        site->Hold(Target(kAbc, 1));
        SearchThenCloseWhen(*site, [&] { return site->RequestCount() == 1; });
      },
      ::testing::ExitedWithCode(0), EndedCleanly());
}

TEST(ProgramEndDeathTest, ClosingTheWindowEndsAtOnceWhileARunsBoxIsOpen) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  EXPECT_EXIT(
      {
        auto* site = new TestSite;  // lists nothing, so the run ends in its box
        SearchThenCloseWhen(*site, [] { return OpenMessageBoxes().size() == 1; });
      },
      ::testing::ExitedWithCode(0), EndedCleanly());
}

TEST(ProgramEndDeathTest, RuntimeErrorEndsWithStatus255WithoutTheExitRoutine) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  EXPECT_EXIT(
      {
        ToolkitInit();
        std::at_quick_exit(PrintWhenTheExitRoutinesRun);
        MainWindow* w = CreateMainWindow();
        PumpUntil([&] { return FrameShown(w->frame); });
        RepeatUntilDone([] { return CloseMessageBox("错误"); });
        TextArray empty;
        TextArrayAt(empty, 1);
        std::_Exit(3);
      },
      ::testing::ExitedWithCode(255), ::testing::Not(::testing::HasSubstr("exit routines ran")));
}

}  // namespace
