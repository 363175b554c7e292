#!/usr/bin/env python3
"""The rounds of tools/bench.sh: the update, the empty program and the plain tools in turn.

Each run is measured for its wall time, its CPU time and peak resident memory
(GNU time, of the one process), and the CPU time the prefix's Wine server spent
meanwhile. Each round gives the program's own cost (update minus empty
program) as a ratio to the plain tools; the rounds' median and quartiles are
printed. A goal is called met only when the upper quartile meets it, missed
only when the lower quartile misses it; nothing is called when the program's
own cost is negative in a round or spreads wider than it is large.

    bench-rounds.py ROUNDS RELEASE TEMP BENCH SHARED DRAVOMIRE PUBLIC_KEY PREFIX
"""
import glob
import os
import statistics
import subprocess
import sys
import time

WINE = "/usr/lib/wine/wine"
rounds, release, temp, bench, shared, dravomire, public_key, prefix = int(sys.argv[1]), *sys.argv[2:9]

# The Wine server of the prefix works in /tmp/.wine-UID/server-DEV-INODE.
st = os.stat(prefix)
server_dir = f"server-{st.st_dev:x}-{st.st_ino:x}"
servers = [p for p in glob.glob("/proc/[0-9]*") if os.path.exists(p + "/cwd")
           and os.path.basename(os.path.realpath(p + "/cwd")) == server_dir and "wineserver" in open(p + "/comm").read()]
if len(servers) != 1:
    sys.exit("bench: cannot tell the prefix's Wine server")
server = servers[0]
ticks = os.sysconf("SC_CLK_TCK")
times_file = os.path.join(bench, "time.txt")


def server_cpu():
    fields = open(server + "/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / ticks


def timed(argv, cwd, env=None):
    """Wall and CPU seconds and peak MiB of one process, and the server's CPU seconds meanwhile."""
    before = server_cpu()
    start = time.perf_counter()
    try:
        code = subprocess.run(["/usr/bin/time", "-q", "-f", "%U %S %M", "-o", times_file] + argv, cwd=cwd, env=env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=300).returncode
    except subprocess.TimeoutExpired:
        sys.exit(f"bench: {argv} did not end within 300 s")
    wall = time.perf_counter() - start
    user, system, peak = open(times_file).read().split()[-3:]
    return dict(wall=wall, cpu=float(user) + float(system), peak=int(peak) / 1024, server=server_cpu() - before,
                code=code)


env = dict(os.environ, TMP="C:\\bench-temp\\", TEMP="C:\\bench-temp\\")
native = os.path.join(bench, "native")


def plain_tools():
    # The same work as the update: the package into the temporary folder, its
    # signature checked (the last 344 bytes: a 2048-bit key's, in base64),
    # unpacked there, each file copied into both directories, the temporary
    # files removed.
    script = ('cp "$1/virusdef.zpk" "$2/temp/" && cd "$2/temp" && head -c -344 virusdef.zpk > signed && '
              'tail -c 344 virusdef.zpk | base64 -d > signature && '
              'openssl dgst -sha256 -verify "$3" -signature signature signed >/dev/null && rm signed signature && '
              'unzip -q -o virusdef.zpk && cp *.DAT "$2/a/" && cp *.DAT "$2/b/" && rm -f "$2"/temp/*')
    return timed(["sh", "-c", script, "plain", release, native, public_key], bench)


runs = []
for i in range(rounds + 1):
    update = timed([WINE, "DefPatch.exe", "/S"], release, env)
    empty = timed([WINE, "Empty.exe"], release, env)
    plain = plain_tools()
    if update["code"] != 1 or empty["code"] != 1 or plain["code"] != 0:
        sys.exit(f"bench: a run failed (exit codes: DefPatch {update['code']}, empty program {empty['code']}, "
                 f"plain tools {plain['code']})")
    if i > 0:  # the first round warms the caches
        runs.append((update, empty, plain))

if any(len([f for f in os.listdir(d) if f.endswith(".DAT")]) != 19 for d in (shared, dravomire)):
    sys.exit("bench: the definition directories do not hold the 19 files")
if os.listdir(temp):
    sys.exit(f"bench: the temporary directory was not cleaned up: {os.listdir(temp)}")


def quartiles(values):
    low, mid, high = statistics.quantiles(values, n=4, method="inclusive")
    return low, mid, high


def row(title, values, unit="s"):
    low, mid, high = quartiles(values)
    return f"  {title:<42} {mid:7.3f} {unit:<3} (quartiles {low:.3f} .. {high:.3f}, min {min(values):.3f}, max {max(values):.3f})"


def verdict(values, goal, own=None):
    """met / NOT MET / too close to call, or why nothing can be said."""
    if own is not None:
        if min(own) <= 0:
            return "cannot say: the program's own cost came out negative in a round"
        own_low, own_mid, own_high = quartiles(own)
        if own_high - own_low > own_mid:
            return "cannot say: the program's own cost spreads wider than it is large"
    low, mid, high = quartiles(values)
    return "met" if high <= goal else "NOT MET" if low > goal else "too close to call: the goal lies within the spread"


print(f"DefPatch silent update benchmark: {rounds} rounds (after one warm-up), one Wine server kept up")
for kind, name in (("wall", "wall time"), ("cpu", "CPU time, the process's own")):
    own = [u[kind] - e[kind] for u, e, p in runs]
    ratios = [(u[kind] - e[kind]) / p[kind] for u, e, p in runs]
    print(f" {name}:")
    print(row("update (DefPatch.exe /S under Wine)", [u[kind] for u, e, p in runs]))
    print(row("empty program under Wine", [e[kind] for u, e, p in runs]))
    print(row("plain tools (cp, verify, unzip, cp, cp)", [p[kind] for u, e, p in runs]))
    print(row("program's own cost (update - empty)", own))
    print(row("own cost / plain tools, round by round", ratios, unit="x"))
    if kind == "wall":
        print(f"  goal, at most 1.0 times the plain tools: {verdict(ratios, 1.0, own)}")
print(" the Wine server's CPU time meanwhile:")
print(row("during the update", [u["server"] for u, e, p in runs]))
print(row("during the empty program", [e["server"] for u, e, p in runs]))
print(" peak memory:")
print(row("update", [u["peak"] for u, e, p in runs], unit="MiB"))
print(row("empty program", [e["peak"] for u, e, p in runs], unit="MiB"))
extra = [u["peak"] - e["peak"] for u, e, p in runs]
print(row("update above the empty program", extra, unit="MiB"))
print(f"  goal, at most 8 MiB above the empty program: {verdict(extra, 8.0)}")
