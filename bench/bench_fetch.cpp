// The page fetch beside the floors it is held to, all on one loopback
// server, and the peak memory of many overlapping runs against endless
// bodies.
//
//   - BM_FetchBesideEasyHandle (10 KB, 100 KB, 1 MB bodies): every iteration
//     fetches the body with FetchPage and then with a fresh libcurl easy
//     handle whose write callback appends to a string (the least a client
//     that keeps the body does), the two in turn, each timed on the
//     monotonic clock. The figures are the medians of the iterations; the
//     ratio is the median of each iteration's ratio (the two calls of an
//     iteration meet the same load on a busy machine), beside its limit of
//     1.25.
//   - BM_FetchBesideCurlTool (8 MB, the largest body a fetch keeps; the rest
//     of a longer one is never read): every iteration times FetchPage in a
//     fresh child process, where every page of the body is new memory, and
//     `curl -s -o /dev/null` on the same address from fork to reaped;
//     medians, and the median ratio beside its limit of 1.5. The child also
//     reports its peak resident memory growth during the fetch over the
//     body's size (the largest of the iterations), beside its limit of 1.2.
//   - BM_OverlappingEndlessRuns: many runs, each a fetch of a body that never
//     ends followed by the page's decode and scrape as a search run does;
//     their peak memory must stay far below a gigabyte.
//
//   build/bench/bench_fetch --benchmark_counters_tabular=true
//   build/bench/bench_fetch --benchmark_filter=Beside
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "http/fetch.h"
#include "loopback_server.h"
#include "search/scrape.h"
#include "text/byte_set.h"
#include "text/text_array.h"

namespace {

constexpr long long kKilobyte = 1000;
constexpr long long kMegabyte = 1000 * 1000;

// A body of exactly the length its path names: "/10000" is 10,000 bytes.
LoopbackServer& Server() {
  static LoopbackServer server([](const std::string& request) {
    const long long length = std::atoll(request.c_str() + 5);
    return ServerReply{
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n",
        length};
  });
  return server;
}

std::string BodyUrl(long long length) { return Server().Url("/" + std::to_string(length)); }

double NowSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The times of FetchPage and of its floor, iteration by iteration.
struct TimesBeside {
  std::vector<double> fetch, limit, ratio;

  void Add(benchmark::State& state, double fetchSeconds, double limitSeconds) {
    state.SetIterationTime(fetchSeconds);
    fetch.push_back(fetchSeconds);
    limit.push_back(limitSeconds);
    ratio.push_back(fetchSeconds / limitSeconds);
  }
  // The medians of both, and the median ratio beside its limit.
  void Report(benchmark::State& state, const char* limitName, double ratioLimit) const {
    state.counters["fetch_ms"] = Median(fetch) * 1e3;
    state.counters[limitName] = Median(limit) * 1e3;
    state.counters["ratio"] = Median(ratio);
    state.counters["ratio_limit"] = ratioLimit;
  }
};

std::size_t AppendToString(char* data, std::size_t size, std::size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

// The body through a fresh easy handle, as a minimal libcurl client gets it.
std::size_t EasyHandleFetch(const std::string& url) {
  CURL* easy = curl_easy_init();
  std::string body;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, AppendToString);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  curl_easy_perform(easy);
  curl_easy_cleanup(easy);
  return body.size();
}

void BM_FetchBesideEasyHandle(benchmark::State& state) {
  const long long length = state.range(0);
  const std::string url = BodyUrl(length);
  curl_global_init(CURL_GLOBAL_DEFAULT);
  TimesBeside times;
  bool fetchFirst = true;
  for (auto _ : state) {
    // Each goes first every other time, so that neither always meets the
    // server or the machine in the state the other left them.
    double fetch = 0, limit = 0;
    std::size_t fetched = 0, limited = 0;
    for (int turn = 0; turn < 2; ++turn) {
      const double t0 = NowSeconds();
      if ((turn == 0) == fetchFirst) {
        fetched = FetchPage(url.c_str(), 0).size();
        fetch = NowSeconds() - t0;
      } else {
        limited = EasyHandleFetch(url);
        limit = NowSeconds() - t0;
      }
    }
    fetchFirst = !fetchFirst;
    if (fetched != static_cast<std::size_t>(length) || limited != fetched) {
      state.SkipWithError("a body came back short");
      break;
    }
    times.Add(state, fetch, limit);
  }
  times.Report(state, "easy_handle_ms", 1.25);
}

long StatusKiB(const char* field) {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return -1;
  char line[256];
  long value = -1;
  const std::size_t n = std::strlen(field);
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, field, n) == 0) value = std::atol(line + n);
  }
  std::fclose(f);
  return value;
}

// What one fetch in a fresh process costs.
struct ChildFetch {
  double seconds = -1;      // the call alone
  long long peakGrowth = -1;  // growth of the peak resident memory during the call, in bytes
};

// FetchPage of `url` in a child process, as the first large body a process
// gets. A small fetch comes first, so that libcurl is set up and the code
// the fetch runs is mapped in, as in the program after its first search (a
// child faults in anew each page of code it runs). Negative figures when
// the body came back short or the child failed.
ChildFetch FetchInChild(const std::string& url, long long length) {
  ChildFetch result;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return result;
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipeFds[0]);
    FetchPage(BodyUrl(10 * kKilobyte).c_str(), 0);
    FILE* clear = std::fopen("/proc/self/clear_refs", "w");  // the peak starts again from here
    if (clear != nullptr) {
      std::fputs("5", clear);
      std::fclose(clear);
    }
    ChildFetch fetch;
    const long before = StatusKiB("VmRSS:");
    const double t0 = NowSeconds();
    const bool whole = FetchPage(url.c_str(), 0).size() == static_cast<std::size_t>(length);
    fetch.seconds = whole ? NowSeconds() - t0 : -1;
    fetch.peakGrowth = (StatusKiB("VmHWM:") - before) * 1024;
    if (write(pipeFds[1], &fetch, sizeof fetch) != sizeof fetch) _exit(1);
    _exit(0);
  }
  close(pipeFds[1]);
  if (read(pipeFds[0], &result, sizeof result) != sizeof result) result = ChildFetch();
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) result = ChildFetch();
  return result;
}

double CurlToolSeconds(const std::string& url) {
  const double t0 = NowSeconds();
  const pid_t pid = fork();
  if (pid == 0) {
    execlp("curl", "curl", "-s", "-o", "/dev/null", url.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const double t1 = NowSeconds();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t1 - t0 : -1;
}

void BM_FetchBesideCurlTool(benchmark::State& state) {
  const long long length = state.range(0);
  const std::string url = BodyUrl(length);
  TimesBeside times;
  std::vector<double> peaks;
  for (auto _ : state) {
    const ChildFetch child = FetchInChild(url, length);
    const double fetch = child.seconds;
    const double limit = CurlToolSeconds(url);
    if (fetch < 0 || child.peakGrowth < 0 || limit < 0) {
      state.SkipWithError("a fetch failed or came back short");
      break;
    }
    times.Add(state, fetch, limit);
    peaks.push_back(static_cast<double>(child.peakGrowth));
  }
  times.Report(state, "curl_tool_ms", 1.5);
  state.counters["peak_per_body"] = *std::max_element(peaks.begin(), peaks.end()) / static_cast<double>(length);
  state.counters["peak_limit"] = 1.2;
}
BENCHMARK(BM_FetchBesideCurlTool)
    ->Arg(8 * kMegabyte)
    ->Iterations(15)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
static_assert(8 * kMegabyte <= kMaxBodyBytes, "the large body is kept whole");
// After the fork-heavy benchmark: the server keeps a thread for each
// connection it served, which would make every fork dearer.
BENCHMARK(BM_FetchBesideEasyHandle)
    ->Arg(10 * kKilobyte)
    ->Arg(100 * kKilobyte)
    ->Arg(kMegabyte)
    ->Iterations(300)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

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
