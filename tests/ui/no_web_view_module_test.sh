#!/usr/bin/env bash
# The program without its browser box's module beside it or installed: it
# shows its window, says once on standard error that it has no browser box,
# and keeps running (the box stays an empty area).
#
#   no_web_view_module_test.sh PROGRAM      (needs a display, as under xvfb-run)
set -u
program=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-nomodule.XXXXXX")
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
cp "$program" "$scratch/quorvane"
"$scratch/quorvane" 2>"$scratch/stderr" >/dev/null &
pid=$!
for _ in $(seq 600); do
  grep -q "no browser box" "$scratch/stderr" && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q "no browser box" "$scratch/stderr"; then
  echo "FAILED: the program did not report the missing module" >&2
  cat "$scratch/stderr" >&2
  exit 1
fi
sleep 1
if ! kill -0 "$pid" 2>/dev/null; then
  wait "$pid"
  echo "FAILED: the program ended (status $?) without its module" >&2
  cat "$scratch/stderr" >&2
  exit 1
fi
echo "the program runs without its browser box"
