#!/usr/bin/env bash
# The whole system end to end under Wine: registers the add-on of each bitness, sets the
# settings once, starts switchhost with the selector stand-in, lets a simulated browser of each
# bitness load example pages through its own helper-object key, prints what each document
# received, stops the runner and shows the end of its log.
#
#   scripts/demo.sh [--arch x86|x64|both] [--pages FILE] [--cards FILE] [--port N]
#                   [--build-dir DIR] [--x86-build-dir DIR] [--no-build]
#
# --build-dir is the x64 build (default build/windows), --x86-build-dir the x86 one (default
# build/windows-x86). With both bitnesses the x64 runner serves both browsers.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

usage="usage: scripts/demo.sh [--arch x86|x64|both] [--pages FILE] [--cards FILE] [--port N]"
usage+=" [--build-dir DIR] [--x86-build-dir DIR] [--no-build]"
arch=both
pages=$repo/examples/pages.txt
cards=$repo/examples/cards.xml
port=
build_x64=$repo/build/windows
build_x86=$repo/build/windows-x86
do_build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --arch) arch=$2; shift 2 ;;
    --pages) pages=$(realpath "$2"); shift 2 ;;
    --cards) cards=$(realpath "$2"); shift 2 ;;
    --port) port=$2; shift 2 ;;
    --build-dir) build_x64=$(realpath -m "$2"); shift 2 ;;
    --x86-build-dir) build_x86=$(realpath -m "$2"); shift 2 ;;
    --no-build) do_build=; shift ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done
case "$arch" in
  both) arches=(x64 x86) ;;
  x64|x86) arches=("$arch") ;;
  *) echo "$usage" >&2; exit 2 ;;
esac

step() { printf '\n--- %s\n' "$*"; }
fail() { echo "demo: $*" >&2; exit 1; }
[ -r "$pages" ] || fail "cannot read the page list $pages"
[ -r "$cards" ] || fail "cannot read the cards document $cards"

build_of() { if [ "$1" = x64 ]; then echo "$build_x64"; else echo "$build_x86"; fi; }
preset_of() { if [ "$1" = x64 ]; then echo windows; else echo windows-x86; fi; }

if [ -n "$do_build" ]; then
  step "setting up and building"
  scripts/setup.sh || fail "setup failed"
  for a in "${arches[@]}"; do
    { cmake --preset "$(preset_of "$a")" >/dev/null &&
      cmake --build --preset "$(preset_of "$a")" --target brimwell-addon switchhost krestel-ss \
        selector-standin-stop brimwell-demo >/dev/null; } || fail "the $a Windows build failed"
  done
fi
binary() {
  local file
  file=$(build_of "$1")/$2
  [ -f "$file" ] || fail "$2 is not in $(build_of "$1") (build it first)"
  printf '%s\n' "$file"
}
# The runner, the stand-in and the stop program of the first bitness serve every browser.
serving=${arches[0]}
switchhost=$(binary "$serving" runner/switchhost.exe)
standin=$(binary "$serving" tools/selector-standin/krestel-ss.dll)
stopper=$(binary "$serving" tools/selector-standin/selector-standin-stop.exe)
for a in "${arches[@]}"; do
  binary "$a" addon/com/brimwell-addon.dll >/dev/null
  binary "$a" tools/demo/brimwell-demo.exe >/dev/null
done

prefix=$(build_of "$serving")/demo/wineprefix
run() { scripts/wine-run.sh "$prefix" "$@"; }
winpath() { run --x64 winepath -w "$1" 2>/dev/null; }

step "creating a private Wine prefix"
rm -rf "$prefix" "$prefix.lock"
run --x64 cmd /c exit 0 || fail "the Wine prefix could not be created"

for a in "${arches[@]}"; do
  step "registering the $a add-on with the $a regsvr32"
  run --"$a" regsvr32 /s "$(winpath "$(binary "$a" addon/com/brimwell-addon.dll)")" ||
    fail "regsvr32 ($a) failed with exit code $?"
done
# Machine-wide settings exist once, in the 64-bit view, for both bitnesses.
settings='HKLM\Software\Veltrane\Brimwell'
if [ -n "$port" ]; then
  run --x64 reg add "$settings" /v "Selector Selector Port" /t REG_DWORD /d "$port" /f >/dev/null ||
    fail "could not set the selector port"
fi
listen_port=${port:-31002}

step "installing the selector stand-in and starting the $serving switchhost"
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

# Windows programs end their lines with CR LF; the terminal wants LF.
demo_status=0
for a in "${arches[@]}"; do
  step "browsing the example pages with the $a simulated browser"
  set +e
  run "$(binary "$a" tools/demo/brimwell-demo.exe)" --pages "$(winpath "$pages")" | tr -d '\r'
  status=${PIPESTATUS[0]}
  set -e
  [ "$status" -eq 0 ] || { echo "demo: the $a browser failed with exit code $status" >&2; demo_status=$status; }
done

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
