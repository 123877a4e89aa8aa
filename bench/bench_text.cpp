// Throughput of the text primitives over large mixed texts, and the cost of
// growing byte sets and text arrays piece by piece.
//
//   build/bench/bench_text --benchmark_filter=FindText
//
// The texts mix two-byte characters of code page 936 with ASCII words,
// markup and line breaks, about half and half, like a result page. The
// growth benchmarks report a complexity fit: it should come out as O(N).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <string>

#include "text/byte_set.h"
#include "text/text_array.h"
#include "text/text_ops.h"

namespace {

constexpr std::int64_t kMegabyte = 1 << 20;

// A deterministic mixed text of `bytes` bytes. It never holds the letter z
// (in any case), so a search for one walks the whole text.
Text MakeMixedText(std::int64_t bytes) {
  static constexpr char kAscii[] = "abcdefghijklmnopqrstuvwxy0123456789 ,.:=/";
  Text out;
  out.reserve(static_cast<std::size_t>(bytes) + 8);
  std::uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  int sinceLineBreak = 0;
  while (static_cast<std::int64_t>(out.size()) < bytes) {
    const std::uint32_t r = next();
    if (sinceLineBreak >= 80) {
      out += "\r\n";
      sinceLineBreak = 0;
      continue;
    }
    if (r % 97 == 0) {
      out += "<em>";
      sinceLineBreak += 4;
    } else if (r % 2 == 0) {
      out += static_cast<char>(0xB0 + r / 2 % 0x48);     // lead byte B0..F7
      out += static_cast<char>(0xA1 + r / 1000 % 0x5E);  // second byte A1..FE
      sinceLineBreak += 2;
    } else {
      out += kAscii[r / 2 % (sizeof kAscii - 1)];
      sinceLineBreak += 1;
    }
  }
  // Never end in a cut-off character.
  out.resize(static_cast<std::size_t>(bytes));
  if (static_cast<unsigned char>(out.back()) >= 0x80) out.back() = 'a';
  return out;
}

const Text& MixedText(std::int64_t bytes) {
  static std::map<std::int64_t, Text> cache;
  auto it = cache.find(bytes);
  if (it == cache.end()) it = cache.emplace(bytes, MakeMixedText(bytes)).first;
  return it->second;
}

void BM_FindTextAbsent(benchmark::State& state) {
  const bool ignoreCase = state.range(0) != 0;
  const Text& text = MixedText(10 * kMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(FindText(text, "zzq", 1, ignoreCase));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_FindTextAbsent)->ArgName("ignoreCase")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The search looks for the needle's first byte first, so an absent first byte
// is the easy case. Here the first byte is common, a lead byte or the space,
// and every hit must be checked to be a character start and compared.
void BM_FindTextCommonFirstByte(benchmark::State& state) {
  const TextView needle = state.range(0) != 0 ? TextView("\xB5\xC4z") : TextView(" zq");
  const Text& text = MixedText(10 * kMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(FindText(text, needle, 1, true));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_FindTextCommonFirstByte)->ArgName("leadByte")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_FindTextGrowth(benchmark::State& state) {
  const Text& text = MixedText(state.range(0) * kMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(FindText(text, "zzq"));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
  state.SetComplexityN(static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_FindTextGrowth)->ArgName("MB")->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Complexity(
    benchmark::oN);

// Deleting markup, as the scraper does: about one match per 150 bytes.
void BM_ReplaceSubtext(benchmark::State& state) {
  const bool respectCase = state.range(0) != 0;
  const Text& text = MixedText(10 * kMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(ReplaceSubtext(text, "<em>", "", 1, -1, respectCase));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ReplaceSubtext)->ArgName("respectCase")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SplitTextLines(benchmark::State& state) {
  const Text& text = MixedText(10 * kMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(SplitText(text, "\r\n"));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_SplitTextLines)->Unit(benchmark::kMillisecond);

// A response body read 1 KiB at a time.
void BM_AppendByteSetPieces(benchmark::State& state) {
  const std::int64_t total = state.range(0) * kMegabyte;
  const ByteSet piece = ToByteSet(TextLeft(MixedText(kMegabyte), 1024));
  for (auto _ : state) {
    ByteSet body;
    for (std::int64_t n = 0; n < total; n += 1024) body = ConcatByteSets(std::move(body), piece);
    benchmark::DoNotOptimize(body.data());
  }
  state.SetBytesProcessed(state.iterations() * total);
  state.SetComplexityN(total);
}
BENCHMARK(BM_AppendByteSetPieces)
    ->ArgName("MB")
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_TextArrayAppend(benchmark::State& state) {
  const std::int64_t count = state.range(0);
  for (auto _ : state) {
    TextArray lines;
    for (std::int64_t i = 0; i < count; ++i) TextArrayAppend(lines, "Set-Cookie: id=12345; path=/");
    benchmark::DoNotOptimize(lines.data());
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.SetComplexityN(count);
}
BENCHMARK(BM_TextArrayAppend)
    ->ArgName("elements")
    ->RangeMultiplier(8)
    ->Range(1 << 12, 1 << 21)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
