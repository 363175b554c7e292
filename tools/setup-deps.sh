#!/usr/bin/env bash
# Installs what building and testing DefPatch needs on a Debian 12 machine: the
# i686 mingw-w64 cross compiler, 32-bit Wine and its fonts, Xvfb, zlib for both
# sides, OpenSSL (the signing tool and the test key), clang with libFuzzer,
# Python, and the tools of the benchmark. Does nothing when all is there.
set -euo pipefail

need=()
have() { command -v "$1" >/dev/null 2>&1; }
have i686-w64-mingw32-g++-posix   || need+=(g++-mingw-w64-i686)
[ -x /usr/lib/wine/wine ] && [ -x /usr/lib/wine/wineserver64 ] || need+=(wine wine32:i386 wine64)
# Wine's bcrypt checks RSA signatures with GnuTLS, which wine only recommends;
# so are Wine's own fonts (Marlett draws the caption buttons in the pictures).
[ -e /usr/lib/i386-linux-gnu/libgnutls.so.30 ] || need+=(libgnutls30:i386)
[ -f /usr/share/wine/fonts/marlett.ttf ] || need+=(fonts-wine)
have Xvfb                         || need+=(xvfb)
[ -f /usr/i686-w64-mingw32/lib/libz.a ] || need+=(libz-mingw-w64-dev)
[ -f /usr/include/zlib.h ]        || need+=(zlib1g-dev)
[ -f /usr/include/openssl/evp.h ] || need+=(libssl-dev)
have openssl                      || need+=(openssl)
have cmake                        || need+=(cmake)
have ninja                        || need+=(ninja-build)
have clang++                      || need+=(clang)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
have setpriv                      || need+=(util-linux)
have python3                      || need+=(python3)
have unzip                        || need+=(unzip)
have zip                          || need+=(zip)
[ -x /usr/bin/time ]              || need+=(time)
have fusefat                      || need+=(fusefat)
[ -x /usr/sbin/mkfs.vfat ]        || need+=(dosfstools)

[ ${#need[@]} -eq 0 ] && exit 0

echo "Installing: ${need[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [[ " ${need[*]} " == *":i386 "* ]]; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}" >/dev/null
