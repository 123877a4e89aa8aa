// The demo site as the program sees it: every share the site lists for a
// keyword and page arrives, through the real page fetch and scraper, as the
// record the window would show, and pages past the last one list nothing.
//
// The site runs as a child process on a free port; QUORVANE_CONNECT_TO sends
// the search host's connections there, as `make run` does. What the site
// lists comes from the site itself (its --list mode), in UTF-8.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "encoding/response_decode.h"
#include "http/fetch.h"
#include "platform/codepage.h"
#include "search/query.h"
#include "search/scrape.h"
#include "text/byte_set.h"
#include "text/text_array.h"

namespace {

struct Child {
  pid_t pid = -1;
  int out = -1;
};

Child Spawn(const std::vector<std::string>& argv) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(fds[1], 1);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  return {pid, fds[0]};
}

// Everything the child writes until it ends (or, with `firstLine`, its first
// line), waiting at most 20 s.
std::string ReadOutput(int fd, bool firstLine) {
  std::string out;
  char buffer[4096];
  while (!(firstLine && out.find('\n') != std::string::npos)) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20000) <= 0) break;
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  return out;
}

std::string GbkToUtf8(TextView gbk) {
  std::string text(gbk);
  int wide = MultiByteToWideChar(CP_GBK, 0, text.c_str(), -1, nullptr, 0);
  std::u16string units(static_cast<size_t>(wide), u'\0');
  MultiByteToWideChar(CP_GBK, 0, text.c_str(), -1, units.data(), wide);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, units.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, units.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
  utf8.resize(utf8.size() - 1);  // the terminator
  return utf8;
}

Text Utf8ToGbk(const std::string& utf8) {
  return ByteSetToText(Utf8ToGbkBytes(ToByteSet(utf8)));
}

struct Share {
  Text name, size, sharer, link;
  bool operator==(const Share&) const = default;
};

void PrintTo(const Share& s, std::ostream* os) {
  *os << "{" << GbkToUtf8(s.name) << " | " << GbkToUtf8(s.size) << " | " << GbkToUtf8(s.sharer) << " | "
      << GbkToUtf8(s.link) << "}";
}

struct Case {
  const char* label;  // the test's name
  const char* keyword;
  int page;
};

void PrintTo(const Case& c, std::ostream* os) { *os << GbkToUtf8(c.keyword) << ", page " << c.page; }

class DemoSiteTest : public ::testing::TestWithParam<Case> {
 protected:
  static void SetUpTestSuite() {
    site = Spawn({"/usr/bin/python3", QUORVANE_DEMO_SITE});
    std::string port = ReadOutput(site.out, true);
    ASSERT_FALSE(port.empty()) << "the demo site did not report its port";
    port.pop_back();
    setenv("QUORVANE_CONNECT_TO", ("so.quorvane.example:80:127.0.0.1:" + port).c_str(), 1);
  }

  static void TearDownTestSuite() {
    if (site.pid > 0) {
      kill(site.pid, SIGTERM);
      waitpid(site.pid, nullptr, 0);
      close(site.out);
    }
    unsetenv("QUORVANE_CONNECT_TO");
  }

  // What the site says it lists, as the window shows it: a folder's size
  // is "文件夹".
  static std::vector<Share> Listed(TextView keyword, int page) {
    Child lister = Spawn({"/usr/bin/python3", QUORVANE_DEMO_SITE, "--list", GbkToUtf8(keyword), std::to_string(page)});
    std::istringstream lines(ReadOutput(lister.out, false));
    close(lister.out);
    waitpid(lister.pid, nullptr, 0);
    std::vector<Share> shares;
    for (std::string line; std::getline(lines, line);) {
      std::vector<std::string> fields;
      std::istringstream cells(line);
      for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
      fields.resize(4);
      Share s{Utf8ToGbk(fields[0]), Utf8ToGbk(fields[1]), Utf8ToGbk(fields[2]), Utf8ToGbk(fields[3])};
      if (s.size.empty()) s.size = "文件夹";
      shares.push_back(s);
    }
    return shares;
  }

  static Child site;
};

Child DemoSiteTest::site;

TEST_P(DemoSiteTest, ListedSharesArriveAsRecords) {
  const auto [label, keyword, page] = GetParam();
  ByteSet body = FetchPage(BuildQueryUrl(keyword, page), 0);
  ASSERT_FALSE(body.empty()) << "no page from the demo site";
  TextArray entries = ExtractResultEntries(ByteSetToText(body));
  std::vector<Share> got;
  for (int i = 1; i <= TextArrayCount(entries); ++i) {
    ResultRecord r = ParseResultEntry(TextArrayAt(entries, i));
    got.push_back({r.name, r.size, r.sharer, r.link});
  }
  EXPECT_EQ(got, Listed(keyword, page));
}

TEST_P(DemoSiteTest, PagesOneToFiveListSharesAndOthersNone) {
  const auto [label, keyword, page] = GetParam();
  bool listsShares = TextView(keyword).size() > 0 && page >= 1 && page <= 5;
  EXPECT_EQ(!Listed(keyword, page).empty(), listsShares);
}

// Keywords with Chinese, spaces and markup characters (the page escapes
// those, and the program shows the escapes as they stand); the first and
// last pages with results, the first without, and pages below 1.
INSTANTIATE_TEST_SUITE_P(Pages, DemoSiteTest,
                         ::testing::Values(Case{"Ascii", "abc", 1}, Case{"Chinese", "演示", 2},
                                           Case{"SpacesAndMarkup", "演示 a&b<c>", 5}, Case{"PastTheLast", "abc", 6},
                                           Case{"PageZero", "abc", 0}, Case{"PageMinusOne", "abc", -1},
                                           Case{"EmptyKeyword", "", 1}),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.label); });

}  // namespace
