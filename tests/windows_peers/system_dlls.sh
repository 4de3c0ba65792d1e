#!/usr/bin/env bash
# Every Windows program of the build imports only DLLs that ship with
# Windows: no C++ runtime, thread library, zlib or libcurl DLL beside it.
#   system_dlls.sh OBJDUMP PROGRAM.exe...
set -euo pipefail
OBJDUMP="$1"
shift
allowed='^(kernel32|user32|gdi32|msimg32|advapi32|shell32|shlwapi|iphlpapi|ole32|oleaut32|comctl32|comdlg32|gdiplus|version|netapi32|ws2_32|crypt32|bcrypt|secur32|normaliz|psapi|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
status=0
for program in "$@"; do
  dlls="$("$OBJDUMP" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)"
  [ -n "$dlls" ] || { echo "FAIL: $program imports nothing (not a PE program?)"; status=1; continue; }
  echo "$(basename "$program"): $(echo $dlls)"
  while read -r dll; do
    if ! [[ "$dll" =~ $allowed ]]; then
      echo "FAIL: $(basename "$program") imports $dll, which Windows does not ship"
      status=1
    fi
  done <<<"$dlls"
done
exit "$status"
