// The page fetch of a 64 MB body from a loopback server, beside the curl
// command-line tool fetching the same address. Each fetch runs in a child
// process so that its peak resident memory can be read from wait4.
//
//   build-http/bench/bench_fetch --benchmark_min_time=2
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "http/fetch.h"
#include "test_server.h"

namespace {

constexpr long long kBodyBytes = 64000000;

TestServer& Server() {
  static TestServer server([](const std::string&) {
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

void BM_FetchPage64MB(benchmark::State& state) {
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
BENCHMARK(BM_FetchPage64MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurlTool64MB(benchmark::State& state) {
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
BENCHMARK(BM_CurlTool64MB)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
