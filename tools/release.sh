#!/usr/bin/env bash
# Builds the release folder that a maker ships: the 32-bit DefPatch.exe, the
# unpacker library zunpck32.dll, which trusts only the maker's public key, the
# month's virusdef.zpk made from a folder of definition files and signed with the
# maker's private key, and the readme zvreadme.txt. The executable's last-write
# time is set to the update's date, since DefPatch takes its date from its own file.
#
#   tools/release.sh DEFINITIONS_DIR --key PRIVATE.pem [--date YYYY-MM-DD] [--out DIR] [--build DIR]
#
# --key    the maker's RSA private key (PEM, at least 2048 bits); required
# --date   the update's date (default: the first of the current month)
# --out    the release folder (default: ./release; made afresh)
#
# DEFINITIONS_DIR holds the definition files (at most 19, names of at most 31
# characters) and may hold a zvreadme.txt; without one a readme is written from
# tools/zvreadme.template.txt. The readme also travels in the package, so that
# "View README" finds it in the definition directories after the update.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)

usage() { sed -n '2,/^[^#]/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2; exit 2; }
[ $# -ge 1 ] || usage
defs=$1; shift
date=$(date -u +%Y-%m-01)
out="$src/release"
build="$src/build"
key=""
while [ $# -gt 0 ]; do
    case $1 in
        --key) key=$2; shift 2 ;;
        --date) date=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        --build) build=$2; shift 2 ;;
        *) usage ;;
    esac
done
[ -d "$defs" ] || { echo "release: $defs is not a folder" >&2; exit 2; }
if [ -z "$key" ]; then
    echo "release: no release without the maker's signature: give the maker's private key," >&2
    echo "         tools/release.sh $defs --key maker.pem; zunpck32.dll will trust only its public half" >&2
    exit 2
fi
bits=$(openssl pkey -in "$key" -noout -text 2>/dev/null | sed -n '1s/^Private-Key: (\([0-9]*\) bit.*/\1/p')
if [ -z "$bits" ] || [ "$bits" -lt 2048 ] || ! openssl rsa -in "$key" -noout 2>/dev/null; then
    echo "release: $key is not an RSA private key of at least 2048 bits (PEM)" >&2
    exit 2
fi
date -u -d "$date 12:00:00" +%s >/dev/null 2>&1 || { echo "release: '$date' is not a date (YYYY-MM-DD)" >&2; exit 2; }

"$src/tools/setup-deps.sh"
mkdir -p "$build"
# The release's own tree, whose library trusts the maker's public key.
mkdir -p "$build/release-key"
openssl pkey -in "$key" -pubout -out "$build/release-key/public.pem"
echo "== building DefPatch.exe and zunpck32.dll (i686, trusting the key of $key) and zpk (native)"
cmake -S "$src" -B "$build/release-win32" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" -DDEFPATCH_PUBLIC_KEY="$build/release-key/public.pem" >/dev/null
cmake --build "$build/release-win32" --target DefPatch zunpck32 >/dev/null
[ -f "$build/native/build.ninja" ] ||
    cmake -S "$src" -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build/native" --target zpk >/dev/null
zpk="$build/native/bin/zpk"

rm -rf "$out"
mkdir -p "$out"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# The package's contents: every regular file of the folder, the readme included.
shopt -s nullglob
files=()
for f in "$defs"/*; do
    [ -f "$f" ] && files+=("$f")
done
[ ${#files[@]} -gt 0 ] || { echo "release: $defs holds no files" >&2; exit 1; }
if [ ! -f "$defs/zvreadme.txt" ]; then
    pretty=$(date -u -d "$date 12:00:00" '+%B %Y')
    sed "s/@MONTH@/$pretty/" "$src/tools/zvreadme.template.txt" > "$stage/zvreadme.txt"
    files+=("$stage/zvreadme.txt")
fi

if [ ${#files[@]} -gt 19 ]; then
    echo "release: ${#files[@]} files with the readme; a package holds at most 19" >&2
    exit 1
fi

echo "== packing and signing virusdef.zpk"
"$zpk" pack --key "$key" "$out/virusdef.zpk" "${files[@]}"
"$zpk" check --key "$build/release-key/public.pem" "$out/virusdef.zpk"

cp "$build/release-win32/bin/DefPatch.exe" "$build/release-win32/bin/zunpck32.dll" "$out/"
if [ -f "$defs/zvreadme.txt" ]; then cp "$defs/zvreadme.txt" "$out/"; else cp "$stage/zvreadme.txt" "$out/"; fi

# The program's date is the UTC date of its own last write; noon UTC keeps that
# date whatever zone the folder is later copied in.
touch -d "$date 12:00:00 UTC" "$out/DefPatch.exe"

echo
echo "== release folder: $out"
"$zpk" list --key "$build/release-key/public.pem" "$out/virusdef.zpk"
echo
(cd "$out" && ls -l --time-style='+%Y-%m-%d %H:%M UTC' DefPatch.exe zunpck32.dll virusdef.zpk zvreadme.txt)
printf '\nDefPatch.exe carries the update date %s (shown as %s).\n' "$date" \
    "$(date -u -d "$date 12:00:00" '+%-m/%-d/%Y')"
