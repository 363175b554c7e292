#!/bin/sh
# Fails unless the DLL exports zunpack_init, zunpack_exec and zunpack_exit under
# exactly these plain names (no "@28" decoration) and nothing else.
set -eu
dll=$1
dump=$(objdump -p "$dll" 2>/dev/null || x86_64-w64-mingw32-objdump -p "$dll")
names=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
expected="zunpack_exec zunpack_exit zunpack_init "
echo "$dll exports: $names"
if [ "$names" != "$expected" ]; then
    echo "expected exactly: $expected" >&2
    exit 1
fi
