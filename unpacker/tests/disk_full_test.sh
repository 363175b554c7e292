#!/bin/sh
# Runs the disk-full case of the DLL tests on a small volume: a 1 MiB tmpfs,
# given to the Wine prefix under a free drive letter. Needs root to mount;
# skipped (77), saying why, otherwise.
#   disk_full_test.sh WINE_EXEC TEST_EXE WINEPREFIX
set -u
wine_exec=$1 test_exe=$2 prefix=$3
skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "needs root to mount a small volume"
letter=""
for l in q r t u v w x y; do
    if [ ! -e "$prefix/dosdevices/$l:" ] && [ ! -L "$prefix/dosdevices/$l:" ]; then letter=$l; break; fi
done
[ -n "$letter" ] || skip "no free drive letter in $prefix/dosdevices"
mnt=$(mktemp -d /tmp/zpk-small.XXXXXX) || skip "cannot make a mount point"
log=$(mktemp /tmp/zpk-small-log.XXXXXX) || skip "cannot make a log file"
cleanup() {
    rm -f "$prefix/dosdevices/$letter:" "$log"
    umount "$mnt" 2>/dev/null || umount -l "$mnt" 2>/dev/null
    rmdir "$mnt" 2>/dev/null
}
trap cleanup EXIT
mount -t tmpfs -o size=1m tmpfs "$mnt" || skip "cannot mount a tmpfs here"
ln -s "$mnt" "$prefix/dosdevices/$letter:" || skip "cannot link drive $letter:"
echo "small volume $mnt as drive $letter:"
ZPK_SMALL_DRIVE="$letter:\\" "$wine_exec" "$test_exe" --gtest_filter='UnpackerDllDiskFull.*' >"$log" 2>&1
cat "$log"
grep -q '\[  PASSED  \] 1 test' "$log"
