// The test site: the search site's pages on the loopback server.
#include "test_site.h"

void TestSite::Serve(const std::string& target, const std::string& body) {
  std::lock_guard lock(mutex_);
  pages_[target] = body;
}

void TestSite::Drip(const std::string& target, int gapMs) {
  std::lock_guard lock(mutex_);
  dripGapMs_[target] = gapMs;
}

std::vector<std::string> TestSite::Requests() const {
  std::vector<std::string> targets;
  for (const std::string& request : server_.Requests()) targets.push_back(RequestTarget(request));
  return targets;
}

void TestSite::Answer(Connection& connection) {
  const std::optional<std::string> request = connection.ReadRequest();
  if (!request) return;
  const std::string target = RequestTarget(*request);
  if (!connection.WaitWhileHeld(target)) return;
  std::string body;
  int gapMs = 0;
  {
    std::lock_guard lock(mutex_);
    auto page = pages_.find(target);
    if (page != pages_.end()) body = page->second;
    auto drip = dripGapMs_.find(target);
    if (drip != dripGapMs_.end()) gapMs = drip->second;
  }
  const std::string response = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=gbk\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  if (gapMs > 0) {
    connection.Drip(response, gapMs);
  } else {
    connection.Send(response);
  }
}

void PointSearchSiteAt(const TestSite& site) { RouteToLoopback("so.quorvane.example:80", site.Port()); }
