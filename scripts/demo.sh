#!/usr/bin/env bash
# The whole system end to end under Wine: registers the add-on, starts switchhost with the
# selector stand-in, lets a simulated browser load example pages, prints what each document
# received, stops the runner and shows the end of its log.
#
#   scripts/demo.sh [--pages FILE] [--cards FILE] [--port N] [--build-dir DIR] [--no-build]
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

pages=$repo/examples/pages.txt
cards=$repo/examples/cards.xml
port=
build=$repo/build/windows
do_build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --pages) pages=$(realpath "$2"); shift 2 ;;
    --cards) cards=$(realpath "$2"); shift 2 ;;
    --port) port=$2; shift 2 ;;
    --build-dir) build=$(realpath "$2"); shift 2 ;;
    --no-build) do_build=; shift ;;
    *) echo "usage: scripts/demo.sh [--pages FILE] [--cards FILE] [--port N] [--build-dir DIR] [--no-build]" >&2
       exit 2 ;;
  esac
done

step() { printf '\n--- %s\n' "$*"; }
fail() { echo "demo: $*" >&2; exit 1; }
[ -r "$pages" ] || fail "cannot read the page list $pages"
[ -r "$cards" ] || fail "cannot read the cards document $cards"

if [ -n "$do_build" ]; then
  step "setting up and building"
  scripts/setup.sh || fail "setup failed"
  { cmake --preset windows >/dev/null &&
    cmake --build --preset windows --target brimwell-addon switchhost krestel-ss \
      selector-standin-stop brimwell-demo >/dev/null; } || fail "the Windows build failed"
fi
binary() {
  [ -f "$build/$1" ] || fail "$1 is not in $build (build it first)"
  printf '%s\n' "$build/$1"
}
addon=$(binary addon/com/brimwell-addon.dll)
switchhost=$(binary runner/switchhost.exe)
standin=$(binary tools/selector-standin/krestel-ss.dll)
stopper=$(binary tools/selector-standin/selector-standin-stop.exe)
demo=$(binary tools/demo/brimwell-demo.exe)

prefix=$build/demo/wineprefix
run() { scripts/wine-run.sh "$prefix" "$@"; }
winpath() { run --x64 winepath -w "$1" 2>/dev/null; }

step "creating a private Wine prefix"
rm -rf "$prefix" "$prefix.lock"
run --x64 cmd /c exit 0 || fail "the Wine prefix could not be created"

step "registering the add-on"
run --x64 regsvr32 /s "$(winpath "$addon")" || fail "regsvr32 failed with exit code $?"
settings='HKLM\Software\Veltrane\Brimwell'
if [ -n "$port" ]; then
  run --x64 reg add "$settings" /v "Selector Selector Port" /t REG_DWORD /d "$port" /f >/dev/null ||
    fail "could not set the selector port"
fi
listen_port=${port:-31002}

step "installing the selector stand-in and starting switchhost"
bin=$prefix/drive_c/krestel/bin
mkdir -p "$bin"
cp "$standin" "$bin/krestel-ss.dll"
cp "$cards" "$bin/cards.xml"
run --x64 reg add 'HKLM\Software\Krestel' /v VELTRANE_BIN /t REG_SZ /d 'C:\krestel\bin' /f >/dev/null ||
  fail "could not set VELTRANE_BIN"
run "$switchhost" &
runner=$!
stop_runner() { kill "$runner" 2>/dev/null || true; }
trap stop_runner EXIT

# Listening sockets of Wine programs are the machine's own: wait for ours in /proc/net.
listening() {
  local hex
  hex=$(printf '%04X' "$listen_port")
  cat /proc/net/tcp /proc/net/tcp6 2>/dev/null | awk -v p=":$hex" '$2 ~ p"$" && $4 == "0A"' | grep -q .
}
for _ in $(seq 1 100); do listening && break; kill -0 "$runner" 2>/dev/null || break; sleep 0.2; done
listening || fail "the selector stand-in is not listening on port $listen_port"
echo "selector stand-in listening on port $listen_port"

step "browsing the example pages"
# Windows programs end their lines with CR LF; the terminal wants LF.
set +e
run "$demo" --pages "$(winpath "$pages")" | tr -d '\r'
demo_status=${PIPESTATUS[0]}
set -e

step "stopping switchhost"
run "$stopper" || fail "the stand-in did not take the stop request"
for _ in $(seq 1 75); do kill -0 "$runner" 2>/dev/null || break; sleep 0.2; done
kill -0 "$runner" 2>/dev/null && fail "switchhost did not stop"
wait "$runner" || fail "switchhost ended with exit code $?"
trap - EXIT

log=$(find "$prefix/drive_c/users" -path '*veltrane/switchhost.log' | head -n 1)
[ -n "$log" ] || fail "switchhost.log was not written"
step "end of switchhost.log"
tail -n 5 "$log" | tr -d '\r'

[ "$demo_status" -eq 0 ] || fail "browsing the pages failed with exit code $demo_status"
