#!/usr/bin/env bash
# Benchmark of a silent update (not part of the test command).
#
# A package of 19 definition files, about 64 MiB in all, is installed by
# "DefPatch.exe /S" into two definition directories (GlimOn AV's shared folder
# and Dravomire's), in a Wine prefix of its own. Each run is timed against, in
# the same round:
#   - an empty program started the same way under Wine: the platform's own
#     start-up, which is not the program's cost;
#   - a native baseline doing the same work with ordinary tools, as a careful
#     person would: copy the package into a temporary folder, check its
#     signature (openssl dgst -sha256 -verify), unzip it there, copy the files
#     into both directories, remove the temporary files.
# It prints the medians, the program's own cost (update minus empty program) as a
# ratio to the baseline, and the update's peak memory above the empty program's.
# Goals: a ratio of at most 1.3 and at most 8 MiB.
#
#   tools/bench.sh [BUILD_ROOT] [RUNS]     (default: ./build, 7 runs)
# BUILD_ROOT must hold the built trees (tools/test.sh builds them). The update
# runs as the release does: the i686 build in a 32-bit Wine prefix.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=$(cd "${1:-$src/build}" && pwd)
runs=${2:-7}
bin=$root/win32/bin
for file in DefPatch.exe zunpck32.dll; do
    [ -f "$bin/$file" ] || { echo "bench: $bin/$file is missing: run tools/test.sh first" >&2; exit 1; }
done

. "$src/tools/wine-env.sh"
wine32_ready

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
"$WINESERVER" -p60 </dev/null >/dev/null 2>&1 || true  # one may be up already
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

# Every run: wall time, and the peak resident memory of the one process as GNU
# time reports it (a child forked from Python would carry Python's own size into
# its peak), with a time limit so a run can never hang the benchmark.
python3 - "$runs" "$release" "$temp" "$bench" "$WINE" "$shared" "$dravomire" "$package_size" "$unpacked_size" \
    "$root/test-key/public.pem" <<'EOF'
import os, shutil, statistics, subprocess, sys, time
runs, release, temp, bench, wine, shared, dravomire = int(sys.argv[1]), *sys.argv[2:8]
package_size, unpacked_size, public_key = int(sys.argv[8]), int(sys.argv[9]), sys.argv[10]

peak_file = os.path.join(bench, 'peak.txt')

def timed(argv, cwd, env=None):
    start = time.perf_counter()
    try:
        code = subprocess.run(['/usr/bin/time', '-q', '-f', '%M', '-o', peak_file] + argv, cwd=cwd, env=env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=300).returncode
    except subprocess.TimeoutExpired:
        sys.exit('bench: %s did not end within 300 s' % argv)
    elapsed = time.perf_counter() - start
    with open(peak_file) as f:
        peak = int(f.read().split()[-1]) / 1024.0
    return elapsed, peak, code   # seconds, MiB, exit code

env = dict(os.environ, TMP='C:\\bench-temp\\', TEMP='C:\\bench-temp\\')
native = os.path.join(bench, 'native')

def baseline():
    # The same work as the update: package into the temporary folder, its
    # signature checked (the last 344 bytes: a 2048-bit key's, in base64),
    # unpacked there, each file copied into both directories, the temporary
    # files removed.
    script = ('cp "$1/virusdef.zpk" "$2/temp/" && cd "$2/temp" && head -c -344 virusdef.zpk > signed && '
              'tail -c 344 virusdef.zpk | base64 -d > signature && '
              'openssl dgst -sha256 -verify "$3" -signature signature signed >/dev/null && rm signed signature && '
              'unzip -q -o virusdef.zpk && cp *.DAT "$2/a/" && cp *.DAT "$2/b/" && rm -f "$2"/temp/*')
    return timed(['sh', '-c', script, 'baseline', release, native, public_key], bench)

update, empty, base, memory, empty_memory = [], [], [], [], []
for i in range(runs + 1):
    u = timed([wine, 'DefPatch.exe', '/S'], release, env)
    e = timed([wine, 'Empty.exe'], release, env)
    b = baseline()
    if u[2] != 1 or e[2] != 1 or b[2] != 0:
        sys.exit('bench: a run failed (exit codes: DefPatch %d, empty program %d, baseline %d)' % (u[2], e[2], b[2]))
    if i == 0:
        continue  # the first round warms the caches
    update.append(u[0]); memory.append(u[1])
    empty.append(e[0]); empty_memory.append(e[1])
    base.append(b[0])

files = sorted(f for f in os.listdir(shared) if f.endswith('.DAT'))
if len(files) != 19 or len([f for f in os.listdir(dravomire) if f.endswith('.DAT')]) != 19:
    sys.exit('bench: the definition directories do not hold the 19 files')
if os.listdir(temp):
    sys.exit('bench: the temporary directory was not cleaned up: %s' % os.listdir(temp))

median = statistics.median
own = median(update) - median(empty)
ratio = own / median(base)
extra = median(memory) - median(empty_memory)
print('DefPatch silent update benchmark: %d runs (after one warm-up)' % runs)
print('  package: 19 files, %.1f MiB packed, %.1f MiB unpacked, into 2 definition directories'
      % (package_size / 2**20, unpacked_size / 2**20))
print('  update   (DefPatch.exe /S under Wine):       median %.3f s  (min %.3f, max %.3f)' % (median(update), min(update), max(update)))
print('  empty program under Wine:                    median %.3f s  (min %.3f, max %.3f)' % (median(empty), min(empty), max(empty)))
print('  native baseline (cp, verify, unzip, cp, cp): median %.3f s  (min %.3f, max %.3f)' % (median(base), min(base), max(base)))
print('  program\'s own cost (update - empty):         %.3f s' % own)
print('  ratio to the baseline:                       %.2f  (goal: at most 1.3)  %s' % (ratio, 'met' if ratio <= 1.3 else 'NOT MET'))
print('  peak memory (median of the runs\' peaks): update %.1f MiB (max %.1f), empty program %.1f MiB (max %.1f)'
      % (median(memory), max(memory), median(empty_memory), max(empty_memory)))
print('  update\'s peak above the empty program\'s: %.1f MiB  (goal: at most 8 MiB)  %s'
      % (extra, 'met' if extra <= 8 else 'NOT MET'))
EOF

# The maker's tool against unzip, natively.
"$src/tools/bench-zpk.sh" "$root"
