#!/usr/bin/env bash
# Fails when a Windows binary imports a DLL outside the system's own set (for example a
# mingw runtime DLL, which a user's machine does not have).
set -euo pipefail
allowed='^(kernel32|user32|advapi32|ole32|oleaut32|shell32|shlwapi|ws2_32|mswsock|msvcrt|ucrtbase|rpcrt4|gdi32|api-ms-win-.*|bcrypt|crypt32|secur32|iphlpapi|version|comctl32|urlmon)\.dll$'
status=0
for binary in "$@"; do
  while read -r dll; do
    if ! printf '%s\n' "$dll" | tr '[:upper:]' '[:lower:]' | grep -qE "$allowed"; then
      echo "$(basename "$binary") imports $dll, which is not a system DLL"
      status=1
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p')
done
[ $status -eq 0 ] && echo "imports of $# binaries are system DLLs only"
exit $status
