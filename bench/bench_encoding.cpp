// Throughput of the response decoding on a 10 MB UTF-8 page.
#include <benchmark/benchmark.h>

#include <string>

#include "encoding/response_decode.h"
#include "encoding/url_encode.h"

namespace {

ByteSet Page(std::string_view row, std::size_t size) {
  std::string page;
  while (page.size() < size) page += row;
  return ByteSet(page.begin(), page.end());
}

// Mostly markup with some Chinese, like a result page.
const char kRow[] =
    "<div class=\"item\"><a href=\"http://pan.quorvane.example/s/1AbCdEf\">\xE4\xB8\xAD\xE6\x96\x87"
    "\xE8\xB5\x84\xE6\x96\x99 2024</a><span>12.5 MB</span></div>\n";
// Chinese only.
const char kChinese[] = "\xE4\xB8\xAD\xE6\x96\x87\xE8\xB5\x84\xE6\x96\x99\xE5\x88\x86\xE4\xBA\xAB";

void BM_Utf8ToGbkBytes(benchmark::State& state, const char* row) {
  const ByteSet page = Page(row, 10 << 20);
  for (auto _ : state) {
    ByteSet gbk = Utf8ToGbkBytes(page);
    benchmark::DoNotOptimize(gbk.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK_CAPTURE(BM_Utf8ToGbkBytes, markup_10MB, kRow)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Utf8ToGbkBytes, chinese_10MB, kChinese)->Unit(benchmark::kMillisecond);

void BM_UrlEncodeKeyword(benchmark::State& state) {
  const Text keyword = "\xD6\xD0\xCE\xC4 movie 2024";
  for (auto _ : state) benchmark::DoNotOptimize(UrlEncode(keyword, false, true));
}
BENCHMARK(BM_UrlEncodeKeyword);

}  // namespace

