// A small HTTP server on 127.0.0.1 for tests: sends exactly the bytes it is
// told to and records every request exactly as it arrived.
//
//   TestServer server([](const std::string& request) {
//     return ServerReply{"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"};
//   });
//   FetchPage(server.Url("/x"), 0);
//   server.Requests()[0]   // "GET /x HTTP/1.1\r\n..."
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct ServerReply {
  ServerReply(std::string head, long long filler = 0, int stall = 0, std::string after = {})
      : bytes(std::move(head)), fillerBytes(filler), stallMilliseconds(stall), afterStall(std::move(after)) {}
  std::string bytes;            // sent first, as they stand
  long long fillerBytes = 0;    // then this many bytes of 'x', made on the fly
  int stallMilliseconds = 0;    // then a pause
  std::string afterStall;       // then these bytes, before the connection closes
};

class TestServer {
 public:
  using Handler = std::function<ServerReply(const std::string& request)>;

  explicit TestServer(Handler handler);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  int port() const { return port_; }
  std::string Url(std::string_view path) const;
  // Every request received so far, head and body, in order of arrival.
  std::vector<std::string> Requests() const;

  // A port on 127.0.0.1 that nothing listens on.
  static int UnusedPort();

 private:
  void AcceptLoop();
  void Serve(int fd);

  Handler handler_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptThread_;
  mutable std::mutex mutex_;
  std::vector<std::thread> connections_;
  std::vector<std::string> requests_;
};

// Writes all n bytes to a socket; false once the peer has gone.
bool SendAll(int fd, const char* data, std::size_t n);

// The head (status line and header lines) of a request up to its empty line.
std::string RequestHead(const std::string& request);
// The body after the empty line.
std::string RequestBody(const std::string& request);
// The header lines of a request, without the request line, in order.
std::vector<std::string> RequestHeaderLines(const std::string& request);
