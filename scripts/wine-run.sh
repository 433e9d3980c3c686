#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix (first argument), creating the prefix
# on first use. Headless, quiet, and never the user's own ~/.wine.
#
#   scripts/wine-run.sh PREFIX FILE [ARGS]             a program file, run as it was built
#   scripts/wine-run.sh PREFIX --x64 BUILTIN [ARGS]    a Windows built-in (reg, cmd, cscript,
#   scripts/wine-run.sh PREFIX --x86 BUILTIN [ARGS]    regsvr32, ...) of the named bitness
#
# A built-in must name its bitness: once the 32-bit Wine is installed, a bare `wine reg`
# starts the 32-bit one, which sees the 32-bit registry view.
#
# BRIMWELL_WINEARCH=win32 makes (and needs) a 32-bit-only prefix, like 32-bit Windows: no
# 64-bit programs, the 32-bit built-ins in system32.
set -euo pipefail
prefix=$1; shift
export WINEPREFIX=$prefix
export WINEDEBUG=${BRIMWELL_WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
arch=${BRIMWELL_WINEARCH:-win64}
case "$arch" in win64|win32) ;; *) echo "wine-run: BRIMWELL_WINEARCH is win64 or win32" >&2; exit 126 ;; esac
export WINEARCH=$arch
unset DISPLAY WAYLAND_DISPLAY

wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
fail() { echo "wine-run: $*" >&2; exit 126; }
[ -x "$wine64" ] || fail "the 64-bit Wine loader $wine64 is missing"

# The machine field of a PE file's COFF header: x64, x86, or empty for anything else.
pe_machine() {
  local offset machine
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$offset" ] || return 0
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
  case "$machine" in 8664) echo x64 ;; 014c) echo x86 ;; esac
}

# A prefix made without the 32-bit Wine has no 32-bit built-ins: remake it when that changes.
kind=win64
[ -x "$wine32" ] && kind=wow64
if [ "$arch" = win32 ]; then
  [ -x "$wine32" ] || fail "a 32-bit prefix needs the 32-bit Wine (wine32:i386)"
  kind=win32
fi
boot_loader=$wine64
[ "$kind" = win32 ] && boot_loader=$wine32

# Several tests may start at once: only one creates the prefix.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ "$(cat "$prefix/.brimwell-ready" 2>/dev/null)" != "$kind" ]; then
  rm -rf "$prefix"
  "$boot_loader" wineboot.exe -i >/dev/null 2>&1
  wineserver -w
  echo "$kind" >"$prefix/.brimwell-ready"
fi
# Keep the prefix's server alive between the programs of a test run, and let a quiet boot start
# the services a session needs. Otherwise the first program of each session starts them, they
# inherit its standard output, and a caller that reads that output waits until they exit: as
# long as any other program keeps the session going. A running server makes this return at once.
if wineserver -p"${BRIMWELL_WINESERVER_LINGER:-30}" </dev/null >/dev/null 2>&1; then
  "$boot_loader" wineboot.exe </dev/null >/dev/null 2>&1
fi
flock -u 9
exec 9>&-

case "$1" in
  --x64|--x86)
    bitness=${1#--}; name=${2:?"wine-run: $1 needs the name of a built-in"}; shift 2
    name=${name%.exe}
    if [ "$kind" = win32 ]; then
      [ "$bitness" = x86 ] || fail "a 32-bit prefix has no 64-bit built-ins"
      folder=system32 loader=$wine32
    elif [ "$bitness" = x64 ]; then
      folder=system32 loader=$wine64
    else
      [ "$kind" = wow64 ] || fail "32-bit built-ins need the 32-bit Wine (wine32:i386)"
      folder=syswow64 loader=$wine32
    fi
    file=$prefix/drive_c/windows/$folder/$name.exe
    [ -f "$file" ] || fail "no built-in $name.exe in $folder"
    [ "$(pe_machine "$file")" = "$bitness" ] || fail "$folder\\$name.exe is not an $bitness program"
    exec "$loader" "C:\\windows\\$folder\\$name.exe" "$@" ;;
esac

# A Windows exception ends a program under Wine with its exception code, never with a signal.
# A loader killed by SIGSEGV or SIGBUS therefore faulted in Wine's own code: the 32-bit loader
# has done so, rarely, while tearing down a program that had finished and passed. Such a run
# says nothing about the program, so it runs once more; a program that brings the loader down
# every time still fails.
run_program() {
  local status=0
  "$@" || status=$?
  if [ "$status" -eq 139 ] || [ "$status" -eq 135 ]; then
    echo "wine-run: the Wine loader died by signal $((status - 128)) running $2; running it once more" >&2
    status=0
    "$@" || status=$?
  fi
  exit "$status"
}

[ -f "$1" ] || fail "$1 is not a program file (a built-in needs --x64 or --x86)"
case "$(pe_machine "$1")" in
  x64) [ "$kind" != win32 ] || fail "$1 is a 64-bit program and cannot run in a 32-bit prefix"
       run_program "$wine64" "$@" ;;
  x86) [ "$kind" != win64 ] || fail "$1 is a 32-bit program and needs the 32-bit Wine (wine32:i386)"
       run_program "$wine32" "$@" ;;
  *) fail "$1 is neither an x64 nor an x86 Windows program" ;;
esac
