#!/usr/bin/env bash
# The demo: a whole update of two demo product installs, in a throwaway Wine
# prefix of the build tree.
#
#   tools/demo.sh [--interactive] [--silent] [--release DIR] [BUILD_ROOT]
#
# It builds DefPatch.exe (the x86_64 build, the one that runs here), installs a
# demo GlimOn AV and a demo Dravomire (registry values and program files) in a
# fresh copy of the build's Wine prefix (BUILD_ROOT/demo, default ./build/demo),
# makes a November 1997 update package, runs DefPatch.exe and prints what the
# run did: the windows it showed, its exit code, every definition file's date
# before and after with what happened to it (replaced, kept, new), the backups,
# and the registry values written.
#
#   (default)       the run is driven as a user would: OK in the welcome, the
#                   backup box ticked and OK in the files-found dialog, Exit in
#                   the result dialog; the driver answers on a private display.
#   --silent        the run is DefPatch.exe /S, as an administrator pushes it.
#   --interactive   the run is yours: the dialogs open on your own X display
#                   ($DISPLAY) and you answer them.
#   --release DIR   use DefPatch.exe, zunpck32.dll and virusdef.zpk from a release
#                   folder made by tools/release.sh --arch x86_64 (32-bit programs
#                   cannot run on this machine) instead of the demo package.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)

mode=driven release=""
while [ $# -gt 0 ]; do
    case $1 in
        --interactive) mode=interactive; shift ;;
        --silent) mode=silent; shift ;;
        --release) release=$(cd "$2" && pwd); shift 2 ;;
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

echo "== building DefPatch.exe, zunpck32.dll, zpk.exe and the driver (x86_64)"
# A tree that is configured already is only brought up to date.
[ -f "$root/win64/build.ninja" ] ||
    cmake -S "$src" -B "$root/win64" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-x86_64.cmake" -DDEFPATCH_WINEPREFIX="$root/wineprefix" >/dev/null
cmake --build "$root/win64" -j "$(nproc)" --target DefPatch zunpck32 zpk defpatch_drive >/dev/null
bin=$root/win64/bin

. "$src/tools/wine-env.sh"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_make_prefix "$root/wineprefix"

# A fresh copy of the prefix for every demo run, so the demo's registry values
# never reach the test prefix and no earlier run's results linger.
demo=$root/demo
rm -rf "$demo"
mkdir -p "$demo"
cp -a "$root/wineprefix" "$demo/wineprefix"
rm -f "$demo/wineprefix/wineserver"
export WINEPREFIX=$demo/wineprefix
if [ "$mode" = interactive ]; then
    trap "WINEPREFIX='$WINEPREFIX' '$WINESERVER64' -k >/dev/null 2>&1 || true" EXIT
else
    unset WINE_NOBODY_PREFIX
    wine_start_display "$demo" >/dev/null
    trap "wine_env_stop '$demo'" EXIT
fi

wine() { "$WINE64" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
reg_add() { # key, value name (empty: the default value), data
    if [ -n "$2" ]; then wine reg add "HKLM\\$1" /v "$2" /t REG_SZ /d "$3" /f >/dev/null
    else wine reg add "HKLM\\$1" /ve /t REG_SZ /d "$3" /f >/dev/null; fi
}
definition_file() { # path, text, date
    printf '%s\r\n' "$2" > "$1"
    touch -d "$3 12:00 UTC" "$1"
}

echo "== installing the demo products in $demo/install"
install=$demo/install
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
reg_add 'Software\Zorvane\GlimOn AV' sharedir "$(winpath "$shared")\\"
reg_add 'Software\Microsoft\Windows\CurrentVersion\App Paths\glimonav.exe' '' \
    "$(winpath "$install/GlimOn AV/glimonav.exe")"
reg_add 'Software\Zorvane\Dravomire' Directory "$(winpath "$dravomire")\\"

start=$demo/start
mkdir -p "$start"
if [ -n "$release" ]; then
    echo "== taking the update from the release folder $release"
    for f in DefPatch.exe zunpck32.dll virusdef.zpk; do
        [ -f "$release/$f" ] || { echo "demo: $release has no $f" >&2; exit 2; }
    done
    if ! objdump -f "$release/DefPatch.exe" | grep -q 'x86-64'; then
        echo "demo: $release/DefPatch.exe is a 32-bit program, which cannot run on this machine;" >&2
        echo "      make the folder with tools/release.sh --arch x86_64" >&2
        exit 2
    fi
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
    "$WINE64" "$bin/zpk.exe" pack "$(winpath "$start/virusdef.zpk")" \
        "$(winpath "$update/virscan1.dat")" "$(winpath "$update/virscan2.dat")" \
        "$(winpath "$update/virscan3.dat")" "$(winpath "$update/zvreadme.txt")" \
        </dev/null 2>&1 | tr -d '\r' | sed 's/^/   /'
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

echo
echo "== running DefPatch.exe (started in $(winpath "$start"))"
status=0
case $mode in
    driven)
        "$WINE64" "$bin/defpatch_drive.exe" --start "$(winpath "$start")" --timeout 60000 \
            --answer "Zorvane Virus Definition Update=Press:1" \
            --answer "Virus Definition Files Found=Press:1,tick:1005" \
            --answer "?Update Complete=Press:8" \
            --answer "?No Files Were Updated=Press:1" \
            -- "$(winpath "$start/DefPatch.exe")" </dev/null 2>/dev/null | tr -d '\r' | sed 's/^/   /' || status=$?
        ;;
    silent)
        "$WINE64" "$bin/defpatch_drive.exe" --start "$(winpath "$start")" --timeout 60000 \
            -- "$(winpath "$start/DefPatch.exe")" /S </dev/null 2>/dev/null | tr -d '\r' | sed 's/^/   /' || status=$?
        ;;
    interactive)
        echo "   The dialogs open on your display $DISPLAY; answer them as you like."
        code=0
        (cd "$start" && "$WINE64" DefPatch.exe </dev/null 2>/dev/null) || code=$?
        echo "   exit code $code"
        ;;
esac

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
echo "   HKLM\\Software\\Zorvane\\Shared"
registry 'Software\Zorvane\Shared'
echo "   HKLM\\Software\\Zorvane\\Tendwise\\CurrentVersion\\Twagent.exe"
registry 'Software\Zorvane\Tendwise\CurrentVersion\Twagent.exe'
echo "   HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\TWAgent.exe"
registry 'Software\Microsoft\Windows\CurrentVersion\App Paths\TWAgent.exe'

if [ "$status" -ne 0 ]; then
    echo
    echo "The run did not go as the demo expects (see the windows above)."
fi
exit "$status"
