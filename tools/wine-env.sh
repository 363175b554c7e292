# Sourced by the test and demo commands: gives the build root its own Wine
# prefix and its own Xvfb display, and stops the display on exit.
#   wine_env_start BUILD_ROOT
# sets WINEPREFIX, DISPLAY, WINEDEBUG, WINEDLLOVERRIDES, and WINE_NOBODY_PREFIX
# (a copy of the prefix owned by the unprivileged user 65534, made when root).

WINE64=/usr/lib/wine/wine64
WINESERVER64=/usr/lib/wine/wineserver64

wine_make_prefix() {
    local prefix=$1
    [ -f "$prefix/system.reg" ] && [ -f "$prefix/.defpatch-ready" ] && return 0
    rm -rf "$prefix"
    mkdir -p "$prefix"
    echo "Creating the Wine prefix $prefix"
    WINEPREFIX=$prefix "$WINE64" wineboot -i </dev/null >/dev/null 2>&1
    # Without a window manager Wine spends 2 s on every closing window unless it
    # leaves window management alone.
    WINEPREFIX=$prefix "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        </dev/null >/dev/null 2>&1
    WINEPREFIX=$prefix "$WINESERVER64" -w
    touch "$prefix/.defpatch-ready"
}

wine_start_display() {
    local root=$1 n
    for n in $(seq 91 190); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -ac >/dev/null 2>&1 &
        WINE_XVFB_PID=$!
        local tries=0
        while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $tries -lt 50 ]; do sleep 0.1; tries=$((tries + 1)); done
        if kill -0 "$WINE_XVFB_PID" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
            export DISPLAY=":$n"
            echo "$DISPLAY" > "$root/display"
            return 0
        fi
    done
    echo "Could not start Xvfb" >&2
    return 1
}

wine_env_stop() {
    [ -n "${WINEPREFIX:-}" ] && WINEPREFIX=$WINEPREFIX "$WINESERVER64" -k >/dev/null 2>&1 || true
    [ -n "${WINE_NOBODY_PREFIX:-}" ] && [ -d "$WINE_NOBODY_PREFIX" ] && \
        setpriv --reuid=65534 --regid=65534 --clear-groups env -i WINEPREFIX="$WINE_NOBODY_PREFIX" \
            "$WINESERVER64" -k >/dev/null 2>&1 || true
    [ -n "${WINE_XVFB_PID:-}" ] && kill "$WINE_XVFB_PID" 2>/dev/null || true
    [ -n "${1:-}" ] && rm -f "$1/display"
    return 0
}

wine_env_start() {
    local root=$1
    mkdir -p "$root"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEPREFIX="$root/wineprefix"
    wine_make_prefix "$WINEPREFIX"
    if [ "$(id -u)" -eq 0 ]; then
        # Tests of read-only files need an ordinary user: as root Wine writes them.
        export WINE_NOBODY_PREFIX="$root/wineprefix-nobody"
        if [ ! -f "$WINE_NOBODY_PREFIX/.defpatch-ready" ]; then
            rm -rf "$WINE_NOBODY_PREFIX" "$root/home-nobody"
            cp -a "$WINEPREFIX" "$WINE_NOBODY_PREFIX"
            # The copy's "wineserver" file names root's server directory, which
            # the user cannot enter: let Wine make the user's own.
            rm -f "$WINE_NOBODY_PREFIX/wineserver"
            mkdir -p "$root/home-nobody"
            chown -R 65534:65534 "$WINE_NOBODY_PREFIX" "$root/home-nobody"
        fi
    fi
    wine_start_display "$root"
    trap "wine_env_stop '$root'" EXIT
}
