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

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "result_page.h"

class TestSite {
 public:
  TestSite();
  ~TestSite();
  TestSite(const TestSite&) = delete;
  TestSite& operator=(const TestSite&) = delete;

  int Port() const { return port_; }
  void Serve(const std::string& target, const std::string& body);
  void Hold(const std::string& target);
  void Release(const std::string& target);
  // Sends the target's response one byte every `gapMs` milliseconds.
  void Drip(const std::string& target, int gapMs);
  // Request targets in the order they arrived.
  std::vector<std::string> Requests();
  size_t RequestCount();

 private:
  void AcceptLoop();
  void Answer(int connection);

  int listener_ = -1;
  int port_ = 0;
  std::mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, std::string> pages_;
  std::set<std::string> held_;
  std::map<std::string, int> dripGapMs_;
  std::vector<std::string> requests_;
  bool stopping_ = false;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

// Sends the program's connections for the search site to `site`.
void PointSearchSiteAt(const TestSite& site);
