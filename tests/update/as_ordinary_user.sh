#!/bin/sh
# Runs a Windows test program as an ordinary user: as root, through setpriv as the
# unprivileged user 65534 in that user's own Wine prefix (which tools/wine-env.sh
# prepares); as any other user, as it is, through the build's wine-exec.sh.
#   as_ordinary_user.sh WINE_EXEC NOBODY_PREFIX PROGRAM [ARGS...]
set -u
wine_exec=$1
prefix=$2
shift 2

if [ "$(id -u)" -ne 0 ]; then
    exec "$wine_exec" "$@"
fi
if [ ! -f "$prefix/.defpatch-ready" ]; then
    echo "No Wine prefix for the user 65534 at $prefix: run the tests through tools/test.sh," \
         "whose tools/wine-env.sh makes it." >&2
    exit 1
fi
# A prefix copied from root's names root's server directory in its file
# "wineserver"; that user cannot enter it, so Wine must be left to make its own.
if [ -f "$prefix/wineserver" ] &&
   [ "$(stat -c %u "/tmp/$(cat "$prefix/wineserver")" 2>/dev/null)" != 65534 ]; then
    rm -f "$prefix/wineserver"
fi
root=$(dirname "$prefix")
display=${DISPLAY:-$(cat "$root/display" 2>/dev/null)}

as_nobody() {
    setpriv --reuid=65534 --regid=65534 --clear-groups \
        env -i HOME="$root/home-nobody" WINEPREFIX="$prefix" DISPLAY="$display" \
        WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$@"
}
# As in wine-exec.sh: a warm server whose helpers do not hold CTest's pipes.
as_nobody /usr/lib/wine/wineserver64 -p60 </dev/null >/dev/null 2>&1
as_nobody /usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1
as_nobody /usr/lib/wine/wine64 "$@"
