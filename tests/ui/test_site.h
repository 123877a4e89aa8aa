// A small HTTP server on 127.0.0.1 for window tests; the result pages it
// serves come from result_page.h.
//
//   TestSite site;                        // listens on a free port
//   site.Serve("/?q=%61&page=1&by=prev", ResultPage({{"a", "1 MB", "u", "http://pan/1"}}));
//   PointSearchSiteAt(site);              // so.quorvane.example:80 -> here
//   ...
//   EXPECT_EQ(site.Requests().front(), "/?q=%61&page=1&by=prev");
//
// A target without a page gets an empty 200 response. Held targets are
// answered only after Release, so a test can keep a run fetching; dripped
// targets get their response one byte at a time.
#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "loopback_server.h"
#include "result_page.h"

class TestSite {
 public:
  TestSite() = default;
  TestSite(const TestSite&) = delete;
  TestSite& operator=(const TestSite&) = delete;

  int Port() const { return server_.port(); }
  void Serve(const std::string& target, const std::string& body);
  void Hold(const std::string& target) { server_.Hold(target); }
  void Release(const std::string& target) { server_.Release(target); }
  // Sends the target's response one byte every `gapMs` milliseconds.
  void Drip(const std::string& target, int gapMs);
  // Request targets in the order they arrived.
  std::vector<std::string> Requests() const;
  std::size_t RequestCount() const { return server_.Requests().size(); }

 private:
  void Answer(Connection& connection);

  std::mutex mutex_;
  std::map<std::string, std::string> pages_;
  std::map<std::string, int> dripGapMs_;
  // Last: its connections use the pages, and stop before they go.
  LoopbackServer server_{[this](Connection& c) { Answer(c); }};
};

// Sends the program's connections for the search site to `site`.
void PointSearchSiteAt(const TestSite& site);
