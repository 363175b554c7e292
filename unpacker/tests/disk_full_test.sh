#!/bin/sh
# Runs the disk-full case of the DLL tests on a small volume: a 1 MiB tmpfs,
# given to the Wine prefix as drive Q:. Needs root to mount; skipped (77)
# otherwise.
#   disk_full_test.sh WINE_EXEC TEST_EXE WINEPREFIX
set -eu
wine_exec=$1 test_exe=$2 prefix=$3
[ "$(id -u)" -eq 0 ] || { echo "needs root to mount a small volume"; exit 77; }
[ ! -e "$prefix/dosdevices/q:" ] || { echo "drive q: is taken in $prefix"; exit 77; }
mnt=$(mktemp -d /tmp/zpk-small.XXXXXX)
log=$(mktemp /tmp/zpk-small-log.XXXXXX)
cleanup() {
    rm -f "$prefix/dosdevices/q:" "$log"
    umount "$mnt" 2>/dev/null || true
    rmdir "$mnt"
}
trap cleanup EXIT
mount -t tmpfs -o size=1m tmpfs "$mnt" || { echo "cannot mount a tmpfs here"; exit 77; }
ln -s "$mnt" "$prefix/dosdevices/q:"
ZPK_SMALL_DRIVE='Q:\' "$wine_exec" "$test_exe" --gtest_filter='UnpackerDllDiskFull.*' >"$log" 2>&1 || true
cat "$log"
grep -q '\[  PASSED  \] 1 test' "$log"
