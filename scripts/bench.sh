#!/usr/bin/env bash
# Builds and runs every benchmark: native ones (bench preset) and, unless --native-only is
# given, the Windows ones under Wine, once per bitness (windows-bench and windows-x86-bench),
# each benchmark's x86 figures printed beside its x64 ones. Each prints its own reference.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

build_preset() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}

run_native() {
  build_preset bench
  find build/bench/bench -type f -name '*_bench' | sort | while read -r b; do
    printf '\n=== %s ===\n' "$(basename "$b")"
    "$b"
  done
}

# Runs one Windows benchmark of one build under Wine, its lines without CR.
run_windows() {
  local dir=$1 bench=$2
  scripts/wine-run.sh "$PWD/$dir/wineprefix" "$dir/$bench" 2>&1 | tr -d '\r'
}

run_windows_both() {
  build_preset windows-bench
  build_preset windows-x86-bench
  local figures=build/windows-bench/figures
  mkdir -p "$figures"
  (cd build/windows-bench && find bench -type f -name '*_bench.exe') | sort | while read -r bench; do
    run_windows build/windows-bench "$bench" >"$figures/x64.txt"
    if [ -f "build/windows-x86-bench/$bench" ]; then
      run_windows build/windows-x86-bench "$bench" >"$figures/x86.txt"
    else
      echo "(not built for x86)" >"$figures/x86.txt"
    fi
    printf '\n=== %s: x64 | x86 ===\n' "$(basename "$bench")"
    paste -d '\t' "$figures/x64.txt" "$figures/x86.txt" | awk -F'\t' '{ printf "%-72s | %s\n", $1, $2 }'
  done
}

run_native
[ "${1:-}" = --native-only ] || run_windows_both
