#!/usr/bin/env bash
# Runs the end-to-end demo on the built binaries and compares what every document received
# with the expected listing.
set -uo pipefail
repo=$1 build=$2 port=$3
out=$(mktemp)
trap 'rm -f "$out"' EXIT

"$repo/scripts/demo.sh" --no-build --build-dir "$build" --port "$port" >"$out" 2>&1
status=$?
cat "$out"
[ $status -eq 0 ] || { echo "demo_test: the demo failed with exit code $status"; exit 1; }

# The browsing section: from the first page line to the stop step.
sed -n '/^page 1:/,/^--- stopping switchhost/p' "$out" | sed '$d' >"$out.pages"
if ! diff -u "$repo/tests/e2e/expected_pages.txt" "$out.pages"; then
  echo "demo_test: the documents did not receive what was expected"
  rm -f "$out.pages"; exit 1
fi
rm -f "$out.pages"
grep -q 'switchhost stopped\.\.\.$' "$out" || { echo "demo_test: switchhost did not log a clean stop"; exit 1; }
echo "demo_test: every document received what was expected"
