// FetchPage against servers that misbehave on purpose: each must end the
// request by the time-outs or the body cap, with bounded memory and no
// crash. The time-outs are shortened for the whole program so the suite
// stays quick.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "http/fetch.h"
#include "http/fetch_testing.h"
#include "platform/wininet.h"
#include "platform/wininet_testing.h"
#include "test_server.h"
#include "text/byte_set.h"

namespace {

constexpr long kConnectMs = 500;
constexpr long kReceiveMs = 400;

bool SendAll(int fd, const std::string& s) { return ::SendAll(fd, s.data(), s.size()); }

// Sleeps in short slices; false once the server is stopping.
bool Pause(int milliseconds, const std::atomic<bool>& stopping) {
  for (int waited = 0; waited < milliseconds; waited += 20) {
    if (stopping) return false;
    poll(nullptr, 0, 20);
  }
  return !stopping;
}

// Reads up to the end of the request head; false when the client went away.
bool ReadHead(int fd) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

// What one connection gets. The server closes the socket afterwards.
using Behaviour = std::function<void(int fd, const std::atomic<bool>& stopping)>;

// A loopback server that hands every connection to a behaviour. Stopping it
// wakes every connection, however it misbehaves.
class HostileServer {
 public:
  explicit HostileServer(Behaviour behave) : behave_(std::move(behave)) {
    listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listenFd_, 64);
    socklen_t length = sizeof address;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
  }
  ~HostileServer() {
    stopping_ = true;
    shutdown(listenFd_, SHUT_RDWR);
    acceptThread_.join();
    close(listenFd_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (const auto& c : connections_) {
        if (c->open) shutdown(c->fd, SHUT_RDWR);
      }
    }
    for (const auto& c : connections_) c->thread.join();
  }
  HostileServer(const HostileServer&) = delete;
  HostileServer& operator=(const HostileServer&) = delete;

  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  int Connections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(connections_.size());
  }

 private:
  struct Connection {
    int fd = -1;
    bool open = true;
    std::thread thread;
  };

  void AcceptLoop() {
    while (!stopping_) {
      const int fd = accept(listenFd_, nullptr, nullptr);
      if (fd < 0) {
        if (stopping_) return;
        continue;
      }
      std::lock_guard<std::mutex> lock(mutex_);
      auto c = std::make_unique<Connection>();
      c->fd = fd;
      Connection* raw = c.get();
      c->thread = std::thread([this, raw] {
        behave_(raw->fd, stopping_);
        std::lock_guard<std::mutex> closing(mutex_);
        close(raw->fd);
        raw->open = false;
      });
      connections_.push_back(std::move(c));
    }
  }

  Behaviour behave_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptThread_;
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<Connection>> connections_;
};

// Sends `bytes` one at a time, `gapMs` apart.
void Trickle(int fd, const std::string& bytes, int gapMs, const std::atomic<bool>& stopping) {
  for (const char c : bytes) {
    if (!::SendAll(fd, &c, 1) || !Pause(gapMs, stopping)) return;
  }
}

// The peak resident size of the process since the last ResetPeakMemory, in
// KiB, or 0 where the kernel does not tell.
long PeakMemoryKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}
long CurrentMemoryKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}
void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

const std::string kHead = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n";

std::string HeaderBlock(std::size_t bytes) {
  std::string block;
  for (int i = 0; block.size() < bytes; ++i) block += "X-Pad-" + std::to_string(i) + ": " + std::string(60, 'p') + "\r\n";
  return block;
}

struct HostileCase {
  const char* name;
  Behaviour behave;
  // Checks the body FetchPage gave and the number of connections made.
  std::function<void(const std::string& body, int connections)> check;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class HostileServerTest : public testing::TestWithParam<HostileCase> {
 protected:
  void SetUp() override { InternetSetTimeoutsForTesting(kConnectMs, kReceiveMs); }
  void TearDown() override { InternetSetTimeoutsForTesting(60000, 30000); }
};

TEST_P(HostileServerTest, FetchEndsWithABoundedBody) {
  HostileServer server(GetParam().behave);
  const ByteSet body = FetchPage(server.Url("/page").c_str(), 0);
  const std::string bytes(body.begin(), body.end());
  std::printf("%s: %zu body bytes over %d connections\n", GetParam().name, bytes.size(), server.Connections());
  GetParam().check(bytes, server.Connections());
}

void Empty(const std::string& body, int) { EXPECT_EQ(body, ""); }

const HostileCase kCases[] = {
    {"AcceptsAndNeverAnswers",
     [](int fd, const std::atomic<bool>& stopping) {
       if (ReadHead(fd)) Pause(1 << 30, stopping);
     },
     Empty},
    {"HeadOneBytePerSecond",
     [](int fd, const std::atomic<bool>& stopping) {
       if (ReadHead(fd)) Trickle(fd, kHead + "Content-Length: 2\r\n\r\nok", 1000, stopping);
     },
     Empty},
    {"BodyOneBytePerSecond",
     [](int fd, const std::atomic<bool>& stopping) {
       if (!ReadHead(fd) || !SendAll(fd, kHead + "Content-Length: 10\r\n\r\n")) return;
       Trickle(fd, "0123456789", 1000, stopping);
     },
     [](const std::string& body, int) {
       // What arrived before the silence, and no more.
       EXPECT_LT(body.size(), 10u);
       EXPECT_EQ(body, std::string("0123456789").substr(0, body.size()));
     }},
    {"EndlessBody",
     [](int fd, const std::atomic<bool>& stopping) {
       if (!ReadHead(fd) || !SendAll(fd, kHead + "\r\n")) return;
       const std::string chunk(1 << 16, 'x');
       while (!stopping && SendAll(fd, chunk)) {
       }
     },
     [](const std::string& body, int) {
       EXPECT_EQ(body.size(), static_cast<std::size_t>(kMaxBodyBytes));
       EXPECT_EQ(body.find_first_not_of('x'), std::string::npos);
     }},
    {"MegabyteHeaderBlock",
     [](int fd, const std::atomic<bool>&) {
       if (ReadHead(fd)) SendAll(fd, kHead + HeaderBlock(1 << 20) + "Content-Length: 4\r\n\r\nbody");
     },
     [](const std::string& body, int) { EXPECT_TRUE(body.empty() || body == "body") << body.substr(0, 64); }},
    {"MegabyteHeaderLine",
     [](int fd, const std::atomic<bool>&) {
       if (ReadHead(fd)) SendAll(fd, kHead + "X-Long: " + std::string(1 << 20, 'l') + "\r\nContent-Length: 4\r\n\r\nbody");
     },
     [](const std::string& body, int) { EXPECT_TRUE(body.empty() || body == "body") << body.substr(0, 64); }},
    {"MovedPermanentlyToItself",
     [](int fd, const std::atomic<bool>&) {
       // The Location is the bare root: the fetch adds the current path,
       // which leads back here. Each answer closes its connection, so one
       // connection is one request.
       if (ReadHead(fd)) SendAll(fd, "HTTP/1.1 301 Moved\r\nLocation: /\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
     },
     [](const std::string& body, int connections) {
       // The first request and ten follow-ups, then the fetch gives up.
       EXPECT_EQ(body, "");
       EXPECT_EQ(connections, 11);
     }},
    {"FoundLoop",
     [](int fd, const std::atomic<bool>&) {
       if (ReadHead(fd)) SendAll(fd, "HTTP/1.1 302 Found\r\nLocation: /again\r\nConnection: close\r\nContent-Length: 5\r\n\r\nfound");
     },
     [](const std::string& body, int connections) {
       // Followed by the internet layer itself, as far as its own limit.
       EXPECT_EQ(body, "");
       EXPECT_EQ(connections, 11);
     }},
    {"ResetInTheMiddleOfTheBody",
     [](int fd, const std::atomic<bool>&) {
       if (!ReadHead(fd)) return;
       SendAll(fd, kHead + "Content-Length: 200000\r\n\r\n" + std::string(100000, 'x'));
       // Closing with a zero linger time sends a reset instead of a FIN.
       const linger abort{1, 0};
       setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
     },
     [](const std::string& body, int) {
       EXPECT_LE(body.size(), 100000u);
       EXPECT_EQ(body.find_first_not_of('x'), std::string::npos);
     }},
    {"NulAndInvalidUtf8InAUtf8Page",
     [](int fd, const std::atomic<bool>&) {
       static const char kBody[] = "<meta charset=utf-8>a\0b\xff\xfe\xc3(\xed\xa0\x80\xf4\x90\x80\x80\xe4\xb8z";
       const std::string body(kBody, sizeof kBody - 1);
       if (ReadHead(fd)) SendAll(fd, kHead + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
     },
     [](const std::string& body, int) { EXPECT_EQ(body.rfind("<meta charset=utf-8>a", 0), 0u) << body; }},
    {"ZeroLengthBody",
     [](int fd, const std::atomic<bool>&) {
       if (ReadHead(fd)) SendAll(fd, kHead + "Content-Length: 0\r\n\r\n");
     },
     Empty},
    {"ZeroLengthUtf8Body",
     [](int fd, const std::atomic<bool>&) {
       if (ReadHead(fd)) SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: 0\r\n\r\n");
     },
     Empty},
    {"ClosesWithoutAWord", [](int fd, const std::atomic<bool>&) { ReadHead(fd); }, Empty},
};

INSTANTIATE_TEST_SUITE_P(Scenarios, HostileServerTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

// A byte every half receive time-out never lets the silence run out; the
// whole request's own time-out ends it with what came so far.
TEST(HostileServerDeadlineTest, ByteJustInsideTheReceiveTimeOutForEverEndsAtTheWholeTimeOut) {
  constexpr long kWholeMs = 1500;
  InternetSetTimeoutsForTesting(kConnectMs, kReceiveMs, kWholeMs);
  HostileServer server([](int fd, const std::atomic<bool>& stopping) {
    if (!ReadHead(fd) || !SendAll(fd, kHead + "\r\n")) return;
    while (!stopping && SendAll(fd, "x") && Pause(kReceiveMs / 2, stopping)) {
    }
  });
  const ByteSet body = FetchPage(server.Url("/").c_str(), 0);
  InternetSetTimeoutsForTesting(60000, 30000);
  const std::string bytes(body.begin(), body.end());
  EXPECT_GT(bytes.size(), 0u);
  EXPECT_LE(bytes.size(), static_cast<std::size_t>(kWholeMs / (kReceiveMs / 2) + 1));
  EXPECT_EQ(bytes.find_first_not_of('x'), std::string::npos);
}

// An endless body costs about its own bytes while it is read and, when it
// declares UTF-8, converted: the cap's worth for the body, once more while
// it is joined into one byte set, and a constant part for the transfer.
struct EndlessCase {
  const char* name;
  const char* head;
  const char* chunk;  // sent again and again
};

TEST(HostileServerMemoryTest, EndlessBodyPeakStaysNearTheCap) {
  const EndlessCase cases[] = {
      {"plain", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", "x"},
      {"UTF-8, ASCII", "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n", "x"},
      {"UTF-8, Chinese", "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n",
       "\xE4\xB8\xAD\xE6\x96\x87<br>\r\n"},
  };
  InternetSetTimeoutsForTesting(kConnectMs, kReceiveMs);
  for (const EndlessCase& c : cases) {
    SCOPED_TRACE(c.name);
    HostileServer server([&](int fd, const std::atomic<bool>& stopping) {
      if (!ReadHead(fd) || !SendAll(fd, c.head)) return;
      std::string chunk;
      while (chunk.size() < (1u << 16)) chunk += c.chunk;
      while (!stopping && SendAll(fd, chunk)) {
      }
    });
    const long before = CurrentMemoryKiB();
    ResetPeakMemory();
    long growth = 0;
    {
      const ByteSet body = FetchPage(server.Url("/").c_str(), 0);
      EXPECT_GT(ByteSetLength(body), kMaxBodyBytes / 2);
      EXPECT_LE(ByteSetLength(body), kMaxBodyBytes);
      growth = PeakMemoryKiB() - before;
    }
    std::printf("%s: peak memory growth under the endless body: %ld KiB\n", c.name, growth);
    // The sanitizers' shadow memory multiplies every figure, so there the
    // number is only printed.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_LT(growth, 2L * kMaxBodyBytes / 1024 + 6144);
#endif
  }
  InternetSetTimeoutsForTesting(60000, 30000);
}

// Overlapping fetches of endless bodies hold no more together than the
// process allows: those that meet the bound end with what they read so far.
TEST(HostileServerMemoryTest, OverlappingEndlessBodiesShareOneBound) {
  constexpr int kFetches = 12;
  constexpr long long kBound = 16LL << 20;  // well below kFetches bodies at the cap
  InternetSetTimeoutsForTesting(kConnectMs, kReceiveMs);
  SetHeldBodyBoundForTesting(kBound);
  HostileServer server([](int fd, const std::atomic<bool>& stopping) {
    if (!ReadHead(fd) || !SendAll(fd, kHead + "\r\n")) return;
    const std::string chunk(1 << 16, 'x');
    while (!stopping && SendAll(fd, chunk)) {
    }
  });
  const long before = CurrentMemoryKiB();
  ResetPeakMemory();
  std::vector<long long> lengths(kFetches, -1);
  std::vector<std::thread> threads;
  std::atomic<int> ready{0};
  for (int i = 0; i < kFetches; ++i) {
    threads.emplace_back([&, i] {
      ++ready;
      while (ready < kFetches) std::this_thread::yield();
      const ByteSet body = FetchPage(server.Url("/" + std::to_string(i)).c_str(), 0);
      EXPECT_EQ(body.find_first_not_of('x'), ByteSet::npos);
      lengths[i] = ByteSetLength(body);
    });
  }
  for (std::thread& t : threads) t.join();
  const long growth = PeakMemoryKiB() - before;
  SetHeldBodyBoundForTesting(0);
  InternetSetTimeoutsForTesting(60000, 30000);

  long long total = 0;
  for (const long long n : lengths) {
    EXPECT_GE(n, 0);  // every fetch ended
    EXPECT_LE(n, kMaxBodyBytes);
    total += n;
  }
  // At least one fetch met the bound before the cap.
  EXPECT_LT(total, static_cast<long long>(kFetches) * kMaxBodyBytes);
  std::printf("%d overlapping endless bodies: %lld body bytes, peak memory growth %ld KiB\n", kFetches, total,
              growth);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // The bound, the joins of the bodies that ended, and the transfers' own
  // buffers; without the bound it would be kFetches bodies at the cap.
  EXPECT_LT(growth, (3 * kBound + kFetches * (2LL << 20)) / 1024);
#endif
}

}  // namespace
