#include "test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

std::size_t ContentLength(const std::string& head) {
  std::string lower = head;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  const std::size_t p = lower.find("\r\ncontent-length:");
  if (p == std::string::npos) return 0;
  return static_cast<std::size_t>(std::strtoull(lower.c_str() + p + 17, nullptr, 10));
}

}  // namespace

bool SendAll(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    const ssize_t sent = send(fd, data, n, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    n -= static_cast<std::size_t>(sent);
  }
  return true;
}

TestServer::TestServer(Handler handler) : handler_(std::move(handler)) {
  listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
  int yes = 1;
  setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listenFd_, 64);
  socklen_t length = sizeof address;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

TestServer::~TestServer() {
  stopping_ = true;
  shutdown(listenFd_, SHUT_RDWR);
  acceptThread_.join();
  close(listenFd_);
  std::vector<std::thread> connections;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connections.swap(connections_);
  }
  for (std::thread& t : connections) t.join();
}

std::string TestServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> TestServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

int TestServer::UnusedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);  // bound but never listening: connections are refused
  return ntohs(address.sin_port);
}

void TestServer::AcceptLoop() {
  while (!stopping_) {
    const int fd = accept(listenFd_, nullptr, nullptr);
    if (fd < 0) {
      if (stopping_) return;
      continue;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    connections_.emplace_back([this, fd] { Serve(fd); });
  }
}

// One request per connection: the reply is sent and the connection closed.
void TestServer::Serve(int fd) {
  std::string request;
  char buffer[65536];
  std::size_t headEnd = std::string::npos;
  while (headEnd == std::string::npos) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      close(fd);
      return;
    }
    request.append(buffer, static_cast<std::size_t>(n));
    headEnd = request.find("\r\n\r\n");
  }
  const std::size_t total = headEnd + 4 + ContentLength(request.substr(0, headEnd + 2));
  while (request.size() < total) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  const ServerReply reply = handler_(request);
  bool ok = SendAll(fd, reply.bytes.data(), reply.bytes.size());
  std::string filler(std::min<long long>(reply.fillerBytes, 1 << 16), 'x');
  for (long long left = reply.fillerBytes; ok && left > 0;) {
    const std::size_t n = static_cast<std::size_t>(std::min<long long>(left, static_cast<long long>(filler.size())));
    ok = SendAll(fd, filler.data(), n);
    left -= static_cast<long long>(n);
  }
  if (reply.stallMilliseconds > 0) poll(nullptr, 0, reply.stallMilliseconds);
  if (ok) SendAll(fd, reply.afterStall.data(), reply.afterStall.size());
  shutdown(fd, SHUT_WR);
  // Let the client read everything before the socket goes away.
  while (recv(fd, buffer, sizeof buffer, 0) > 0) {
  }
  close(fd);
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
