#!/usr/bin/env bash
# Fails unless every binary is a Windows program of the given bitness (x86: PE32, x64: PE32+)
# and every name a DLL exports is undecorated (a 32-bit stdcall name such as
# "DllGetClassObject@12" is not what the loader and regsvr32 look for).
#
#   scripts/check-pe.sh x86|x64 BINARY...
set -euo pipefail
bitness=$1; shift
case "$bitness" in
  x86) expected='PE32 executable' ;;
  x64) expected='PE32+ executable' ;;
  *) echo "usage: scripts/check-pe.sh x86|x64 BINARY..." >&2; exit 2 ;;
esac
status=0
for binary in "$@"; do
  kind=$(file -b "$binary")
  case "$kind" in
    "$expected"*) ;;
    *) echo "$(basename "$binary") is not an $bitness program: $kind"; status=1 ;;
  esac
  exports=$(x86_64-w64-mingw32-objdump -p "$binary" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p')
  decorated=$(printf '%s\n' "$exports" | grep '@' || true)
  if [ -n "$decorated" ]; then
    echo "$(basename "$binary") exports decorated names: $(echo $decorated)"
    status=1
  fi
done
[ $status -eq 0 ] && echo "$# binaries are $bitness programs with undecorated exports"
exit $status
