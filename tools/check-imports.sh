#!/usr/bin/env bash
# Fails unless every DLL that the given Windows binaries import is one of the
# system's own, so that the release runs on a bare Windows with nothing installed.
set -euo pipefail
allowed='^(kernel32|user32|gdi32|advapi32|msvcrt|shell32|comdlg32|version)\.dll$'
status=0
for file in "$@"; do
    dump=$(objdump -p "$file" 2>/dev/null || x86_64-w64-mingw32-objdump -p "$file")
    dlls=$(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
    [ -n "$dlls" ] || { echo "$file: no import table found"; status=1; continue; }
    for dll in $dlls; do
        if [[ ! $dll =~ $allowed ]]; then
            echo "$file imports $dll, which is not a system DLL"
            status=1
        fi
    done
    echo "$file imports: $(echo $dlls)"
done
exit $status
