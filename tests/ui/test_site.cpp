// The test site: one thread per connection, one request per connection.
#include "test_site.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

TestSite::TestSite() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int yes = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listener_, 64);
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

TestSite::~TestSite() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    held_.clear();
  }
  released_.notify_all();
  ::shutdown(listener_, SHUT_RDWR);
  ::close(listener_);
  acceptor_.join();
  for (auto& t : connections_) t.join();
}

void TestSite::Serve(const std::string& target, const std::string& body) {
  std::lock_guard lock(mutex_);
  pages_[target] = body;
}

void TestSite::Hold(const std::string& target) {
  std::lock_guard lock(mutex_);
  held_.insert(target);
}

void TestSite::Release(const std::string& target) {
  {
    std::lock_guard lock(mutex_);
    held_.erase(target);
  }
  released_.notify_all();
}

void TestSite::Drip(const std::string& target, int gapMs) {
  std::lock_guard lock(mutex_);
  dripGapMs_[target] = gapMs;
}

std::vector<std::string> TestSite::Requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

size_t TestSite::RequestCount() {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

void TestSite::AcceptLoop() {
  for (;;) {
    int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) return;
    std::lock_guard lock(mutex_);
    if (stopping_) {
      ::close(connection);
      return;
    }
    connections_.emplace_back([this, connection] { Answer(connection); });
  }
}

void TestSite::Answer(int connection) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  std::string target;
  size_t first = request.find(' ');
  size_t second = first == std::string::npos ? first : request.find(' ', first + 1);
  if (second != std::string::npos) target = request.substr(first + 1, second - first - 1);

  std::string body;
  int gapMs = 0;
  {
    std::unique_lock lock(mutex_);
    requests_.push_back(target);
    released_.wait(lock, [&] { return stopping_ || held_.count(target) == 0; });
    auto page = pages_.find(target);
    if (page != pages_.end()) body = page->second;
    auto drip = dripGapMs_.find(target);
    if (drip != dripGapMs_.end()) gapMs = drip->second;
  }
  std::string response = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=gbk\r\nContent-Length: " +
                         std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  size_t sent = 0;
  while (sent < response.size()) {
    const size_t piece = gapMs > 0 ? 1 : response.size() - sent;
    ssize_t n = ::send(connection, response.data() + sent, piece, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
    if (gapMs > 0) {
      // In slices, so that the site's end does not wait for the drip.
      bool stopping = false;
      for (int waited = 0; waited < gapMs && !stopping; waited += 20) {
        ::poll(nullptr, 0, 20);
        std::lock_guard lock(mutex_);
        stopping = stopping_;
      }
      if (stopping) break;
    }
  }
  ::close(connection);
}

void PointSearchSiteAt(const TestSite& site) {
  std::string rule = "so.quorvane.example:80:127.0.0.1:" + std::to_string(site.Port());
  ::setenv("QUORVANE_CONNECT_TO", rule.c_str(), 1);
}
