// The loopback server: one thread accepts, one thread per connection runs
// its behaviour. Finished connections are joined as new ones arrive, so a
// long-lived server does not gather threads.
#include "loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>
#include <utility>

namespace {

sockaddr_in Loopback() {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int BoundPort(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

std::size_t ContentLength(std::string head) {
  std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return std::tolower(c); });
  const std::size_t p = head.find("\r\ncontent-length:");
  if (p == std::string::npos) return 0;
  return static_cast<std::size_t>(std::strtoull(head.c_str() + p + 17, nullptr, 10));
}

}  // namespace

std::optional<std::string> Connection::ReadRequest() {
  std::string request;
  char buffer[65536];
  std::size_t headEnd = std::string::npos;
  while (headEnd == std::string::npos) {
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return std::nullopt;
    request.append(buffer, static_cast<std::size_t>(n));
    headEnd = request.find("\r\n\r\n");
  }
  const std::size_t total = headEnd + 4 + ContentLength(request.substr(0, headEnd + 2));
  while (request.size() < total) {
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  std::lock_guard lock(server_.mutex_);
  server_.requests_.push_back(request);
  return request;
}

bool Connection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool Connection::SendFiller(long long count, char filler) {
  const std::string block(static_cast<std::size_t>(std::clamp<long long>(count, 0, 1 << 16)), filler);
  for (long long left = count; left > 0;) {
    const std::size_t n = static_cast<std::size_t>(std::min<long long>(left, static_cast<long long>(block.size())));
    if (!Send(std::string_view(block).substr(0, n))) return false;
    left -= static_cast<long long>(n);
  }
  return true;
}

bool Connection::Drip(std::string_view bytes, int gapMs) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (!Send(bytes.substr(i, 1)) || !Pause(gapMs)) return false;
  }
  return true;
}

void Connection::SendForever(std::string_view chunk) {
  while (!server_.Stopping() && Send(chunk)) {
  }
}

// In short slices, so that stopping the server never waits for a pause.
bool Connection::Pause(int milliseconds) {
  for (int waited = 0; waited < milliseconds; waited += 20) {
    if (server_.Stopping()) return false;
    poll(nullptr, 0, std::min(20, milliseconds - waited));
  }
  return !server_.Stopping();
}

bool Connection::WaitWhileHeld(const std::string& key) {
  std::unique_lock lock(server_.mutex_);
  server_.wake_.wait(lock, [&] { return server_.Stopping() || server_.held_.count(key) == 0; });
  return !server_.Stopping();
}

void Connection::Reset() {
  // Closing with a zero linger time sends a reset instead of a FIN.
  const linger abort{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  reset_ = true;
}

LoopbackServer::LoopbackServer(Behaviour behave) : behave_(std::move(behave)) {
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int yes = 1;
  setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address = Loopback();
  bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listenFd_, 64);
  port_ = BoundPort(listenFd_);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::LoopbackServer(Script script)
    : LoopbackServer(Behaviour([script = std::move(script)](Connection& c) {
        const std::optional<std::string> request = c.ReadRequest();
        if (!request) return;
        const ServerReply reply = script(*request);
        const bool sent = c.Send(reply.bytes) && c.SendFiller(reply.fillerBytes);
        const bool waited = reply.stallMilliseconds <= 0 || c.Pause(reply.stallMilliseconds);
        if (sent && waited) c.Send(reply.afterStall);
      })) {}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  shutdown(listenFd_, SHUT_RDWR);
  acceptThread_.join();
  close(listenFd_);
  {
    // Wakes every connection blocked in a send or a receive.
    std::lock_guard lock(mutex_);
    for (const Open& o : open_) {
      if (!o.done) shutdown(o.fd, SHUT_RDWR);
    }
  }
  for (Open& o : open_) o.thread.join();
}

std::string LoopbackServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> LoopbackServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LoopbackServer::ForgetRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

int LoopbackServer::Connections() const {
  std::lock_guard lock(mutex_);
  return accepted_;
}

void LoopbackServer::Hold(const std::string& key) {
  std::lock_guard lock(mutex_);
  held_.insert(key);
}

void LoopbackServer::Release(const std::string& key) {
  {
    std::lock_guard lock(mutex_);
    held_.erase(key);
  }
  wake_.notify_all();
}

int LoopbackServer::UnusedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback();
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  const int port = BoundPort(fd);
  close(fd);  // bound but never listening: connections are refused
  return port;
}

void LoopbackServer::AcceptLoop() {
  for (;;) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (Stopping()) return;
      continue;
    }
    std::list<Open> finished;
    {
      std::lock_guard lock(mutex_);
      for (auto o = open_.begin(); o != open_.end();) {
        const auto next = std::next(o);
        if (o->done) finished.splice(finished.end(), open_, o);
        o = next;
      }
      ++accepted_;
      Open& o = open_.emplace_back();
      o.fd = fd;
      o.thread = std::thread([this, &o] { Serve(&o); });
    }
    for (Open& f : finished) f.thread.join();
  }
}

void LoopbackServer::Serve(Open* open) {
  Connection connection(*this, open->fd);
  behave_(connection);
  if (!connection.reset_) {
    shutdown(open->fd, SHUT_WR);
    char buffer[4096];
    while (recv(open->fd, buffer, sizeof buffer, 0) > 0) {
    }
  }
  std::lock_guard lock(mutex_);
  close(open->fd);
  open->done = true;
}

void RouteToLoopback(const std::string& hostAndPort, int port) {
  const std::string rule = hostAndPort + ":127.0.0.1:" + std::to_string(port);
  setenv("QUORVANE_CONNECT_TO", rule.c_str(), 1);
}

std::string RequestHead(const std::string& request) {
  const std::size_t end = request.find("\r\n\r\n");
  return end == std::string::npos ? request : request.substr(0, end + 2);
}

std::string RequestBody(const std::string& request) {
  const std::size_t end = request.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : request.substr(end + 4);
}

std::vector<std::string> RequestHeaderLines(const std::string& request) {
  std::vector<std::string> lines;
  const std::string head = RequestHead(request);
  std::size_t p = head.find("\r\n");
  while (p != std::string::npos) {
    const std::size_t next = head.find("\r\n", p + 2);
    if (next == std::string::npos) break;
    lines.push_back(head.substr(p + 2, next - p - 2));
    p = next;
  }
  return lines;
}

std::string RequestTarget(const std::string& request) {
  const std::size_t first = request.find(' ');
  const std::size_t second = first == std::string::npos ? first : request.find(' ', first + 1);
  return second == std::string::npos ? std::string() : request.substr(first + 1, second - first - 1);
}
