#!/usr/bin/env bash
# Checks the release command end to end in a build root of the test command:
# the i686 folder carries the date given and only 32-bit programs; the same
# folder made from the x86_64 build, run silently against the demo installs,
# updates them.
#   tools/check-release.sh BUILD_ROOT
set -uo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=$(cd "$1" && pwd)
work=$root/release-check
rm -rf "$work"
mkdir -p "$work/defs"
failures=0
check() { # description, command...
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

printf 'November 1997 definitions, part 1\r\n' > "$work/defs/virscan1.dat"
printf 'November 1997 definitions, part 2\r\n' > "$work/defs/virscan2.dat"
printf 'November 1997 definitions, part 3\r\n' > "$work/defs/virscan3.dat"

"$src/tools/release.sh" "$work/defs" --date 1997-11-01 --out "$work/i686" --build "$root" > "$work/i686.log" 2>&1
check "release command (i686) succeeds" test $? -eq 0
for f in DefPatch.exe zunpck32.dll virusdef.zpk zvreadme.txt; do
    check "i686 folder holds $f" test -f "$work/i686/$f"
done
check "i686 DefPatch.exe is a 32-bit program" sh -c "objdump -f '$work/i686/DefPatch.exe' | grep -q 'pei-i386'"
check "i686 zunpck32.dll is a 32-bit library" sh -c "objdump -f '$work/i686/zunpck32.dll' | grep -q 'pei-i386'"
check "DefPatch.exe carries the date 1997-11-01 (UTC)" \
    test "$(date -u -r "$work/i686/DefPatch.exe" +%Y-%m-%d)" = 1997-11-01
check "the listing names the date the program carries" grep -q '11/1/1997' "$work/i686.log"
check "the package holds the three files and the readme" \
    sh -c "'$root/native/bin/zpk' list '$work/i686/virusdef.zpk' | grep -c -E 'virscan[123]\.dat|zvreadme\.txt' | grep -qx 4"

bad=$work/bad-defs
mkdir -p "$bad"
for i in $(seq 1 20); do echo "$i" > "$bad/file$i.dat"; done
"$src/tools/release.sh" "$bad" --date 1997-11-01 --out "$work/bad" --build "$root" > "$work/bad.log" 2>&1
check "a folder of 20 files is refused" test $? -ne 0

"$src/tools/release.sh" "$work/defs" --date 1997-11-01 --arch x86_64 --out "$work/x86_64" --build "$root" \
    > "$work/x86_64.log" 2>&1
check "release command (x86_64) succeeds" test $? -eq 0

"$src/tools/demo.sh" --silent --release "$work/x86_64" "$root" > "$work/demo.log" 2>&1
check "the silent run from the folder finishes as scripted" test $? -eq 0
check "exit code 1" grep -q 'exit code 1' "$work/demo.log"
check "October files replaced with the update's date" \
    test "$(grep -c -E 'virscan1\.dat +1997-10-01 12:00 +[0-9]+ B 1997-11-01 12:00 +[0-9]+ B replaced' "$work/demo.log")" -eq 2
check "the newer Dravomire file kept" grep -q -E 'virscan2\.dat +1997-12-03 12:00 +[0-9]+ B 1997-12-03 12:00 +[0-9]+ B kept' "$work/demo.log"
check "new files installed" test "$(grep -c -E 'virscan3\.dat +- .* new' "$work/demo.log")" -eq 2
check "no backups in a silent run" sh -c "! grep -q 'backups in' '$work/demo.log'"
check "library date written" grep -q 'DravomLibraryDate    REG_SZ    11/1/1997' "$work/demo.log"
check "temporary directory cleaned" grep -q 'files left in the temporary directory: 0' "$work/demo.log"

if [ $failures -ne 0 ]; then
    echo "--- logs in $work"
    tail -n 40 "$work"/*.log
    exit 1
fi
rm -rf "$work"
