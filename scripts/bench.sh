#!/usr/bin/env bash
# Builds and runs every benchmark: native ones (bench preset) and, unless --native-only is
# given, the Windows ones under Wine (windows-bench preset). Each prints its own reference.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

run_preset() {
  local preset=$1 dir=build/$1
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  find "$dir/bench" -type f \( -name '*_bench' -o -name '*_bench.exe' \) | sort | while read -r b; do
    printf '\n=== %s ===\n' "$(basename "$b")"
    case "$b" in
      *.exe) scripts/wine-run.sh "$PWD/$dir/wineprefix" "$b" ;;
      *) "$b" ;;
    esac
  done
}

run_preset bench
[ "${1:-}" = --native-only ] || run_preset windows-bench
