#!/bin/sh
# Starts the program against the local demo site: `make run` calls it after
# building everything.
#
#   tools/run-demo.sh build
#
# The demo site binds a free port on 127.0.0.1; QUORVANE_CONNECT_TO sends the
# program's requests for the share-search host there, like a hosts-file entry.
# The site is stopped when the program ends, however it ends.
set -eu

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIRECTORY" >&2
  exit 2
fi
build=$1
here=$(cd "$(dirname "$0")" && pwd)
program=$build/quorvane
python=/usr/bin/python3

if [ ! -x "$program" ]; then
  echo "run-demo: $program is missing: build it first (make build)" >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run-demo: no display: run it from a desktop session, or under xvfb-run for a headless check" >&2
  exit 1
fi
if [ ! -x "$python" ]; then
  echo "run-demo: the demo site needs $python" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-demo.XXXXXX")
site_pid=
cleanup() {
  if [ -n "$site_pid" ]; then
    kill "$site_pid" 2>/dev/null || true
    wait "$site_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

"$python" "$here/demo-site/demo_site.py" --port-file "$work/port" >/dev/null &
site_pid=$!

# The site writes its port once it listens; give it a few seconds.
tries=0
while [ ! -s "$work/port" ]; do
  if ! kill -0 "$site_pid" 2>/dev/null; then
    echo "run-demo: the demo site did not start" >&2
    exit 1
  fi
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ]; then
    echo "run-demo: the demo site did not report its port" >&2
    exit 1
  fi
  sleep 0.05
done
port=$(cat "$work/port")

echo "run-demo: demo site on 127.0.0.1:$port; click 支持作者, then a link in the page on the right, to enable 搜搜搜"
status=0
QUORVANE_CONNECT_TO="so.quorvane.example:80:127.0.0.1:$port" "$program" || status=$?
exit "$status"
