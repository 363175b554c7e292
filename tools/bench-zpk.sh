#!/usr/bin/env bash
# Benchmark of the maker's tool (not part of the test command; no Wine).
#
# "zpk check" against what a maker would otherwise run, natively, in paired
# runs (each pair runs both, one after the other, so that the machine's noise
# hits both alike), on a signed package of 19 definition files, about 23 MB
# packed:
#   - zpk check PKG                  against  unzip -tq PKG
#   - zpk check --key public.pem PKG against  openssl dgst -sha256 -verify
#                                             followed by unzip -tq
# It prints the medians, the ratio of the medians with the range of the single
# pairs' ratios, user and system time and peak memory (GNU time); then the
# peak memory of "zpk check" on the largest package the library accepts
# (19 files, 256 MiB in all). Goals: at most 1.1 times unzip -tq's time, and a
# peak under 16 MiB on any package.
#
#   tools/bench-zpk.sh [BUILD_ROOT] [RUNS]     (default: ./build, 11 pairs)
# BUILD_ROOT must hold the native tree and the test key (tools/test.sh builds them).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=$(cd "${1:-$src/build}" && pwd)
runs=${2:-11}
zpk=$root/native/bin/zpk
key=$root/test-key
[ -x "$zpk" ] || { echo "bench-zpk: $zpk is missing: run tools/test.sh first" >&2; exit 1; }

work=$root/bench-zpk
rm -rf "$work"
mkdir -p "$work/files" "$work/large"
trap 'rm -rf "$work"' EXIT

# Definition files: lines of signature text, each drawn from a small set,
# with a random part; 19 of 3.5 MB (about 23 MB packed), and 19 that together
# reach the library's cap.
python3 - "$work" <<'EOF'
import os, random, sys
def make(folder, size, seed):
    rng = random.Random(seed)
    words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(3, 9))) for _ in range(4000)]
    lines = [' '.join(rng.choice(words) for _ in range(12)) + '\n' for _ in range(200)]
    for i in range(19):
        parts, total = [], 0
        while total < size:
            chunk = ''.join(rng.choice(lines) for _ in range(40)).encode() + os.urandom(896)
            parts.append(chunk)
            total += len(chunk)
        with open(os.path.join(folder, 'VDEF%02d.DAT' % (i + 1)), 'wb') as f:
            f.write(b''.join(parts)[:size])
make(os.path.join(sys.argv[1], 'files'), 3_500_000, 1997)
make(os.path.join(sys.argv[1], 'large'), (256 << 20) // 19, 1998)
EOF
"$zpk" pack --key "$key/private.pem" "$work/virusdef.zpk" "$work"/files/*.DAT >/dev/null
"$zpk" pack --key "$key/private.pem" "$work/largest.zpk" "$work"/large/*.DAT >/dev/null
rm -rf "$work/files" "$work/large"
# openssl's side of the signature: the signed bytes and the signature, taken
# apart once, outside the timing (a 2048-bit key: 344 characters of base64).
head -c -344 "$work/virusdef.zpk" > "$work/signed"
tail -c 344 "$work/virusdef.zpk" | base64 -d > "$work/signature"

if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    echo "note: QEMU user mode is registered for 32-bit programs; this native benchmark does not use it"
fi

python3 - "$runs" "$work" "$zpk" "$key/public.pem" <<'EOF'
import os, statistics, subprocess, sys, time
runs, work, zpk, public = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
package = os.path.join(work, 'virusdef.zpk')
stats = os.path.join(work, 'time.txt')

def timed(argv):
    """Wall time, and user time, system time and peak memory as GNU time reports them."""
    start = time.perf_counter()
    code = subprocess.run(['/usr/bin/time', '-q', '-f', '%U %S %M', '-o', stats] + argv, stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600).returncode
    elapsed = time.perf_counter() - start
    if code != 0:
        sys.exit('bench-zpk: %s failed with exit code %d' % (' '.join(argv), code))
    user, system, peak = open(stats).read().split()[-3:]
    return elapsed, float(user), float(system), int(peak) / 1024.0

def paired(title, first, second, goal=None):
    """Pairs of runs, first then second; each is (label, argv)."""
    results = ([], [])
    for i in range(runs + 1):
        pair = timed(first[1]), timed(second[1])
        if i > 0:  # the first pair warms the caches
            results[0].append(pair[0]); results[1].append(pair[1])
    median = statistics.median
    print(title)
    for (label, _), got in zip((first, second), results):
        wall = [r[0] for r in got]
        print('  %-42s median %.3f s (min %.3f, max %.3f)  user %.3f s, system %.3f s  peak %.1f MiB' % (
            label, median(wall), min(wall), max(wall), median([r[1] for r in got]), median([r[2] for r in got]),
            max(r[3] for r in got)))
    ratios = [a[0] / b[0] for a, b in zip(*results)]
    ratio = median([r[0] for r in results[0]]) / median([r[0] for r in results[1]])
    verdict = '' if goal is None else '  (goal: at most %.1f)  %s' % (goal, 'met' if ratio <= goal else 'NOT MET')
    print('  ratio of the medians: %.2f; single pairs %.2f to %.2f%s' % (ratio, min(ratios), max(ratios), verdict))

size = os.path.getsize(package)
print('zpk check benchmark: %d paired runs (after one warm-up), native' % runs)
print('  package: 19 files, %.1f MiB packed, signed' % (size / 2**20))
paired('zpk check against unzip -tq:', ('zpk check', [zpk, 'check', package]),
       ('unzip -tq', ['unzip', '-tq', package]), 1.1)
paired('with the key given, against openssl and unzip:',
       ('zpk check --key public.pem', [zpk, 'check', '--key', public, package]),
       ('openssl dgst -sha256 -verify; unzip -tq',
        ['sh', '-c', 'openssl dgst -sha256 -verify "$1" -signature "$2/signature" "$2/signed" >/dev/null && '
         'unzip -tq "$3"', 'verify', public, work, package]))

largest = os.path.join(work, 'largest.zpk')
listing = subprocess.run([zpk, 'list', largest], capture_output=True, text=True, check=True).stdout.splitlines()[-1]
elapsed, user, system, peak = timed([zpk, 'check', largest])
print('largest package the library accepts (%s, %.1f MiB packed):' % (listing, os.path.getsize(largest) / 2**20))
print('  zpk check: %.3f s, peak %.1f MiB  (goal: under 16 MiB)  %s' % (elapsed, peak, 'met' if peak < 16 else 'NOT MET'))
EOF
