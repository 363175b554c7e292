#!/bin/sh
# Makes packages with the standard zip tool (Info-ZIP), for the tests that show
# the library unpacks what ordinary tools make. Writes OUTDIR/src/ (the files),
# the packages, and OUTDIR/fixtures.txt: one package a line, then either the
# files it must give as NAME=PATH-UNDER-src in package order, or !STATUS.
#   make_zip_fixtures.sh OUTDIR
set -eu
out=$1
rm -rf "$out"
mkdir -p "$out/src/defs/sub"
cd "$out/src"
seq 1 40000 > A.DAT
yes "virus signature pattern" | head -c 300000 > B.DAT
seq 1 30000 | gzip -9n > C.BIN
: > EMPTY.DAT
printf 'first folder file\r\n' > defs/D1.DAT
seq 5 7 90000 > defs/sub/D2.DAT

zip -q -9 -j ../zip_deflated.zpk A.DAT B.DAT C.BIN EMPTY.DAT
zip -q -0 -X -j ../zip_stored.zpk A.DAT C.BIN
zip -q ../zip_folders.zpk defs/ defs/D1.DAT defs/sub/ defs/sub/D2.DAT
zip -q -X - A.DAT C.BIN | cat > ../zip_streamed.zpk
zip -q -X -j ../zip_comment.zpk B.DAT
echo "Zorvane virus definitions" | zip -q -z ../zip_comment.zpk
zip -q -j -P secret ../zip_encrypted.zpk A.DAT

cat > ../fixtures.txt <<LIST
zip_deflated.zpk A.DAT=A.DAT B.DAT=B.DAT C.BIN=C.BIN EMPTY.DAT=EMPTY.DAT
zip_stored.zpk A.DAT=A.DAT C.BIN=C.BIN
zip_folders.zpk D1.DAT=defs/D1.DAT D2.DAT=defs/sub/D2.DAT
zip_streamed.zpk A.DAT=A.DAT C.BIN=C.BIN
zip_comment.zpk B.DAT=B.DAT
zip_encrypted.zpk !13
LIST
