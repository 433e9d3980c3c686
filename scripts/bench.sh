#!/usr/bin/env bash
# Builds and runs every benchmark: native ones (bench preset) and, unless --native-only is
# given, the Windows ones under Wine, once per bitness (windows-bench and windows-x86-bench),
# each benchmark's x86 figures printed beside its x64 ones. Each prints its own reference.
# Ends with a summary of every RATIO line against its goal.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

build_preset() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}

figures=build/figures
rm -rf "$figures"
mkdir -p "$figures"

run_native() {
  build_preset bench
  find build/bench/bench -type f -name '*_bench' | sort | while read -r b; do
    printf '\n=== %s ===\n' "$(basename "$b")"
    "$b" | tee -a "$figures/native.txt"
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
  (cd build/windows-bench && find bench -type f -name '*_bench.exe') | sort | while read -r bench; do
    run_windows build/windows-bench "$bench" >"$figures/x64.txt"
    if [ -f "build/windows-x86-bench/$bench" ]; then
      run_windows build/windows-x86-bench "$bench" >"$figures/x86.txt"
    else
      echo "(not built for x86)" >"$figures/x86.txt"
    fi
    cat "$figures/x64.txt" >>"$figures/all-x64.txt"
    cat "$figures/x86.txt" >>"$figures/all-x86.txt"
    printf '\n=== %s: x64 | x86 ===\n' "$(basename "$bench")"
    paste -d '\t' "$figures/x64.txt" "$figures/x86.txt" | awk -F'\t' '{ printf "%-72s | %s\n", $1, $2 }'
  done
}

# One row per RATIO line: "RATIO <name>: <median> (spread <min>..<max>, <n> pairs) goal <op> <value>".
summarise() {
  local number='[0-9][0-9.]*'
  printf '\n=== summary: every ratio against its goal ===\n'
  printf '%-70s %7s %13s %8s  %s\n' ratio median spread goal verdict
  for source in native:native.txt x64:all-x64.txt x86:all-x86.txt; do
    local label=${source%%:*} file=$figures/${source#*:}
    [ -f "$file" ] || continue
    sed -n "s/^RATIO \(.*\): \($number\) (spread \($number\)\.\.\($number\), \([0-9]*\) pairs) goal \([<>]=\) \($number\)\$/\1\t\2\t\3\t\4\t\5\t\6\t\7/p" "$file" |
      awk -F'\t' -v label="$label" '{
        met = ($6 == ">=") ? ($2 + 0 >= $7 + 0) : ($2 + 0 <= $7 + 0)
        name = (label == "native") ? $1 : "[" label "] " $1
        printf "%-70s %7s %13s %8s  %s\n", substr(name, 1, 70), $2, $3 ".." $4, $6 " " $7, met ? "met" : "MISSED"
      }'
  done
}

run_native
[ "${1:-}" = --native-only ] || run_windows_both
summarise
