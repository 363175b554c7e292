#!/usr/bin/env bash
# The test command: installs what is missing, builds the two trees (the i686
# release with the tests' Windows side, and the native zpk and fuzzer), and runs
# every test: the scenario table (tests/scenarios.py) against the i686
# DefPatch.exe and zunpck32.dll in a 32-bit Wine prefix of the build tree, on an
# Xvfb display of its own, and meanwhile the package fuzzer for a bounded time;
# and first the release's hardening (tools/check-hardening.sh).
#   tools/test.sh [BUILD_ROOT] [WORD...]    (default: ./build; WORDs pick scenarios)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=$(mkdir -p "${1:-$src/build}" && cd "${1:-$src/build}" && pwd)
shift $(($# > 0 ? 1 : 0))
jobs=$(nproc)

"$src/tools/setup-deps.sh"
. "$src/tools/wine-env.sh"
wine32_ready || { echo "32-bit Windows programs cannot run here, not even through QEMU" >&2; exit 1; }

cmake -S "$src" -B "$root/native" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake -S "$src" -B "$root/win32" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" >/dev/null
for dir in native win32; do
    echo "== building $dir"
    cmake --build "$root/$dir" -j "$jobs"
done

wine_env_start "$root"
# Full-disk cases need a small volume, a 4 MiB tmpfs as drive S:, one case a
# volume with more than 4 GiB free, a 4097 MiB tmpfs (empty: it costs no memory)
# as drive B:, and one a FAT volume as drive F: (as root only).
rm -f "$WINEPREFIX/dosdevices/s:" "$WINEPREFIX/dosdevices/b:" "$WINEPREFIX/dosdevices/f:"
if [ "$(id -u)" -eq 0 ]; then
    for volume in s:4m b:4097m; do
        dir=$root/volume-${volume%%:*}
        mkdir -p "$dir"
        mountpoint -q "$dir" && umount "$dir"
        mount -t tmpfs -o "size=${volume#*:},uid=65534,gid=65534,mode=0755" tmpfs "$dir"
        ln -sfn "$dir" "$WINEPREFIX/dosdevices/${volume%%:*}:"
    done
    # A FAT volume as drive F:, which keeps times to 2 seconds. The kernel may
    # have no FAT driver: fusefat mounts the image through FUSE (it writes times
    # as UTC and reads them back as local time, so it runs in UTC).
    dir=$root/volume-f
    mkdir -p "$dir"
    mountpoint -q "$dir" && fusermount -u "$dir"
    if [ -e /dev/fuse ]; then
        rm -f "$root/fat.img"
        /usr/sbin/mkfs.vfat -C "$root/fat.img" 8192 >/dev/null
        # Its files belong to the tests' user, as a FAT volume's files are
        # whoever's reads them.
        TZ=UTC fusefat -o rw+,allow_other,uid=65534,gid=65534 "$root/fat.img" "$dir" >/dev/null 2>&1 &&
            ln -sfn "$dir" "$WINEPREFIX/dosdevices/f:"
    fi
    trap 'wine_env_stop; umount "$root/volume-s" "$root/volume-b" 2>/dev/null; fusermount -u "$root/volume-f" 2>/dev/null || true' EXIT
fi

echo "== testing (32-bit Wine: $WINE32_MODE)"
start=$(date +%s)
ctest --test-dir "$root/native" --output-on-failure > "$root/native/ctest.log" 2>&1 &
fuzz=$!
status=0
"$src/tools/check-hardening.sh" "$root/win32" | tee "$root/hardening.log" || status=1
as_tester python3 "$src/tests/scenarios.py" "$root/win32" "$@" | tee "$root/scenarios.log" || status=1
wait $fuzz || status=1
grep -q '100% tests passed' "$root/native/ctest.log" && grep 'tests passed' "$root/native/ctest.log" ||
    cat "$root/native/ctest.log"

read -r sp sf sk < <(sed -nE 's/^scenarios: ([0-9]+) passed, ([0-9]+) failed, ([0-9]+) skipped$/\1 \2 \3/p' \
                      "$root/scenarios.log") || true
read -r nf nt < <(sed -nE 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/p' "$root/native/ctest.log") || true
read -r hp hf < <(sed -nE 's/^hardening: ([0-9]+) passed, ([0-9]+) failed$/\1 \2/p' "$root/hardening.log") || true
passed=$(( ${sp:-0} + ${nt:-0} - ${nf:-0} + ${hp:-0} )) failed=$(( ${sf:-1} + ${nf:-1} + ${hf:-1} )) skipped=${sk:-0}
echo
echo "DefPatch: $passed passed, $failed failed, $skipped skipped in $(( $(date +%s) - start )) s (32-bit Wine: $WINE32_MODE)"
[ "$failed" -eq 0 ] && exit $status || exit 1
