#!/usr/bin/env bash
# The test command: installs what is missing, builds the three trees (native
# Linux, x86_64 Windows, i686 Windows release), and runs every test through CTest:
# the Windows tests under wine64 in a Wine prefix of the build tree, on an Xvfb
# display that this script starts and stops.
#   tools/test.sh [BUILD_ROOT]      (default: ./build)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=$(mkdir -p "${1:-$src/build}" && cd "${1:-$src/build}" && pwd)
jobs=$(nproc)

"$src/tools/setup-deps.sh"

configure() { # dir, extra cmake arguments...
    local dir=$1; shift
    cmake -S "$src" -B "$root/$dir" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel "$@" >/dev/null
}
configure native -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
configure win64 -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-x86_64.cmake" -DDEFPATCH_WINEPREFIX="$root/wineprefix"
configure win32 -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake"
for dir in native win64 win32; do
    echo "== building $dir"
    cmake --build "$root/$dir" -j "$jobs"
done

. "$src/tools/wine-env.sh"
wine_env_start "$root"

passed=0 failed=0 status=0
run_ctest() { # dir, ctest arguments...
    local dir=$1; shift
    echo "== testing $dir"
    local log="$root/$dir/ctest.log"
    if ctest --test-dir "$root/$dir" --output-on-failure "$@" 2>&1 | tee "$log"; then :; else status=1; fi
    # Counts from CTest's summary line: "N% tests passed, F tests failed out of T".
    local line
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of' "$log" | tail -n 1 || true)
    if [ -n "$line" ]; then
        local f t
        f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
        t=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
        passed=$((passed + t - f)); failed=$((failed + f))
        [ "$f" -eq 0 ] || status=1
    elif ! grep -q 'No tests were found' "$log"; then
        status=1
    fi
}
run_ctest native -j "$jobs"
run_ctest win64 -j "$jobs"
run_ctest win32

echo
echo "DefPatch: $passed passed, $failed failed"
exit $status
