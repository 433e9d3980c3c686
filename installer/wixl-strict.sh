#!/usr/bin/env bash
# Builds OUTPUT with wixl and fails on anything wixl prints on standard error: it reports
# ignored attributes and bad paths as GLib warnings and CRITICAL lines but still exits 0, and
# a package built past them is not the one authored.
#
#   wixl-strict.sh OUTPUT WIXL [ARGS...]
set -uo pipefail
output=$1 wixl=$2
shift 2
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
mkdir -p "$(dirname "$output")"
"$wixl" -o "$output" "$@" 2>"$errors"
status=$?
if [ -s "$errors" ]; then
  cat "$errors" >&2
  echo "wixl-strict: wixl printed warnings; $output is refused" >&2
  status=1
fi
[ $status -eq 0 ] || rm -f "$output"
exit $status
