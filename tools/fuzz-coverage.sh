#!/usr/bin/env bash
# What the package fuzzer reaches: builds the fuzz target with clang's source
# coverage, fuzzes from the committed seeds for a while, and prints the branch
# coverage of what it ran, per file of unpacker/core. Not part of the test
# command; it shows which paths of the reader, the extractor and the signature
# block no input has taken yet.
#   tools/fuzz-coverage.sh [BUILD_ROOT] [SECONDS]   (default: ./build, 120 s)
# Its tree is BUILD_ROOT/coverage; the fuzzer's new inputs stay in there.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=$(mkdir -p "${1:-$src/build}" && cd "${1:-$src/build}" && pwd)
seconds=${2:-120}

"$src/tools/setup-deps.sh"
# llvm-profdata and llvm-cov come with llvm-14, which only this script needs.
llvm=/usr/lib/llvm-14/bin
if [ ! -x "$llvm/llvm-cov" ] || [ ! -x "$llvm/llvm-profdata" ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq llvm-14 >/dev/null
fi

build=$root/coverage
coverage="-fprofile-instr-generate -fcoverage-mapping"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$coverage" -DCMAKE_CXX_FLAGS="$coverage" \
    -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" >/dev/null
cmake --build "$build" --target fuzz_package >/dev/null

work=$build/fuzz-work
rm -rf "$work"
mkdir -p "$work"
echo "== fuzzing for $seconds s from unpacker/fuzz/corpus"
if ! LLVM_PROFILE_FILE="$work/fuzz.profraw" "$src/unpacker/fuzz/run_fuzz.sh" "$build/bin/fuzz_package" \
        "$src/unpacker/fuzz/corpus" "$work" "$seconds" > "$work/fuzz.log" 2>&1; then
    tail -n 30 "$work/fuzz.log"
    echo "fuzz-coverage: the fuzzer stopped on a finding: see $work/artifacts" >&2
    exit 1
fi
grep -E '^stat::(number_of_executed_units|new_units_added|peak_rss_mb)|^#[0-9]+ *DONE' "$work/fuzz.log" || true

"$llvm/llvm-profdata" merge -sparse "$work/fuzz.profraw" -o "$work/fuzz.profdata"
echo "== branch coverage of unpacker/core"
"$llvm/llvm-cov" report "$build/bin/fuzz_package" -instr-profile="$work/fuzz.profdata" \
    -show-region-summary=false -show-instantiation-summary=false -show-branch-summary \
    "$src/unpacker/core"
