#!/usr/bin/env bash
# Builds the JSON parser's fuzz target in the fuzz preset and runs it for about a minute on a
# copy of the seed corpus inside the build tree. Exits non-zero on any finding.
# Environment: BRIMWELL_FUZZ_BUILD (build folder, default build/fuzz), FUZZ_SECONDS (default 60).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${BRIMWELL_FUZZ_BUILD:-$repo/build/fuzz}
seconds=${FUZZ_SECONDS:-60}
target=json_parse_fuzzer

cd "$repo"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target "$target" -j2 >/dev/null

work=$build/fuzz-runs/json_parse
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
cp tests/fuzz/corpus/json_parse/* "$work/corpus/"
log=$work/fuzz.log

status=0
"$build/tests/fuzz/$target" "$work/corpus" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -max_len=8192 -dict=tests/fuzz/json.dict \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 >"$log" 2>&1 || status=$?

runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
coverage=$( (grep -o 'cov: [0-9]*' "$log" || true) | tail -n 1 | cut -d' ' -f2)
inputs=$(find "$work/corpus" -type f | wc -l)
findings=$(find "$work/artifacts" -type f | wc -l)

if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
  tail -n 40 "$log" >&2
  echo "fuzz: json_parse FAILED (exit $status, $findings finding(s) in $work/artifacts, log $log)"
  exit 1
fi
echo "fuzz: json_parse clean: ${runs:-?} runs in ${seconds}s, coverage ${coverage:-?}, corpus $inputs inputs"
