#!/usr/bin/env bash
# The whole test run: setup, both builds, every test (native, then under Wine), the fuzz run.
# Runs every stage even when one fails, then exits non-zero if any did.
set -uo pipefail
cd "$(dirname "$0")/.."

failed=()
stage() {
  local name=$1; shift
  printf '\n=== %s ===\n' "$name"
  "$@" || failed+=("$name")
}

build_and_test() {
  local preset=$1
  cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" &&
    ctest --preset "$preset" -j 2
}

scripts/setup.sh || { echo "setup failed" >&2; exit 1; }
stage "native build and tests" build_and_test native
stage "windows build and tests (under Wine)" build_and_test windows
if [ -x scripts/fuzz.sh ]; then
  stage "fuzzing" scripts/fuzz.sh
fi

echo
if [ ${#failed[@]} -ne 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "All stages passed."
