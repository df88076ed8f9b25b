#!/usr/bin/env bash
# Lists the DLLs that a Windows binary imports and fails when one is not part of Windows
# itself: the module must load on any Windows without a runtime installed beside it.
# Usage: check-imports.sh OBJDUMP FILE
set -euo pipefail
objdump=$1
file=$2
imports=$("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p' | sort -u)
echo "$(basename "$file") imports: $(echo "$imports" | tr '\n' ' ')"
status=0
while read -r dll; do
  case "${dll,,}" in
    kernel32.dll | user32.dll | gdi32.dll | gdiplus.dll | winmm.dll | ole32.dll | msvcrt.dll | \
      advapi32.dll | shell32.dll | comctl32.dll) ;;
    *) echo "not a system DLL: $dll" >&2; status=1 ;;
  esac
done <<<"$imports"
exit $status
