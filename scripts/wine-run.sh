#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix (first argument), creating the prefix
# on first use. Headless, quiet, and never the user's own ~/.wine.
set -euo pipefail
prefix=$1; shift
export WINEPREFIX=$prefix
export WINEDEBUG=${BRIMWELL_WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY

# Several tests may start at once: only one creates the prefix.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.brimwell-ready" ]; then
  rm -rf "$prefix"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.brimwell-ready"
fi
flock -u 9
exec 9>&-

exec wine "$@"
