#!/usr/bin/env bash
# Benchmark of a silent update (not part of the test command).
#
# A package of 19 definition files, about 64 MiB in all, is installed by
# "DefPatch.exe /S" into two definition directories (GlimOn AV's shared folder
# and Dravomire's), in a Wine prefix of its own, with one Wine server kept up
# for the whole measurement. Each round runs, one after the other, the update,
# an empty program started the same way under Wine (the platform's own start-up,
# which is not the program's cost), and the plain tools doing the same work
# natively, as a careful person would: copy the package into a temporary
# folder, check its signature (openssl dgst -sha256 -verify), unzip it there,
# copy the files into both directories, remove the temporary files.
# tools/bench-rounds.py measures and judges the rounds. Goals: the program's own
# cost (update minus empty program) at most 1.0 times the plain tools' wall
# time, and the update's peak memory at most 8 MiB above the empty program's.
# Where 32-bit code runs through QEMU no fair figure can be had: it says so and
# stops.
#
#   tools/bench.sh [BUILD_ROOT] [ROUNDS]     (default: ./build, 11 rounds)
# BUILD_ROOT must hold the built trees (tools/test.sh builds them). The update
# runs as the release does: the i686 build in a 32-bit Wine prefix.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=$(cd "${1:-$src/build}" && pwd)
rounds=${2:-11}
bin=$root/win32/bin
for file in DefPatch.exe zunpck32.dll; do
    [ -f "$bin/$file" ] || { echo "bench: $bin/$file is missing: run tools/test.sh first" >&2; exit 1; }
done

. "$src/tools/wine-env.sh"
wine32_ready
if [ "$WINE32_MODE" != native ]; then
    echo "bench: 32-bit programs run through QEMU's user mode here, several times slower than natively:" >&2
    echo "       no fair figure can be had (echo -1 > /proc/sys/fs/binfmt_misc/qemu-i386 undoes a forced one)" >&2
    exit 1
fi

# A prefix of the benchmark's own, so that its registry keys and files never
# meet the tests'.
bench=$root/bench
prefix=$root/wineprefix-bench
rm -rf "$bench" "$prefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32 WINEPREFIX=$prefix
"$WINE" wineboot -i </dev/null >/dev/null 2>&1
cleanup() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
    rm -rf "$bench" "$prefix"
}
trap cleanup EXIT
# One server for the whole measurement. wineboot's must have ended first: while
# it is up the request for a lasting one does nothing, and a run may then pay
# for a server and its services starting again.
"$WINESERVER" -w
"$WINESERVER" -p </dev/null >/dev/null 2>&1
"$WINE" cmd /c exit </dev/null >/dev/null 2>&1

drive_c=$prefix/drive_c
release=$drive_c/release
glimon=$drive_c/Zorvane/GlimOnAV
shared=$drive_c/Zorvane/Shared
dravomire=$drive_c/Dravomire
temp=$drive_c/bench-temp
mkdir -p "$bench/files" "$bench/native/temp" "$bench/native/a" "$bench/native/b" \
         "$release" "$glimon" "$shared" "$dravomire" "$temp"

# 19 definition files of about 3.4 MiB: compressible text with a random part.
python3 - "$bench/files" <<'EOF'
import os, random, sys
rng = random.Random(1997)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(3, 9))) for _ in range(4000)]
for i in range(19):
    parts, size = [], 0
    while size < 3_500_000:
        chunk = (' '.join(rng.choice(words) for _ in range(400)) + '\n').encode() + os.urandom(1024)
        parts.append(chunk)
        size += len(chunk)
    with open(os.path.join(sys.argv[1], 'VDEF%02d.DAT' % (i + 1)), 'wb') as f:
        f.write(b''.join(parts)[:3_500_000])
EOF

# The package, made by the maker's tool and signed with the build's test key,
# which the library of this build trusts.
"$root/native/bin/zpk" pack --key "$root/test-key/private.pem" "$release/virusdef.zpk" "$bench"/files/*.DAT >/dev/null
cp "$bin/DefPatch.exe" "$bin/zunpck32.dll" "$release/"
touch -d '1997-12-05 12:00:00 UTC' "$release/DefPatch.exe"

# The products, as discovery finds them.
printf 'GlimOn AV\r\n' > "$glimon/glimonav.exe"
printf 'Dravomire\r\n' > "$dravomire/dv95.exe"
reg() { "$WINE" reg add "$@" /f </dev/null >/dev/null 2>&1; }
reg 'HKLM\Software\Zorvane\GlimOn AV' /v sharedir /t REG_SZ /d 'C:\Zorvane\Shared\'
reg 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\glimonav.exe' /ve /t REG_SZ /d 'C:\Zorvane\GlimOnAV\glimonav.exe'
reg 'HKLM\Software\Zorvane\Dravomire' /v Directory /t REG_SZ /d 'C:\Dravomire\'

# The empty program: the platform's start-up and nothing else, built as the
# program is (static, GUI).
printf '#include <windows.h>\nint WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d)\n{ (void)a; (void)b; (void)c; (void)d; return 1; }\n' \
    > "$bench/empty.c"
i686-w64-mingw32-gcc -Os -s -mwindows -static -o "$release/Empty.exe" "$bench/empty.c"

package_size=$(stat -c %s "$release/virusdef.zpk")
unpacked_size=$(cat "$bench"/files/*.DAT | wc -c)

echo "package: 19 files, $((package_size / 1048576)) MiB packed, $((unpacked_size / 1048576)) MiB unpacked, into 2 definition directories"
python3 "$src/tools/bench-rounds.py" "$rounds" "$release" "$temp" "$bench" "$shared" "$dravomire" \
    "$root/test-key/public.pem" "$prefix"

# The maker's tool against unzip, natively.
"$src/tools/bench-zpk.sh" "$root"
