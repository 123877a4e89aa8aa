// FetchPage against servers that misbehave on purpose: each must end the
// request by the time-outs or the body cap, with bounded memory and no
// crash. The time-outs are shortened for the whole program so the suite
// stays quick.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "http/fetch.h"
#include "http/fetch_testing.h"
#include "loopback_server.h"
#include "platform/wininet.h"
#include "platform/wininet_testing.h"
#include "text/byte_set.h"

namespace {

constexpr long kConnectMs = 500;
constexpr long kReceiveMs = 400;

using Behaviour = LoopbackServer::Behaviour;

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
  LoopbackServer server(GetParam().behave);
  const ByteSet body = FetchPage(server.Url("/page").c_str(), 0);
  const std::string bytes(body.begin(), body.end());
  std::printf("%s: %zu body bytes over %d connections\n", GetParam().name, bytes.size(), server.Connections());
  GetParam().check(bytes, server.Connections());
}

void Empty(const std::string& body, int) { EXPECT_EQ(body, ""); }

const HostileCase kCases[] = {
    {"AcceptsAndNeverAnswers",
     [](Connection& c) {
       if (c.ReadRequest()) c.Pause(1 << 30);
     },
     Empty},
    {"HeadOneBytePerSecond",
     [](Connection& c) {
       if (c.ReadRequest()) c.Drip(kHead + "Content-Length: 2\r\n\r\nok", 1000);
     },
     Empty},
    {"BodyOneBytePerSecond",
     [](Connection& c) {
       if (c.ReadRequest() && c.Send(kHead + "Content-Length: 10\r\n\r\n")) c.Drip("0123456789", 1000);
     },
     [](const std::string& body, int) {
       // What arrived before the silence, and no more.
       EXPECT_LT(body.size(), 10u);
       EXPECT_EQ(body, std::string("0123456789").substr(0, body.size()));
     }},
    {"EndlessBody",
     [](Connection& c) {
       if (c.ReadRequest() && c.Send(kHead + "\r\n")) c.SendForever(std::string(1 << 16, 'x'));
     },
     [](const std::string& body, int) {
       EXPECT_EQ(body.size(), static_cast<std::size_t>(kMaxBodyBytes));
       EXPECT_EQ(body.find_first_not_of('x'), std::string::npos);
     }},
    {"MegabyteHeaderBlock",
     [](Connection& c) {
       if (c.ReadRequest()) c.Send(kHead + HeaderBlock(1 << 20) + "Content-Length: 4\r\n\r\nbody");
     },
     [](const std::string& body, int) { EXPECT_TRUE(body.empty() || body == "body") << body.substr(0, 64); }},
    {"MegabyteHeaderLine",
     [](Connection& c) {
       if (c.ReadRequest()) c.Send(kHead + "X-Long: " + std::string(1 << 20, 'l') + "\r\nContent-Length: 4\r\n\r\nbody");
     },
     [](const std::string& body, int) { EXPECT_TRUE(body.empty() || body == "body") << body.substr(0, 64); }},
    {"MovedPermanentlyToItself",
     [](Connection& c) {
       // The Location is the bare root: the fetch adds the current path,
       // which leads back here. Each answer closes its connection, so one
       // connection is one request.
       if (c.ReadRequest()) c.Send("HTTP/1.1 301 Moved\r\nLocation: /\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
     },
     [](const std::string& body, int connections) {
       // The first request and ten follow-ups, then the fetch gives up.
       EXPECT_EQ(body, "");
       EXPECT_EQ(connections, 11);
     }},
    {"FoundLoop",
     [](Connection& c) {
       if (c.ReadRequest()) c.Send("HTTP/1.1 302 Found\r\nLocation: /again\r\nConnection: close\r\nContent-Length: 5\r\n\r\nfound");
     },
     [](const std::string& body, int connections) {
       // Followed by the internet layer itself, as far as its own limit.
       EXPECT_EQ(body, "");
       EXPECT_EQ(connections, 11);
     }},
    {"ResetInTheMiddleOfTheBody",
     [](Connection& c) {
       if (!c.ReadRequest()) return;
       c.Send(kHead + "Content-Length: 200000\r\n\r\n" + std::string(100000, 'x'));
       c.Reset();
     },
     [](const std::string& body, int) {
       EXPECT_LE(body.size(), 100000u);
       EXPECT_EQ(body.find_first_not_of('x'), std::string::npos);
     }},
    {"NulAndInvalidUtf8InAUtf8Page",
     [](Connection& c) {
       static const char kBody[] = "<meta charset=utf-8>a\0b\xff\xfe\xc3(\xed\xa0\x80\xf4\x90\x80\x80\xe4\xb8z";
       const std::string body(kBody, sizeof kBody - 1);
       if (c.ReadRequest()) c.Send(kHead + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
     },
     [](const std::string& body, int) { EXPECT_EQ(body.rfind("<meta charset=utf-8>a", 0), 0u) << body; }},
    {"ZeroLengthBody",
     [](Connection& c) {
       if (c.ReadRequest()) c.Send(kHead + "Content-Length: 0\r\n\r\n");
     },
     Empty},
    {"ZeroLengthUtf8Body",
     [](Connection& c) {
       if (c.ReadRequest()) c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: 0\r\n\r\n");
     },
     Empty},
    {"ClosesWithoutAWord", [](Connection& c) { c.ReadRequest(); }, Empty},
};

INSTANTIATE_TEST_SUITE_P(Scenarios, HostileServerTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

// A byte every half receive time-out never lets the silence run out; the
// whole request's own time-out ends it with what came so far.
TEST(HostileServerDeadlineTest, ByteJustInsideTheReceiveTimeOutForEverEndsAtTheWholeTimeOut) {
  constexpr long kWholeMs = 1500;
  InternetSetTimeoutsForTesting(kConnectMs, kReceiveMs, kWholeMs);
  LoopbackServer server([](Connection& c) {
    if (!c.ReadRequest() || !c.Send(kHead + "\r\n")) return;
    while (c.Send("x") && c.Pause(kReceiveMs / 2)) {
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
// declares UTF-8, converted in place: the cap's worth for the body, and a
// constant part for the transfer and the code the first fetch maps in.
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
    LoopbackServer server([&](Connection& connection) {
      if (!connection.ReadRequest() || !connection.Send(c.head)) return;
      std::string chunk;
      while (chunk.size() < (1u << 16)) chunk += c.chunk;
      connection.SendForever(chunk);
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
    EXPECT_LT(growth, kMaxBodyBytes / 1024 + 7168);
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
  LoopbackServer server([](Connection& c) {
    if (c.ReadRequest() && c.Send(kHead + "\r\n")) c.SendForever(std::string(1 << 16, 'x'));
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
  // The bound, the bodies that ended while their threads still hold them,
  // and the transfers' own buffers; without the bound it would be kFetches
  // bodies at the cap.
  EXPECT_LT(growth, (3 * kBound + kFetches * (2LL << 20)) / 1024);
#endif
}

}  // namespace
