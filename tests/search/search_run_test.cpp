// The search run on its own, without a window: a view that writes down
// every change the run asks of the window, a real HTTP site on 127.0.0.1
// that the run reaches under the search site's name, and a message-box
// presenter that writes down the boxes. All three note into one journal, so
// the order of the run's steps is checked as well as the steps themselves.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_box.h"
#include "result_page.h"
#include "search/search_run.h"
#include "search/search_view.h"
#include "loopback_server.h"

namespace {

// What one run did, one line per step, in the order the steps happened.
struct Journal {
  std::mutex mutex;
  std::vector<std::string> lines;

  void Note(std::string line) {
    std::lock_guard lock(mutex);
    lines.push_back(std::move(line));
  }
  std::vector<std::string> Lines() {
    std::lock_guard lock(mutex);
    return lines;
  }
};

// A window whose check box reads `checked`; every call is noted.
SearchView RecordingView(Journal& journal, bool checked) {
  SearchView view;
  view.setPageLabelCaption = [&journal](TextView caption) { journal.Note("label " + std::string(caption)); };
  view.setPrevPageButtonEnabled = [&journal](bool enabled) {
    journal.Note(enabled ? "prev enabled" : "prev disabled");
  };
  view.clearPageCheckChecked = [&journal, checked] {
    journal.Note("check read");
    return checked;
  };
  view.deleteAllResultRows = [&journal] { journal.Note("clear"); };
  view.appendResultRow = [&journal, row = 0](TextView name, TextView size, TextView sharer,
                                              TextView link) mutable {
    journal.Note("row " + std::string(name) + " | " + std::string(size) + " | " + std::string(sharer) + " | " +
                 std::string(link));
    return row++;
  };
  return view;
}

// Message boxes are shown on the run's own thread, so the presenter finds
// the run's journal through the thread.
thread_local Journal* boxJournal = nullptr;

int NoteBox(HWND owner, const char* text, const char* caption, UINT type) {
  std::string line = std::string("box ") + caption + " | " + text + " | type " + std::to_string(type);
  if (owner != nullptr) line += " | with owner";
  if (boxJournal == nullptr) {
    ADD_FAILURE() << "a box outside a run: " << line;
    return IDOK;
  }
  boxJournal->Note(line);
  return IDOK;
}

// One run on the calling thread, noted into `journal`.
void RunSearch(const std::string& keyword, int page, bool checked, Journal& journal) {
  boxJournal = &journal;
  SearchWorker(Text(keyword.data(), keyword.size()), page, RecordingView(journal, checked));
  boxJournal = nullptr;
}

std::string Target(const std::string& encodedKeyword, int page) {
  return "/?q=" + encodedKeyword + "&page=" + std::to_string(page) + "&by=prev";
}

// The search site: serves a body per request target, each after a pause of
// its own, and notes every request in the journal of the run it belongs to.
// A target it has no body for gets an empty page.
class Site {
 public:
  void Serve(const std::string& target, const std::string& body, Journal& journal, int pauseMs = 0) {
    std::lock_guard lock(mutex_);
    pages_[target] = Page{body, &journal, pauseMs};
  }
  // Sends the run's connections for so.quorvane.example:80 here.
  void PointSearchSiteHere() const { PointSearchSiteAt(server_.port()); }

  static void PointSearchSiteAt(int port) {
    RouteToLoopback("so.quorvane.example:80", port);
  }

 private:
  struct Page {
    std::string body;
    Journal* journal = nullptr;
    int pauseMs = 0;
  };

  ServerReply Answer(const std::string& request) {
    const std::string target = RequestTarget(request);
    Page page;
    {
      std::lock_guard lock(mutex_);
      auto found = pages_.find(target);
      if (found != pages_.end()) page = found->second;
    }
    if (page.journal != nullptr) {
      page.journal->Note("fetch " + target);
    } else {
      ADD_FAILURE() << "a request nobody expected: " << target;
    }
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=gbk\r\nContent-Length: " +
                             std::to_string(page.body.size()) + "\r\nConnection: close\r\n\r\n";
    // The head goes at once, the body after the pause.
    return ServerReply(head, 0, page.pauseMs, page.body);
  }

  std::mutex mutex_;
  std::map<std::string, Page> pages_;
  LoopbackServer server_{[this](const std::string& request) { return Answer(request); }};
};

// What the site answers a run with.
enum class Answer { kListing, kOtherShape, kNothingListens };

struct RunCase {
  const char* name;
  std::string keyword;
  std::string encodedKeyword;
  int page;
  bool checked;
  Answer answer;
  std::vector<TestRecord> records;  // for kListing
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

// The steps a run must take for `c`, as the journal writes them.
std::vector<std::string> ExpectedSteps(const RunCase& c) {
  std::vector<std::string> steps{"label " + std::to_string(c.page), c.page == 1 ? "prev disabled" : "prev enabled",
                                 "check read"};
  if (c.checked) steps.push_back("clear");
  if (c.answer != Answer::kNothingListens) steps.push_back("fetch " + Target(c.encodedKeyword, c.page));
  const std::vector<TestRecord> listed = c.answer == Answer::kListing ? c.records : std::vector<TestRecord>{};
  for (const TestRecord& r : listed) {
    steps.push_back("row " + r.name + " | " + (r.size.empty() ? "文件夹" : r.size) + " | " + r.sharer + " | " +
                    r.link);
  }
  if (listed.empty()) {
    steps.push_back(std::string("box ") + kEmptyResultTitle + " | " + std::string(EmptyResultMessage()) +
                    " | type " + std::to_string(MB_OK));
  }
  return steps;
}

std::string BodyFor(const RunCase& c) {
  if (c.answer == Answer::kOtherShape) return "<html><body><p>站点维护中</p></body></html>";
  return ResultPage(c.records, c.keyword);
}

class SearchRunTest : public ::testing::TestWithParam<RunCase> {
 protected:
  static void SetUpTestSuite() { SetMessageBoxPresenter(NoteBox); }
  static void TearDownTestSuite() { SetMessageBoxPresenter(nullptr); }
  void TearDown() override { ::unsetenv("QUORVANE_CONNECT_TO"); }
};

const TestRecord kFile{"甲.txt", "1 MB", "张三", "http://pan.quorvane.example/s/1"};
const TestRecord kFolder{"乙", "", "李四", "https://pan.quorvane.example/s/2"};
const TestRecord kNoSharer{"丙.zip", "3 GB", "", "http://pan.quorvane.example/s/3"};

const RunCase kRunCases[] = {
    {"FirstPageThreeRowsInPageOrder", "abc", "%61%62%63", 1, false, Answer::kListing, {kFile, kFolder, kNoSharer}},
    {"SecondPageClearsFirst", "abc", "%61%62%63", 2, true, Answer::kListing, {kNoSharer, kFile}},
    {"EqualEntriesGiveEqualRows", "中", "%E4%B8%AD", 3, false, Answer::kListing, {kFolder, kFolder}},
    {"PageZeroEnablesTheButton", "abc", "%61%62%63", 0, true, Answer::kListing, {kFile}},
    {"NegativePage", "abc", "%61%62%63", -1, false, Answer::kListing, {kFolder}},
    {"SmallestPage", "abc", "%61%62%63", INT_MIN, false, Answer::kListing, {kFile}},
    {"LargestPage", "abc", "%61%62%63", INT_MAX, true, Answer::kListing, {kFile}},
    {"EmptyListingShowsTheBox", "abc", "%61%62%63", 1, false, Answer::kListing, {}},
    {"EmptyListingAfterClearing", "abc", "%61%62%63", 4, true, Answer::kListing, {}},
    {"PageOfAnotherShapeShowsTheBox", "abc", "%61%62%63", 2, false, Answer::kOtherShape, {}},
    {"FailedFetchShowsTheBox", "abc", "%61%62%63", 1, false, Answer::kNothingListens, {}},
    {"FailedFetchAfterClearing", "中", "%E4%B8%AD", 5, true, Answer::kNothingListens, {}},
};

TEST_P(SearchRunTest, TakesItsStepsInOrder) {
  const RunCase& c = GetParam();
  Journal journal;
  Site site;
  if (c.answer == Answer::kNothingListens) {
    Site::PointSearchSiteAt(LoopbackServer::UnusedPort());
  } else {
    site.Serve(Target(c.encodedKeyword, c.page), BodyFor(c), journal);
    site.PointSearchSiteHere();
  }
  RunSearch(c.keyword, c.page, c.checked, journal);
  EXPECT_EQ(journal.Lines(), ExpectedSteps(c));
}

INSTANTIATE_TEST_SUITE_P(Cases, SearchRunTest, ::testing::ValuesIn(kRunCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Runs overlap: each works on its own keyword and page and reaches only its
// own view, whichever order their pages arrive in. The first run's page
// comes last.
TEST_F(SearchRunTest, OverlappingRunsEachFillOnlyTheirOwnView) {
  constexpr int kRuns = 4;
  std::vector<RunCase> cases;
  for (int page = 1; page <= kRuns; ++page) {
    std::vector<TestRecord> records;
    for (int i = 0; i < page; ++i) {
      const std::string name = "p" + std::to_string(page) + "-" + std::to_string(i);
      records.push_back({name, name + "-size", name + "-sharer", "http://pan.quorvane.example/s/" + name});
    }
    cases.push_back({"", "abc", "%61%62%63", page, page % 2 == 0, Answer::kListing, records});
  }
  std::vector<Journal> journals(kRuns);
  Site site;
  for (int i = 0; i < kRuns; ++i) {
    site.Serve(Target(cases[i].encodedKeyword, cases[i].page), BodyFor(cases[i]), journals[i], (kRuns - i) * 60);
  }
  site.PointSearchSiteHere();

  std::vector<std::thread> runs;
  for (int i = 0; i < kRuns; ++i) {
    runs.emplace_back(RunSearch, cases[i].keyword, cases[i].page, cases[i].checked, std::ref(journals[i]));
  }
  for (std::thread& run : runs) run.join();
  for (int i = 0; i < kRuns; ++i) EXPECT_EQ(journals[i].Lines(), ExpectedSteps(cases[i])) << "run " << i + 1;
}

}  // namespace
