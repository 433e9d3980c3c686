#!/usr/bin/env bash
# Builds the fuzz targets in the fuzz preset, then for each: replays its seed corpus and fuzzes
# it for a fixed time on a copy of that corpus inside the build tree. Exits non-zero on any
# finding, naming the target and where its crashing input was saved.
#
#   scripts/fuzz.sh                     every target for FUZZ_SECONDS (default 20) each
#   scripts/fuzz.sh --long [SECONDS]    every target for SECONDS (default 600) each
#   scripts/fuzz.sh [...] TARGET...     only these targets (names as in tests/fuzz/corpus)
#
# Environment: BRIMWELL_FUZZ_BUILD (build folder, default build/fuzz), FUZZ_SECONDS, FUZZ_JOBS
# (targets fuzzed at once, default one per core).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${BRIMWELL_FUZZ_BUILD:-$repo/build/fuzz}
seconds=${FUZZ_SECONDS:-20}
all_targets=(json_parse cache_text xml_reply url_host configuration_text site_matching registrar_script
             request_reader page_list)

targets=()
while [ $# -gt 0 ]; do
  case $1 in
    --long)
      seconds=600
      if [ $# -gt 1 ] && [[ $2 =~ ^[0-9]+$ ]]; then seconds=$2; shift; fi ;;
    -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
    -*) echo "fuzz: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")

# Longest input and dictionary of each target; the rest share the defaults.
max_len() {
  case $1 in
    xml_reply) echo 16384 ;;
    json_parse|cache_text|registrar_script|page_list) echo 8192 ;;
    *) echo 4096 ;;
  esac
}
dictionary() {
  case $1 in
    json_parse|cache_text) echo tests/fuzz/json.dict ;;
    xml_reply) echo tests/fuzz/xml.dict ;;
    registrar_script) echo tests/fuzz/registrar.dict ;;
  esac
}

cd "$repo"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/%/_fuzzer}" >/dev/null

# Fuzzes one target; prints its one-line verdict and fails on any finding.
fuzz_one() {
  local name=$1 work=$build/fuzz-runs/$1
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  cp "tests/fuzz/corpus/$name/"* "$work/corpus/"
  local log=$work/fuzz.log dict status=0
  dict=$(dictionary "$name")
  "$build/tests/fuzz/${name}_fuzzer" "$work/corpus" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -malloc_limit_mb=1024 -max_len="$(max_len "$name")" \
    ${dict:+-dict=$dict} -artifact_prefix="$work/artifacts/" -print_final_stats=1 \
    >"$log" 2>&1 || status=$?

  local runs coverage features inputs findings
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  coverage=$( (grep -o 'cov: [0-9]*' "$log" || true) | tail -n 1 | cut -d' ' -f2)
  features=$( (grep -o 'ft: [0-9]*' "$log" || true) | tail -n 1 | cut -d' ' -f2)
  inputs=$(find "$work/corpus" -type f | wc -l)
  findings=$(find "$work/artifacts" -type f | wc -l)
  if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
    tail -n 40 "$log"
    echo "fuzz: $name FAILED (exit $status, $findings finding(s) in $work/artifacts, log $log)"
    return 1
  fi
  echo "fuzz: $name clean: ${runs:-?} runs in ${seconds}s, coverage ${coverage:-?} edges," \
       "${features:-?} features, corpus $inputs inputs"
}

# FUZZ_JOBS targets at a time (one per core by default); verdicts are printed in target order.
jobs=${FUZZ_JOBS:-$(nproc)}
verdicts=$build/fuzz-runs/verdicts
mkdir -p "$verdicts"
failed=()
for ((i = 0; i < ${#targets[@]}; i += jobs)); do
  batch=("${targets[@]:i:jobs}")
  pids=()
  for name in "${batch[@]}"; do
    fuzz_one "$name" >"$verdicts/$name" 2>&1 &
    pids+=($!)
  done
  for j in "${!batch[@]}"; do
    wait "${pids[$j]}" || failed+=("${batch[$j]}")
    cat "$verdicts/${batch[$j]}"
  done
done

[ ${#failed[@]} -eq 0 ] || { echo "fuzz: findings in ${failed[*]}"; exit 1; }
