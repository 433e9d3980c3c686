#!/usr/bin/env bash
# Runs the end-to-end demo on the built binaries and compares what every document received,
# in the browser of each bitness, with the expected listing.
#
#   demo_test.sh REPO PORT ARCH [DEMO OPTIONS]     ARCH: x86, x64 or both
set -uo pipefail
repo=$1 port=$2 arch=$3
shift 3
out=$(mktemp)
trap 'rm -f "$out" "$out.pages"' EXIT

"$repo/scripts/demo.sh" --no-build --arch "$arch" --port "$port" "$@" >"$out" 2>&1
status=$?
cat "$out"
[ $status -eq 0 ] || { echo "demo_test: the demo failed with exit code $status"; exit 1; }

arches=$arch
[ "$arch" = both ] && arches="x64 x86"
for a in $arches; do
  # The browsing section of this bitness: from its step line to the next step.
  sed -n "/^--- browsing the example pages with the $a simulated browser/,/^--- /p" "$out" |
    sed '1d;$d' >"$out.pages"
  if ! diff -u "$repo/tests/e2e/expected_pages.txt" "$out.pages"; then
    echo "demo_test: the documents of the $a browser did not receive what was expected"
    exit 1
  fi
done
grep -q 'switchhost stopped\.\.\.$' "$out" || { echo "demo_test: switchhost did not log a clean stop"; exit 1; }
echo "demo_test: every document received what was expected ($arches)"
