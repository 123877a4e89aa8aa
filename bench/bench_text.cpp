// Throughput of the text primitives over large mixed texts, and the cost of
// growing byte sets and text arrays piece by piece.
//
//   build/bench/bench_text --benchmark_filter=FindText
//   build/bench/bench_text --benchmark_filter='Scan'   # every scan, 1 to 100 MB
//
// The texts mix two-byte characters of code page 936 with ASCII words,
// markup and line breaks, about half and half, like a result page. The
// growth benchmarks report a complexity fit: it should come out as O(N).
//
// The scans run on friendly inputs and on the inputs that make a naive scan
// slow, each at 1, 10 and 100 MB. After the table the program prints how
// each one's time grows from one size to the next: about x10 is linear.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "extract/delimited.h"
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

// Scans at 1, 10 and 100 MB, named BM_Scan.../MB:n so that the growth
// table can pair them up.
void ScanSizes(benchmark::internal::Benchmark* b, std::vector<std::int64_t> modes) {
  b->ArgNames({"mode", "MB"});
  for (std::int64_t mode : modes) {
    for (std::int64_t mb : {1, 10, 100}) b->Args({mode, mb});
  }
  b->Unit(benchmark::kMillisecond)->MinTime(0.2);
}

void SetBytes(benchmark::State& state, const Text& text) {
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

// A text of one letter only.
const Text& RunOfA(std::int64_t bytes) {
  static std::map<std::int64_t, Text> cache;
  auto it = cache.find(bytes);
  if (it == cache.end()) it = cache.emplace(bytes, Text(static_cast<std::size_t>(bytes), 'a')).first;
  return it->second;
}

// "a" 999 times, then "b": it matches everywhere in a run of "a" but for
// its last byte.
const Text& NearMatch() {
  static const Text needle = ConcatTexts(Text(999, 'a'), "b");
  return needle;
}

// Friendly: a search text absent from the text (mode 0 exact, 1 folded).
void BM_ScanFindAbsent(benchmark::State& state) {
  const Text& text = MixedText(state.range(1) * kMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(FindText(text, "zzq", 1, state.range(0) != 0));
  SetBytes(state, text);
}
BENCHMARK(BM_ScanFindAbsent)->Apply([](auto* b) { ScanSizes(b, {0, 1}); });

// Friendly: markup deleted, about one match per 150 bytes (mode 0 folded, as
// the scraper calls it, 1 exact).
void BM_ScanReplaceMarkup(benchmark::State& state) {
  const Text& text = MixedText(state.range(1) * kMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(ReplaceSubtext(text, "<em>", "", 1, -1, state.range(0) != 0));
  SetBytes(state, text);
}
BENCHMARK(BM_ScanReplaceMarkup)->Apply([](auto* b) { ScanSizes(b, {0, 1}); });

// Friendly: a text cut into its lines.
void BM_ScanSplitLines(benchmark::State& state) {
  const Text& text = MixedText(state.range(1) * kMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(SplitText(text, "\r\n"));
  SetBytes(state, text);
}
BENCHMARK(BM_ScanSplitLines)->Apply([](auto* b) { ScanSizes(b, {0}); });

// Adversarial: letter case folded, the find text starts with a letter whose
// other case never occurs and that itself occurs every 80 bytes or so (mode
// 0 folded, 1 exact).
void BM_ScanReplaceRareOtherCase(benchmark::State& state) {
  const Text& text = MixedText(state.range(1) * kMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(ReplaceSubtext(text, "a", "", 1, -1, state.range(0) != 0));
  SetBytes(state, text);
}
BENCHMARK(BM_ScanReplaceRareOtherCase)->Apply([](auto* b) { ScanSizes(b, {0, 1}); });

// Adversarial: five replacements in turn over mixed text, letter case
// folded, the find texts starting with letters.
void BM_ScanReplaceFivePairs(benchmark::State& state) {
  const Text& text = MixedText(state.range(1) * kMegabyte);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        ReplaceFivePairs(text, std::nullopt, 1, false, "<em>", "", "a", "", "c", "C", "d,", "", "e", "E"));
  }
  SetBytes(state, text);
}
BENCHMARK(BM_ScanReplaceFivePairs)->Apply([](auto* b) { ScanSizes(b, {0}); });

// Adversarial: the near match over a run of "a" (mode 0 exact, 1 folded).
void BM_ScanFindNearMatch(benchmark::State& state) {
  const Text& text = RunOfA(state.range(1) * kMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(FindText(text, NearMatch(), 1, state.range(0) != 0));
  SetBytes(state, text);
}
BENCHMARK(BM_ScanFindNearMatch)->Apply([](auto* b) { ScanSizes(b, {0, 1}); });

void BM_ScanFindReverseNearMatch(benchmark::State& state) {
  const Text& text = RunOfA(state.range(1) * kMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(FindTextReverse(text, NearMatch(), state.range(0) != 0));
  SetBytes(state, text);
}
BENCHMARK(BM_ScanFindReverseNearMatch)->Apply([](auto* b) { ScanSizes(b, {0, 1}); });

void BM_ScanSplitNearMatch(benchmark::State& state) {
  const Text& text = RunOfA(state.range(1) * kMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(SplitText(text, NearMatch()));
  SetBytes(state, text);
}
BENCHMARK(BM_ScanSplitNearMatch)->Apply([](auto* b) { ScanSizes(b, {0}); });

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

// The console table, then for every benchmark with an "MB" argument its CPU time
// at each size against the size before: "x10.2" from 1 to 10 MB is linear,
// "x100" quadratic.
class GrowthReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that a saved table reads plainly.
  GrowthReporter() : ConsoleReporter(isatty(fileno(stdout)) != 0 ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      std::string name = run.benchmark_name();
      const std::size_t at = name.find("/MB:");
      if (at == std::string::npos) continue;
      const std::size_t end = name.find('/', at + 1);
      const long long mb = std::stoll(name.substr(at + 4, end - at - 4));
      name.erase(at, end == std::string::npos ? std::string::npos : end - at);
      growth_[name][mb] = run.GetAdjustedCPUTime();
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    if (growth_.empty()) return;
    std::printf("\nGrowth of the time with the size (x10 per step is linear):\n");
    for (const auto& [name, times] : growth_) {
      std::printf("  %-50s", name.c_str());
      const std::pair<const long long, double>* before = nullptr;
      for (const auto& entry : times) {
        if (before != nullptr && before->second > 0) {
          std::printf("  %lld->%lld MB x%.1f", before->first, entry.first, entry.second / before->second);
        }
        before = &entry;
      }
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, std::map<long long, double>> growth_;
};

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  GrowthReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
