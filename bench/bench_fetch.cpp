// The page fetch of an 8 MB body (just under the body cap) from a loopback
// server, beside the curl command-line tool fetching the same address; and
// many overlapping fetches of endless bodies, each followed by the page's
// decode and scrape as a search run does, whose peak memory must stay far
// below a gigabyte. Each measurement runs in a child process so that its
// peak resident memory can be read from wait4.
//
//   build/bench/bench_fetch --benchmark_min_time=2
//   build/bench/bench_fetch --benchmark_filter=Overlapping
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "http/fetch.h"
#include "search/scrape.h"
#include "loopback_server.h"
#include "text/byte_set.h"
#include "text/text_array.h"

namespace {

constexpr long long kBodyBytes = 8000000;

LoopbackServer& Server() {
  static LoopbackServer server([](const std::string&) {
    return ServerReply{"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kBodyBytes) + "\r\n\r\n", kBodyBytes};
  });
  return server;
}

// Runs `work` in a child; returns its peak RSS in bytes, or -1 when it failed.
template <class Work>
long long InChild(Work work) {
  const pid_t pid = fork();
  if (pid == 0) _exit(work() ? 0 : 1);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return static_cast<long long>(usage.ru_maxrss) * 1024;
}

void BM_FetchPage8MB(benchmark::State& state) {
  const std::string url = Server().Url("/big");
  long long peak = 0;
  for (auto _ : state) {
    peak = InChild([&] { return FetchPage(url.c_str(), 0).size() == static_cast<std::size_t>(kBodyBytes); });
    if (peak < 0) state.SkipWithError("fetch failed");
  }
  state.counters["peak_rss_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["peak_per_body"] = static_cast<double>(peak) / static_cast<double>(kBodyBytes);
  state.SetBytesProcessed(state.iterations() * kBodyBytes);
}
BENCHMARK(BM_FetchPage8MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurlTool8MB(benchmark::State& state) {
  const std::string url = Server().Url("/big");
  for (auto _ : state) {
    const long long peak = InChild([&] {
      execlp("curl", "curl", "-s", "-o", "/dev/null", url.c_str(), static_cast<char*>(nullptr));
      return false;
    });
    if (peak < 0) state.SkipWithError("curl failed");
  }
  state.SetBytesProcessed(state.iterations() * kBodyBytes);
}
BENCHMARK(BM_CurlTool8MB)->Unit(benchmark::kMillisecond)->UseRealTime();

// Bodies that never end, half of them declared UTF-8 so that the
// conversion runs too.
LoopbackServer& EndlessServer() {
  static LoopbackServer server([](const std::string& request) {
    const bool utf8 = request.rfind("GET /u", 0) == 0;
    return ServerReply{std::string("HTTP/1.1 200 OK\r\nContent-Type: text/html") + (utf8 ? "; charset=utf-8" : "") +
                           "\r\n\r\n<html><body>",
                       1LL << 50};
  });
  return server;
}

// range(0) overlapping runs, each a fetch of an endless body, then the
// page text and the scrape of its entries (a search run without the window,
// whose rows or box only add small texts). Counts the runs that ended.
void BM_OverlappingEndlessRuns(benchmark::State& state) {
  const int runs = static_cast<int>(state.range(0));
  const std::string plain = EndlessServer().Url("/p");
  const std::string utf8 = EndlessServer().Url("/u");
  long long peak = 0;
  for (auto _ : state) {
    peak = InChild([&] {
      std::atomic<int> ended{0};
      std::vector<std::thread> threads;
      for (int i = 0; i < runs; ++i) {
        threads.emplace_back([&, i] {
          Text pageText;
          {
            const ByteSet body = FetchPage((i % 2 == 0 ? plain : utf8).c_str(), 0);
            pageText = ByteSetToText(body);
          }
          const TextArray entries = ExtractResultEntries(pageText);
          for (int e = 1; e <= TextArrayCount(entries); ++e) benchmark::DoNotOptimize(ParseResultEntry(TextArrayAt(entries, e)));
          ++ended;
        });
      }
      for (std::thread& t : threads) t.join();
      return ended == runs;
    });
    if (peak < 0) state.SkipWithError("a run did not end");
  }
  state.counters["peak_rss_MB"] = static_cast<double>(peak) / 1e6;
}
BENCHMARK(BM_OverlappingEndlessRuns)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
