#!/usr/bin/env bash
# The demo: builds DefPatch.exe (the x86_64 build, the one that runs here),
# installs a demo GlimOn AV and a demo Dravomire in a throwaway Wine prefix of
# the build tree, runs DefPatch.exe as a user would (OK in the welcome, backup
# ticked in the files-found dialog, the result dialog closed) through the
# out-of-process driver, and prints what the run did: the windows it showed,
# its exit code, the definition directories and the registry afterwards.
#   tools/demo.sh [BUILD_ROOT]      (default: ./build)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=$(mkdir -p "${1:-$src/build}" && cd "${1:-$src/build}" && pwd)

"$src/tools/setup-deps.sh"

echo "== building DefPatch.exe, zunpck32.dll, zpk.exe and the driver (x86_64)"
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
export WINEPREFIX=$demo/wineprefix
wine_start_display "$root" >/dev/null
trap "wine_env_stop '$root'" EXIT

wine() { "$WINE64" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
reg_add() { # key, value name (empty: the default value), data
    if [ -n "$2" ]; then wine reg add "HKLM\\$1" /v "$2" /t REG_SZ /d "$3" /f >/dev/null
    else wine reg add "HKLM\\$1" /ve /t REG_SZ /d "$3" /f >/dev/null; fi
}
listing() { # directory
    (cd "$1" && find . -type f -printf '      %TY-%Tm-%Td %TH:%TM  %8s  %P\n' | sort -k4)
}

echo "== installing the demo products in $demo/install"
install=$demo/install
mkdir -p "$install/GlimOn AV" "$install/Shared" "$install/Dravomire"
printf 'GlimOn AV (demo)\r\n' > "$install/GlimOn AV/glimonav.exe"
printf 'Dravomire (demo)\r\n' > "$install/Dravomire/dv95.exe"
for dir in "$install/Shared" "$install/Dravomire"; do
    printf 'October 1997 definitions, part 1\r\n' > "$dir/virscan1.dat"
    printf 'October 1997 definitions, part 2\r\n' > "$dir/virscan2.dat"
    touch -d '1997-10-01 12:00' "$dir/virscan1.dat" "$dir/virscan2.dat"
done
reg_add 'Software\Zorvane\GlimOn AV' sharedir "$(winpath "$install/Shared")\\"
reg_add 'Software\Microsoft\Windows\CurrentVersion\App Paths\glimonav.exe' '' \
    "$(winpath "$install/GlimOn AV/glimonav.exe")"
reg_add 'Software\Zorvane\Dravomire' Directory "$(winpath "$install/Dravomire")\\"

echo "== making the November 1997 update in $demo/start"
update=$demo/update start=$demo/start
mkdir -p "$update" "$start"
printf 'November 1997 definitions, part 1\r\n' > "$update/virscan1.dat"
printf 'November 1997 definitions, part 2\r\n' > "$update/virscan2.dat"
printf 'Zorvane Virus Definition Update for November 1997\r\n\r\nThe definitions in this update are dated November 1, 1997.\r\n' \
    > "$update/zvreadme.txt"
"$WINE64" "$bin/zpk.exe" pack "$(winpath "$start/virusdef.zpk")" \
    "$(winpath "$update/virscan1.dat")" "$(winpath "$update/virscan2.dat")" "$(winpath "$update/zvreadme.txt")" \
    </dev/null 2>&1 | tr -d '\r' | sed 's/^/   /'
cp "$bin/DefPatch.exe" "$bin/zunpck32.dll" "$start/"
# The program's own last-write time is the update's date.
touch -d '1997-11-01 12:00' "$start/DefPatch.exe"

echo
echo "Before the run:"
echo "   GlimOn AV shared directory $(winpath "$install/Shared")\\"
listing "$install/Shared"
echo "   Dravomire directory $(winpath "$install/Dravomire")\\"
listing "$install/Dravomire"

echo
echo "== running DefPatch.exe (started in $(winpath "$start"))"
status=0
"$WINE64" "$bin/defpatch_drive.exe" --start "$(winpath "$start")" --timeout 60000 \
    --answer "Zorvane Virus Definition Update=Press:1" \
    --answer "Virus Definition Files Found=Press:1,tick:1005" \
    --answer "?Update Complete=Press:8" \
    --answer "?No Files Were Updated=Press:1" \
    -- "$(winpath "$start/DefPatch.exe")" </dev/null 2>/dev/null | tr -d '\r' | sed 's/^/   /' || status=$?

echo
echo "After the run:"
echo "   GlimOn AV shared directory"
listing "$install/Shared"
echo "   Dravomire directory"
listing "$install/Dravomire"
echo "   Start directory"
listing "$start"
registry() { # key
    local out
    out=$(wine reg query "HKLM\\$1" /s | grep -v '^reg:' | sed -n 's/^\(.\)/      \1/p' || true)
    echo "${out:-      (none)}"
}
echo "   Registry under HKLM\\Software\\Zorvane"
registry 'Software\Zorvane'
echo "   App Paths of TWAgent.exe"
registry 'Software\Microsoft\Windows\CurrentVersion\App Paths\TWAgent.exe'

if [ "$status" -ne 0 ]; then
    echo
    echo "The run did not go as the demo expects (see the windows above)."
fi
exit "$status"
