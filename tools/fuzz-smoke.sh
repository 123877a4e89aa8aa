#!/usr/bin/env bash
# Runs every fuzz target for a short while over its seed corpus.
#
#   tools/fuzz-smoke.sh [BUILD_DIR] [SECONDS]     defaults: build-fuzz, 20
#
# Configures the fuzz project with clang when the build dir is new, and
# brings its targets up to date. New corpus units and crash artifacts go to
# a temporary folder, so the seed corpora in tests/fuzz_corpus stay as
# committed. Exits non-zero when any target crashes, hangs or leaks.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-fuzz}
seconds=${2:-20}
targets="fuzz_text fuzz_url_parts fuzz_cookies fuzz_encoding fuzz_scrape fuzz_regex fuzz_response"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root/fuzz" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 1
fi
cmake --build "$build" -j "$(nproc)" >/dev/null || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=""
for t in $targets; do
  mkdir -p "$work/$t"
  echo "== $t (${seconds}s)"
  if ! nice "$build/$t" "$work/$t" "$root/tests/fuzz_corpus/$t" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -artifact_prefix="$work/$t-" -print_final_stats=1 >"$work/$t.log" 2>&1; then
    failed="$failed $t"
    tail -n 60 "$work/$t.log"
    mkdir -p "$root/fuzz-artifacts"
    cp "$work/$t"-* "$root/fuzz-artifacts/" 2>/dev/null
  fi
  grep -E '^stat::number_of_executed_units' "$work/$t.log" | sed "s/^/  /"
done
if [ -n "$failed" ]; then
  echo "fuzz smoke failed:$failed (artifacts in fuzz-artifacts/)"
  exit 1
fi
echo "fuzz smoke: every target ran clean"
