#!/usr/bin/env bash
# The hardening of the i686 release in BUILD_DIR (the win32 tree), checked in its objects and PE files: the stack
# protector, the PE marks, no handler on the stack, no bcrypt.dll import, the manifest, the size goals.
#   tools/check-hardening.sh BUILD_DIR      ends with "hardening: N passed, N failed"
cd "$1" || exit 2
passed=0 failed=0
check() { # WHAT TEST...
    if "${@:2}"; then echo "ok    $1"; passed=$((passed + 1)); else echo "FAIL  $1"; failed=$((failed + 1)); fi
}
dump() { i686-w64-mingw32-objdump "$@" 2>/dev/null; }
for module in "DefPatch.exe 65536" "zunpck32.dll 61952"; do
    read -r file limit <<<"$module"
    objects=$(ninja -t commands "bin/$file" | tail -1 | tr ' ' '\n' | grep -E '^[^-/].*\.(obj|a)$') # as linked
    calls=$(dump -dr $objects | grep -c 'DISP32\s*___stack_chk_fail')
    check "$file: its objects call the stack protector's failure routine, $calls times" test "$calls" -gt 0
    marks=$(dump -p "bin/$file" | sed -n '/^DllCharacteristics/,/^SizeOfStackReserve/p')
    for mark in NO_SEH DYNAMIC_BASE NX_COMPAT; do check "$file: marked $mark" grep -qw "$mark" <<<"$marks"; done
    check "$file: no code in it puts an exception handler on the stack (FS:[0])" \
        bash -c "! i686-w64-mingw32-objdump -d bin/$file | grep -q '%fs:0x0\b'"
    size=$(stat -c %s "bin/$file")
    check "$file: $size bytes, at most $limit" test "$size" -le "$limit"
done
check "zunpck32.dll: imports no bcrypt.dll, at load time or delayed" \
    bash -c "! i686-w64-mingw32-objdump -p bin/zunpck32.dll | grep -qi 'DLL Name: bcrypt.dll'"

# The manifest: the resource of type 24 (RT_MANIFEST), name 1, as Windows reads it from the file.
read -r base < <(dump -p bin/DefPatch.exe | awk '/^ImageBase/ {print $2}')
read -r vma offset < <(dump -h bin/DefPatch.exe | awk '$2 == ".rsrc" {print $4, $6}')
read -r addr length < <(dump -p bin/DefPatch.exe | awk '/Entry: ID: 0x000018,/ {t = 1} t && /Entry: ID: 0x000001,/ {n = 1}
    n && /Leaf:/ {gsub(",", ""); print $4, $6; exit}')
manifest=$(tail -c +$((addr - (0x$vma - 0x$base) + 0x$offset + 1)) bin/DefPatch.exe 2>/dev/null | head -c $((length)))
check "DefPatch.exe: its manifest asks for an administrator's rights" \
    grep -q '<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>' <<<"$manifest"
oses="e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38
      1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a" # Vista, 7, 8, 8.1, 10 and 11
check "DefPatch.exe: its manifest names Windows Vista, 7, 8, 8.1 and 10 as supported" test "$(grep -o \
    '<supportedOS Id="{[-0-9a-f]*}"/>' <<<"$manifest" | grep -cF -f <(tr -s ' \n' '\n' <<<"$oses"))" -eq 5
check "DefPatch.exe: its manifest is well-formed XML (Windows starts no program with a broken one)" \
    python3 -c 'import sys, xml.dom.minidom as m; m.parseString(sys.argv[1])' "$manifest" 2>/dev/null
echo "hardening: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
