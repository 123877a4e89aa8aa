// An HTTP server on 127.0.0.1 for tests and benchmarks. Each connection gets
// a thread of its own and a behaviour: a scripted reply, or any sequence of
// the connection's moves (hold until released, drip, endless body, reset).
// Every request read is recorded exactly as it arrived.
//
//   LoopbackServer server([](const std::string& request) {    // scripted
//     return ServerReply{"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"};
//   });
//   FetchPage(server.Url("/x").c_str(), 0);
//   server.Requests()[0]   // "GET /x HTTP/1.1\r\n..."
//
//   LoopbackServer silent([](Connection& c) {                   // a behaviour
//     if (c.ReadRequest()) c.Pause(60000);
//   });
//
// Stopping the server (its destructor) wakes every connection, whatever it
// is doing, and waits for them all.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// What a scripted reply sends, in order, before the connection closes.
struct ServerReply {
  ServerReply(std::string head, long long filler = 0, int stall = 0, std::string after = {})
      : bytes(std::move(head)), fillerBytes(filler), stallMilliseconds(stall), afterStall(std::move(after)) {}
  std::string bytes;            // sent first, as they stand
  long long fillerBytes = 0;    // then this many bytes of 'x', made on the fly
  int stallMilliseconds = 0;    // then a pause
  std::string afterStall;       // then these bytes
};

class LoopbackServer;

// One accepted connection as its behaviour sees it. Once the server is
// stopping every wait ends early and every move returns false. When the
// behaviour returns, the server sends a FIN, reads and drops whatever the
// client still sends (so that no reset overtakes the reply) and closes.
class Connection {
 public:
  // One request: its head and as many body bytes as its Content-Length
  // declares, recorded by the server; nothing when the client left before
  // the end of the head.
  std::optional<std::string> ReadRequest();
  bool Send(std::string_view bytes);
  // `count` bytes of `filler`, made on the fly.
  bool SendFiller(long long count, char filler = 'x');
  // One byte every `gapMs` milliseconds.
  bool Drip(std::string_view bytes, int gapMs);
  // `chunk` again and again until the client leaves or the server stops.
  void SendForever(std::string_view chunk);
  // False when the pause was cut short by the server stopping.
  bool Pause(int milliseconds);
  // Waits while `key` is held (LoopbackServer::Hold); false when the server
  // stopped instead.
  bool WaitWhileHeld(const std::string& key);
  // Ends the connection with a reset instead of a FIN, at once.
  void Reset();

 private:
  friend class LoopbackServer;
  Connection(LoopbackServer& server, int fd) : server_(server), fd_(fd) {}

  LoopbackServer& server_;
  int fd_;
  bool reset_ = false;
};

class LoopbackServer {
 public:
  using Behaviour = std::function<void(Connection& connection)>;
  using Script = std::function<ServerReply(const std::string& request)>;

  explicit LoopbackServer(Behaviour behave);
  // Reads one request, answers with the script's reply.
  explicit LoopbackServer(Script script);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  std::string Url(std::string_view path) const;
  // Every request read so far, head and body, in order of arrival.
  std::vector<std::string> Requests() const;
  // Drops the requests recorded so far, for a server that lives long.
  void ForgetRequests();
  // Connections accepted so far.
  int Connections() const;
  // Holds `key` for connections that wait on it, until Release.
  void Hold(const std::string& key);
  void Release(const std::string& key);

  // A port on 127.0.0.1 that nothing listens on.
  static int UnusedPort();

 private:
  friend class Connection;
  struct Open {
    int fd = -1;
    bool done = false;
    std::thread thread;
  };

  void AcceptLoop();
  void Serve(Open* open);
  bool Stopping() const { return stopping_.load(); }

  Behaviour behave_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptThread_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;  // on Release and on stopping
  std::set<std::string> held_;
  std::list<Open> open_;
  int accepted_ = 0;
  std::vector<std::string> requests_;
};

// Sends the program's connections for `hostAndPort` ("so.quorvane.example:80";
// ":" for every host and port) to `port` on 127.0.0.1, until the next call.
void RouteToLoopback(const std::string& hostAndPort, int port);

// The head (request line and header lines) of a request up to its empty line.
std::string RequestHead(const std::string& request);
// The body after the empty line.
std::string RequestBody(const std::string& request);
// The header lines of a request, without the request line, in order.
std::vector<std::string> RequestHeaderLines(const std::string& request);
// The target of the request line ("/?q=a&page=1").
std::string RequestTarget(const std::string& request);
