// Fifty search runs in flight at once against a site that answers only
// when told, with clears, next-page clicks and refreshes between the
// clicks. Built with ThreadSanitizer (make test TSAN=1) this is the check
// that runs share no data unguarded; in any build, every row must hold the
// four cells of one record of one page. (The suppressions for the toolkit
// libraries are in tests/tsan.supp.)
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "platform/toolkit_testing.h"
#include "platform/window_testing.h"
#include "test_site.h"
#include "window_fixture.h"

namespace {

constexpr int kRuns = 50;
constexpr int kRowsPerPage = 6;

std::string Target(int page) { return "/?q=%61%62%63&page=" + std::to_string(page) + "&by=prev"; }

// Record N of page P: every cell names it, so a row mixing two records or
// two pages shows at once.
std::vector<TestRecord> PageRecords(int page) {
  std::vector<TestRecord> records;
  for (int i = 0; i < kRowsPerPage; ++i) {
    const std::string name = "p" + std::to_string(page) + "-" + std::to_string(i);
    records.push_back({name, name + "-size", name + "-sharer", "http://pan.quorvane.example/s/" + name});
  }
  return records;
}

class OverlappingRunsTest : public MainWindowTest {
 protected:
  void TearDown() override {
    for (const std::string& t : held) site.Release(t);
    PumpUntil([&] {
      for (const auto& box : OpenMessageBoxes()) CloseMessageBox(box.title);
      return OpenMessageBoxes().empty();
    });
    PumpUntil([] { return false; }, 200);
    MainWindowTest::TearDown();
  }

  TestSite site;
  std::vector<std::string> held;
};

TEST_F(OverlappingRunsTest, FiftyRunsWithClearsNextPagesAndRefreshesKeepEveryRowWhole) {
  if (IsSkipped()) return;
  PointSearchSiteAt(site);
  SetControlEnabled(window->searchButton, true);

  // Next-page and refresh clicks alternate, so pages 1..26 are asked for,
  // most of them twice; answers are held back until the test lets them go.
  const int lastPage = kRuns / 2 + 1;
  std::set<std::string> names;
  for (int page = 1; page <= lastPage; ++page) {
    site.Serve(Target(page), ResultPage(PageRecords(page), "abc"));
    site.Hold(Target(page));
    held.push_back(Target(page));
    for (const TestRecord& r : PageRecords(page)) names.insert(r.name);
  }

  SetControlText(window->keywordEdit, "abc");
  ClickControl(window->searchButton);
  std::set<std::string> released;
  for (int run = 2; run <= kRuns; ++run) {
    // The clear box flips every third click, and every fifth click lets an
    // earlier page's answer go, so clearing runs start while others fill.
    if (run % 3 == 0) SetCheckBoxChecked(window->clearPageCheck, run % 2 == 0);
    ClickControl(run % 2 == 0 ? window->nextPageButton : window->refreshButton);
    const int page = run / 2 + 1;
    if (run % 5 == 0 && page > 3 && released.insert(Target(page - 3)).second) site.Release(Target(page - 3));
  }
  ASSERT_TRUE(PumpUntil([&] { return site.RequestCount() >= static_cast<size_t>(kRuns); }, 60000))
      << site.RequestCount() << " of " << kRuns << " requests arrived";

  // The rest go out from both ends towards the middle, so runs finish in
  // neither click order nor its reverse.
  for (int lo = 1, hi = lastPage; lo <= hi; ++lo, --hi) {
    if (!released.count(Target(hi))) site.Release(Target(hi));
    if (lo != hi && !released.count(Target(lo))) site.Release(Target(lo));
  }
  held.clear();

  // Settled: the same row count for a second on end.
  int lastCount = -1;
  int steady = 0;
  ASSERT_TRUE(PumpUntil(
      [&] {
        const int rows = ListRowCount(window->resultList);
        steady = rows == lastCount ? steady + 1 : 0;
        lastCount = rows;
        if (steady < 4 || rows < kRowsPerPage) {
          PumpUntil([] { return false; }, 250);
          return false;
        }
        return true;
      },
      60000));
  EXPECT_TRUE(OpenMessageBoxes().empty());
  const std::vector<std::vector<std::string>> rows = Rows();
  std::printf("%zu rows in the list after %d overlapping runs\n", rows.size(), kRuns);
  for (const std::vector<std::string>& row : rows) {
    ASSERT_EQ(row.size(), 4u);
    const std::string& name = row[0];
    EXPECT_TRUE(names.count(name)) << name;
    EXPECT_EQ(row[1], name + "-size");
    EXPECT_EQ(row[2], name + "-sharer");
    EXPECT_EQ(row[3], "http://pan.quorvane.example/s/" + name);
  }
}

}  // namespace
