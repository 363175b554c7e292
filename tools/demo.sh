#!/usr/bin/env bash
# The demo: a whole update of two demo product installs, in a throwaway 32-bit
# Wine prefix of the build tree.
#
#   tools/demo.sh [--interactive] [--silent] [--pictures DIR] [--release DIR] [BUILD_ROOT]
#
# It builds the i686 DefPatch.exe and zunpck32.dll (the release build), installs
# a demo GlimOn AV and a demo Dravomire (registry values and program files) in a
# fresh Wine prefix (BUILD_ROOT/demo, default ./build/demo), makes a November 1997
# update package signed with the build's test key (BUILD_ROOT/test-key), runs
# DefPatch.exe and prints what the run did: the windows it
# showed, its exit code, every definition file's date before and after with what
# happened to it (replaced, kept, new), the backups, and the registry values
# written, and the run's block in the log.
#
#   (default)       the run is driven as a user would: OK in the welcome, the
#                   backup box ticked and OK in the files-found dialog, Exit in
#                   the result dialog; the driver answers on a private display.
#   --silent        the run is DefPatch.exe /S, as an administrator pushes it.
#   --interactive   the run is yours: the dialogs open on your own X display
#                   ($DISPLAY) and you answer them.
#   --pictures DIR  take pictures of the windows a user meets (tools/pictures.py)
#                   instead, as PNG files in DIR: the README's docs/ are made so.
#                   The "Fatal" box needs a small volume, which only root can
#                   mount: without root that picture is left out.
#   --release DIR   use DefPatch.exe, zunpck32.dll and virusdef.zpk from a release
#                   folder made by tools/release.sh instead of the demo package.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)

mode=driven release="" pictures=""
while [ $# -gt 0 ]; do
    case $1 in
        --interactive) mode=interactive; shift ;;
        --silent) mode=silent; shift ;;
        --release) release=$(cd "$2" && pwd); shift 2 ;;
        --pictures) mode=pictures; pictures=$(mkdir -p "$2" && cd "$2" && pwd); shift 2 ;;
        -h|--help) sed -n '2,/^[^#]/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; exit 0 ;;
        -*) echo "demo: unknown option $1 (see --help)" >&2; exit 2 ;;
        *) break ;;
    esac
done
root=$(mkdir -p "${1:-$src/build}" && cd "${1:-$src/build}" && pwd)
if [ "$mode" = interactive ] && [ -z "${DISPLAY:-}" ]; then
    echo "demo: --interactive needs your X display in DISPLAY" >&2
    exit 2
fi

"$src/tools/setup-deps.sh"
. "$src/tools/wine-env.sh"
wine32_ready

echo "== building DefPatch.exe, zunpck32.dll and the driver (i686), and zpk (native)"
# A tree that is configured already is only brought up to date.
[ -f "$root/win32/build.ninja" ] ||
    cmake -S "$src" -B "$root/win32" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$root/win32" -j "$(nproc)" --target DefPatch zunpck32 defpatch_drive >/dev/null
[ -f "$root/native/build.ninja" ] ||
    cmake -S "$src" -B "$root/native" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$root/native" --target zpk >/dev/null
bin=$root/win32/bin

# A fresh prefix for every demo run, the demo's own, so that its registry values
# never reach the tests' prefix and no earlier run's results linger.
demo=$root/demo
rm -rf "$demo"
mkdir -p "$demo"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32 WINEPREFIX=$demo/wineprefix
# The display comes first: Wine's desktop takes the display it starts with.
if [ "$mode" = interactive ]; then
    trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT
else
    wine_start_display
    trap wine_env_stop EXIT
fi
echo "== making a 32-bit Wine prefix in $WINEPREFIX"
"$WINE" wineboot -i </dev/null >/dev/null 2>&1
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
# Debian's Wine 8 looks for its own fonts (fonts-wine, in /usr/share/wine/fonts)
# in /usr/share/fonts, and so never finds them: without Marlett, the font of the
# caption buttons, it draws them as the letters "0", "1" and "r", and without its
# MS Sans Serif the dialogs take some other font. The prefix's Windows font
# folder, which Wine does read, gets them.
cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$WINEPREFIX/drive_c/windows/Fonts/"

wine() { "$WINE" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
winpath() { # a path as Windows names it: under the prefix's drive C:, or through Z:
    local p=$1
    case $p in "$WINEPREFIX/drive_c/"*) p=${p#"$WINEPREFIX/drive_c"}; p="C:${p//\//\\}" ;; *) p="Z:${p//\//\\}" ;; esac
    echo "$p"
}
definition_file() { # path, text, date
    printf '%s\r\n' "$2" > "$1"
    touch -d "$3 12:00 UTC" "$1"
}

install=$WINEPREFIX/drive_c/Zorvane
echo "== installing the demo products in $(winpath "$install")"
shared=$install/Shared dravomire=$install/Dravomire
mkdir -p "$install/GlimOn AV" "$shared" "$dravomire"
printf 'GlimOn AV (demo)\r\n' > "$install/GlimOn AV/glimonav.exe"
printf 'Dravomire (demo)\r\n' > "$dravomire/dv95.exe"
# GlimOn AV has October's files; Dravomire has October's first file and a second
# file that a December hot-fix already brought, newer than this update.
definition_file "$shared/virscan1.dat" 'October 1997 definitions, part 1' 1997-10-01
definition_file "$shared/virscan2.dat" 'October 1997 definitions, part 2' 1997-10-01
definition_file "$dravomire/virscan1.dat" 'October 1997 definitions, part 1' 1997-10-01
definition_file "$dravomire/virscan2.dat" 'December 1997 hot-fix, part 2' 1997-12-03
wine reg add 'HKLM\Software\Zorvane\GlimOn AV' /v sharedir /t REG_SZ /d "$(winpath "$shared")\\" /f >/dev/null
wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\glimonav.exe' /ve /t REG_SZ \
    /d "$(winpath "$install/GlimOn AV/glimonav.exe")" /f >/dev/null
wine reg add 'HKLM\Software\Zorvane\Dravomire' /v Directory /t REG_SZ /d "$(winpath "$dravomire")\\" /f >/dev/null

start=$demo/start
mkdir -p "$start"
if [ -n "$release" ]; then
    echo "== taking the update from the release folder $release"
    for f in DefPatch.exe zunpck32.dll virusdef.zpk; do
        [ -f "$release/$f" ] || { echo "demo: $release has no $f" >&2; exit 2; }
    done
    cp -p "$release/DefPatch.exe" "$release/zunpck32.dll" "$release/virusdef.zpk" "$start/"
else
    echo "== making the November 1997 update in $start"
    update=$demo/update
    mkdir -p "$update"
    printf 'November 1997 definitions, part 1\r\n' > "$update/virscan1.dat"
    printf 'November 1997 definitions, part 2\r\n' > "$update/virscan2.dat"
    printf 'November 1997 definitions, part 3 (new)\r\n' > "$update/virscan3.dat"
    printf 'Zorvane Virus Definition Update for November 1997\r\n\r\nThe definitions in this update are dated November 1, 1997.\r\n' \
        > "$update/zvreadme.txt"
    # Signed with the build's test key, which this build's zunpck32.dll trusts.
    "$root/native/bin/zpk" pack --key "$root/test-key/private.pem" "$start/virusdef.zpk" \
        "$update"/virscan{1,2,3}.dat "$update/zvreadme.txt" | sed 's/^/   /'
    cp "$bin/DefPatch.exe" "$bin/zunpck32.dll" "$start/"
    # The program's own last-write time is the update's date.
    touch -d '1997-11-01 12:00 UTC' "$start/DefPatch.exe"
fi
echo "   DefPatch.exe is dated $(date -u -r "$start/DefPatch.exe" '+%Y-%m-%d %H:%M UTC'): the update's date"

# One line per definition file: name, last-write time, size, checksum.
snapshot() { # directory
    (cd "$1" && find . -maxdepth 1 -type f ! -name dv95.exe -printf '%P\n' | sort | while read -r f; do
        printf '%s|%s|%s|%s\n' "$f" "$(date -u -r "$f" '+%Y-%m-%d %H:%M')" "$(stat -c %s "$f")" \
            "$(md5sum < "$f" | cut -c1-32)"
    done)
}
before_shared=$(snapshot "$shared") before_dravomire=$(snapshot "$dravomire")

if [ "$mode" = pictures ]; then
    [ -x /usr/bin/import ] || { [ "$(id -u)" -eq 0 ] || sudo=sudo; ${sudo:-} apt-get install -y -qq imagemagick >/dev/null; }
    echo "== pictures of the windows, in $pictures"
    if [ "$(id -u)" -eq 0 ]; then
        # Drive F: a full 1 MiB volume, for the "Fatal" box.
        mkdir -p "$demo/full"
        mount -t tmpfs -o size=1m tmpfs "$demo/full"
        trap 'umount "$demo/full"; wine_env_stop' EXIT
        head -c 1048576 /dev/zero > "$demo/full/filler" 2>/dev/null || true
        ln -sfn "$demo/full" "$WINEPREFIX/dosdevices/f:"
        export PICTURE_FULL_DRIVE=1
    fi
    python3 "$src/tools/pictures.py" "$bin/defpatch_drive.exe" "$start" "$pictures"
    exit
fi

echo
echo "== running DefPatch.exe (started in $(winpath "$start"))"
status=0
# The driver (tests/driver.cpp) runs the program and answers each window in turn.
drive() { # command line, then one answer per window, whatever window comes
    local line answer
    line=$(printf 'run\t%s\t-1\t%s\t' "$(winpath "$start")" "$1")
    for answer in "${@:2}"; do line+=$'\t*\t'$answer; done
    printf '%s\n' "$line" |
        "$WINE" "$bin/defpatch_drive.exe" 2>/dev/null | tr -d '\r' |
        grep -v '^\.$' | sed 's/^win /   window: /;s/^note /   /;s/^exit /   exit code /'
}
case $mode in
    driven) drive "" ok "tick ok" esc ;;
    silent) drive /S ;;
    interactive)
        echo "   The dialogs open on your display $DISPLAY; answer them as you like."
        code=0
        (cd "$start" && "$WINE" DefPatch.exe </dev/null 2>/dev/null) || code=$?
        echo "   exit code $code"
        ;;
esac | tee "$demo/run.txt"
grep -q 'exit code 1$' "$demo/run.txt" && ! grep -q 'unexpected\|never shown\|killed' "$demo/run.txt" || status=1

report() { # title, directory, snapshot before
    local title=$1 dir=$2 before=$3 after
    after=$(snapshot "$dir")
    echo "   $title $(winpath "$dir")\\"
    printf '      %-14s %-24s %-24s %s\n' file before after outcome
    local names
    names=$( (cut -d'|' -f1 <<<"$before"; cut -d'|' -f1 <<<"$after") | grep -v '^$' | sort -u)
    for f in $names; do
        local b a outcome
        b=$(grep "^$f|" <<<"$before" || true)
        a=$(grep "^$f|" <<<"$after" || true)
        if [ -z "$b" ]; then outcome=new
        elif [ -z "$a" ]; then outcome=REMOVED
        elif [ "$(cut -d'|' -f4 <<<"$b")" = "$(cut -d'|' -f4 <<<"$a")" ]; then outcome=kept
        else outcome=replaced
        fi
        fmt() { [ -n "$1" ] && printf '%s %5s B' "$(cut -d'|' -f2 <<<"$1")" "$(cut -d'|' -f3 <<<"$1")" || printf -- '-'; }
        printf '      %-14s %-24s %-24s %s\n' "$f" "$(fmt "$b")" "$(fmt "$a")" "$outcome"
    done
    if [ -d "$dir/Backup" ]; then
        echo "      backups in Backup\\:"
        (cd "$dir/Backup" && find . -type f -printf '        %P  %TY-%Tm-%Td %TH:%TM\n' | sort)
    fi
}
echo
echo "Definition files, before and after:"
report "GlimOn AV shared directory" "$shared" "$before_shared"
report "Dravomire directory" "$dravomire" "$before_dravomire"
left=$(cd "$WINEPREFIX/drive_c/users" && find . -path '*/Temp/*' -type f \( -name 'virusdef.zpk' -o -name '*.dat' -o -name zvreadme.txt \) | wc -l)
echo "   files left in the temporary directory: $left"

registry() { # key
    local out
    out=$(wine reg query "HKLM\\$1" /s | grep -v '^reg:' | grep -v '^HKEY' | sed -n 's/^ *\(.\)/      \1/p' || true)
    echo "${out:-      (none)}"
}
echo
echo "Registry values written:"
for key in 'Software\Zorvane\Shared' 'Software\Zorvane\Tendwise\CurrentVersion\Twagent.exe' \
           'Software\Microsoft\Windows\CurrentVersion\App Paths\TWAgent.exe'; do
    echo "   HKLM\\$key"
    registry "$key"
done

echo
echo "The run's block in its log, C:\\windows\\DefPatch.log:"
tr -d '\r' < "$WINEPREFIX/drive_c/windows/DefPatch.log" | sed 's/^/   /'

if [ "$status" -ne 0 ] && [ "$mode" != interactive ]; then
    echo
    echo "The run did not go as the demo expects (see the windows above)."
    exit 1
fi
