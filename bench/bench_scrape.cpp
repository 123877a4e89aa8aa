// The whole scrape of a result page (ExtractResultEntries, then
// ParseResultEntry of every entry) on generated pages of 100 KB, 1 MB and
// 10 MB, beside two baselines:
//
//   - a bare PCRE2 JIT match loop with the same pattern over the page
//     already in UTF-16 (the floor: no code-page conversion, no automation
//     calls, no field parsing). BM_ScrapeBesideBare times the scrape and
//     this loop alternately in every iteration, on the thread's CPU clock so
//     that other processes on the machine weigh on neither, and prints both
//     with their ratio;
//   - std::wregex, only where it survives: its matcher recurses once per
//     character, so a long capture overflows the stack. It is first tried in
//     a child process and skipped when the child dies.
//
//   build-rx/bench/bench_scrape --benchmark_counters_tabular=true
//
// "Crlf" pages are full of entries with CRLF line ends; "Lf" pages have the
// same markup with bare line feeds, which no entry end matches.
#include <benchmark/benchmark.h>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>
#include <sys/wait.h>
#include <unistd.h>

#include <time.h>

#include <cstdint>
#include <map>
#include <regex>
#include <string>

#include "extract/delimited.h"
#include "extract/extract_all.h"
#include "platform/codepage.h"
#include "search/scrape.h"
#include "search/sites.h"
#include "text/number.h"
#include "text/text_ops.h"

namespace {

constexpr std::int64_t kKilobyte = 1 << 10;
constexpr std::int64_t kMegabyte = 1 << 20;

Text Share(int i, TextView eol) {
  const Text n = NumberToText(i);
  return ConcatTexts(Text("<div class=\"article ali_row\"><h2><a target='_blank' href=\"http://"), kCloudDriveHost,
                     "/s/", n, "\"><em>电影</em>合集第", n, "部.rar</a></h2><p>文件名:电影合集第", n,
                     "部.rar 文件大小:1.", n, " GB 分享者:用户", n, " 分享时间:2026-01-02 12:00</p>",
                     "<div class=\"other\">", kCloudDriveHost, "</div></div>", eol, "<hr>", eol);
}

Text MakePage(std::int64_t bytes, bool crlf) {
  const TextView eol = crlf ? TextView("\r\n") : TextView("\n");
  Text page = ConcatTexts(Text("<html><head><title>搜索结果</title>"), eol,
                          "<script>var q = 1;</script></head><body>", eol);
  const Text tail = ConcatTexts(Text("<script>show();</script><br><br>"), eol, "</body></html>", eol);
  for (int i = 1; static_cast<std::int64_t>(page.size() + tail.size()) < bytes; ++i) {
    page = ConcatTexts(std::move(page), Share(i, eol));
  }
  return ConcatTexts(std::move(page), tail);
}

const Text& Page(std::int64_t bytes, bool crlf) {
  static std::map<std::pair<std::int64_t, bool>, Text> pages;
  auto [it, added] = pages.try_emplace({bytes, crlf});
  if (added) it->second = MakePage(bytes, crlf);
  return it->second;
}

// The listing and the entry pattern, as the scrape builds them.
Text Listing(const Text& page) { return TextBetween(page, "</script>", "</script><br><br>"); }

Text EntryPattern() {
  const Text right = ConcatTexts(Text("</p><div class=\"other\">"), kCloudDriveHost, "</div></div>\r");
  return ConcatTexts(EscapePattern("<div class=\"article ali_row\"><h2><a target='_blank' href=\""), "([\\s|\\S]*?)",
                     EscapePattern(right));
}

std::u16string Wide(const Text& text) {
  std::u16string out(text.size(), u'\0');
  const int n = MultiByteToWideChar(CP_GBK, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                    static_cast<int>(out.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

void Report(benchmark::State& state, std::int64_t bytes, std::int64_t entries) {
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["entries"] = static_cast<double>(entries);
  state.counters["s_per_MB"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(bytes) / kMegabyte,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Scrape(benchmark::State& state, bool crlf) {
  const Text& page = Page(state.range(0), crlf);
  std::int64_t entries = 0;
  for (auto _ : state) {
    TextArray found = ExtractResultEntries(page);
    for (const Text& e : found) benchmark::DoNotOptimize(ParseResultEntry(e));
    entries = static_cast<std::int64_t>(found.size());
  }
  Report(state, static_cast<std::int64_t>(page.size()), entries);
}

// The entries only, to tell the extraction from the field parsing.
void BM_EntriesOnly(benchmark::State& state, bool crlf) {
  const Text& page = Page(state.range(0), crlf);
  std::int64_t entries = 0;
  for (auto _ : state) entries = static_cast<std::int64_t>(ExtractResultEntries(page).size());
  Report(state, static_cast<std::int64_t>(page.size()), entries);
}

// The entry pattern compiled and JIT-compiled as the component does, run
// over a subject in UTF-16 with nothing around the match loop.
class BareLoop {
 public:
  BareLoop() {
    const std::u16string pattern = Wide(EntryPattern());
    int error = 0;
    PCRE2_SIZE offset = 0;
    code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                          PCRE2_UTF | PCRE2_CASELESS | PCRE2_MULTILINE, &error, &offset, nullptr);
    pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE);
    data_ = pcre2_match_data_create_from_pattern(code_, nullptr);
  }
  BareLoop(const BareLoop&) = delete;
  BareLoop& operator=(const BareLoop&) = delete;
  ~BareLoop() {
    pcre2_match_data_free(data_);
    pcre2_code_free(code_);
  }

  // The number of matches.
  std::int64_t Run(const std::u16string& subject) {
    std::int64_t matches = 0;
    PCRE2_SIZE start = 0;
    while (pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), start,
                       PCRE2_NO_UTF_CHECK, data_, nullptr) > 0) {
      const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data_);
      benchmark::DoNotOptimize(ov[3] - ov[2]);
      start = ov[1] > ov[0] ? ov[1] : ov[0] + 1;
      ++matches;
    }
    return matches;
  }

 private:
  pcre2_code* code_ = nullptr;
  pcre2_match_data* data_ = nullptr;
};

void BM_BarePcre2(benchmark::State& state, bool crlf) {
  const Text& page = Page(state.range(0), crlf);
  const std::u16string subject = Wide(page);
  BareLoop loop;
  std::int64_t entries = 0;
  for (auto _ : state) entries = loop.Run(subject);
  Report(state, static_cast<std::int64_t>(page.size()), entries);
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The scrape and the bare loop in turn, each iteration timing both; the
// reported time is the scrape's.
void BM_ScrapeBesideBare(benchmark::State& state) {
  const Text& page = Page(state.range(0), true);
  const std::u16string subject = Wide(page);
  BareLoop loop;
  double scrapeSeconds = 0;
  double bareSeconds = 0;
  std::int64_t entries = 0;
  for (auto _ : state) {
    const double t0 = ThreadCpuSeconds();
    TextArray found = ExtractResultEntries(page);
    for (const Text& e : found) benchmark::DoNotOptimize(ParseResultEntry(e));
    entries = static_cast<std::int64_t>(found.size());
    found = TextArray();
    const double t1 = ThreadCpuSeconds();
    const std::int64_t matches = loop.Run(subject);
    const double t2 = ThreadCpuSeconds();
    state.SetIterationTime(t1 - t0);
    scrapeSeconds += t1 - t0;
    bareSeconds += t2 - t1;
    if (matches != entries) state.SkipWithError("the scrape and the bare loop found different entries");
  }
  const double n = static_cast<double>(state.iterations());
  const double megabytes = static_cast<double>(page.size()) / kMegabyte;
  state.counters["entries"] = static_cast<double>(entries);
  state.counters["scrape_ms"] = scrapeSeconds / n * 1e3;
  state.counters["bare_ms"] = bareSeconds / n * 1e3;
  state.counters["ratio"] = scrapeSeconds / bareSeconds;
  state.counters["scrape_ms_per_MB"] = scrapeSeconds / n * 1e3 / megabytes;
  state.counters["bare_ms_per_MB"] = bareSeconds / n * 1e3 / megabytes;
}

std::int64_t WregexCount(const std::wstring& subject, const std::wregex& re) {
  std::int64_t n = 0;
  for (std::wsregex_iterator it(subject.begin(), subject.end(), re), end; it != end; ++it) ++n;
  return n;
}

void BM_StdWregex(benchmark::State& state, bool crlf) {
  const Text& page = Page(state.range(0), crlf);
  const std::u16string wide = Wide(Listing(page));
  const std::wstring subject(wide.begin(), wide.end());
  const std::u16string p = Wide(EntryPattern());
  const std::wregex re(std::wstring(p.begin(), p.end()), std::regex::ECMAScript | std::regex::icase);
  // Try once where a crash costs nothing.
  const pid_t child = fork();
  if (child == 0) _exit(WregexCount(subject, re) >= 0 ? 0 : 1);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    state.SkipWithError("std::wregex overflowed the stack on this page");
    for (auto _ : state) {
    }
    return;
  }
  std::int64_t entries = 0;
  for (auto _ : state) entries = WregexCount(subject, re);
  Report(state, static_cast<std::int64_t>(page.size()), entries);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(100 * kKilobyte)->Arg(kMegabyte)->Arg(10 * kMegabyte)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ScrapeBesideBare)->Apply(Sizes)->UseManualTime();
BENCHMARK_CAPTURE(BM_Scrape, Crlf, true)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_EntriesOnly, Crlf, true)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_BarePcre2, Crlf, true)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Scrape, Lf, false)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_BarePcre2, Lf, false)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_StdWregex, Crlf, true)->Arg(100 * kKilobyte)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StdWregex, Lf, false)->Arg(100 * kKilobyte)->Unit(benchmark::kMillisecond);

}  // namespace
