# Sourced by the test, demo and benchmark commands: 32-bit Wine for the release
# build, a Wine prefix of the build tree, and an Xvfb display of its own.
#   wine32_ready                   32-bit Windows programs can run (sets WINE32_MODE)
#   wine_env_start BUILD_ROOT      the prefix BUILD_ROOT/wineprefix, a display, a warm server
#   as_tester COMMAND...           runs COMMAND as the user the tests run as
# As root the tests run as the unprivileged user 65534 (as root, Wine writes
# read-only files), in a prefix that user owns.

WINE=/usr/lib/wine/wine
WINESERVER=/usr/lib/wine/wineserver64

# 32-bit programs run natively where the kernel can run 32-bit code, and through
# QEMU's user mode (Debian's bookworm-backports, 10.x) where it cannot.
# DEFPATCH_FORCE_QEMU=1 takes QEMU even where native would do.
wine32_ready() {
    if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
        WINE32_MODE="QEMU user mode"
    elif [ -z "${DEFPATCH_FORCE_QEMU:-}" ] && /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then
        WINE32_MODE=native
    else
        echo "32-bit programs cannot run natively here: registering QEMU's user mode for them"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo=sudo
        if [ ! -x /usr/bin/qemu-i386-static ] || ! /usr/bin/qemu-i386-static --version | grep -q 'version 1[0-9]'; then
            # Backports from the machine's own Debian mirror.
            local sources=/etc/apt/sources.list.d/bookworm-backports.list mirror
            mirror=$(grep -hE '^deb .*bookworm( |$)' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
                     awk '{for (i = 2; i <= NF; i++) if ($i ~ /^https?:/) { print $i; exit }}')
            [ -n "$mirror" ] || mirror=$(awk '/^URIs:/ { u = $2 } /^Suites:/ && / bookworm( |$)/ { print u; exit }' \
                                         /etc/apt/sources.list.d/*.sources 2>/dev/null)
            echo "deb ${mirror:-http://deb.debian.org/debian} bookworm-backports main" | $sudo tee "$sources" >/dev/null
            $sudo apt-get update -qq
            DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -t bookworm-backports qemu-user-static >/dev/null
        fi
        mountpoint -q /proc/sys/fs/binfmt_misc || $sudo mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            | $sudo tee /proc/sys/fs/binfmt_misc/register >/dev/null
        WINE32_MODE="QEMU user mode"
    fi
    /usr/lib/wine/wineserver32 --version >/dev/null 2>&1
}

TESTER_HOME=""
as_tester() {
    if [ "$(id -u)" -eq 0 ]; then
        setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$TESTER_HOME" USER=nobody "$@"
    else
        "$@"
    fi
}

wine_start_display() {
    local n
    for n in $(seq 91 190); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -ac >/dev/null 2>&1 &
        WINE_XVFB_PID=$!
        local tries=0
        while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $tries -lt 50 ]; do sleep 0.1; tries=$((tries + 1)); done
        if kill -0 "$WINE_XVFB_PID" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "Could not start Xvfb" >&2
    return 1
}

wine_env_stop() {
    [ -n "${WINEPREFIX:-}" ] && as_tester env WINEPREFIX="$WINEPREFIX" "$WINESERVER" -k >/dev/null 2>&1 || true
    [ -n "${WINE_XVFB_PID:-}" ] && kill "$WINE_XVFB_PID" 2>/dev/null || true
    return 0
}

wine_env_start() {
    local root=$1
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32
    export WINEPREFIX="$root/wineprefix"
    TESTER_HOME=$root/home
    mkdir -p "$TESTER_HOME"
    [ "$(id -u)" -eq 0 ] && chown 65534:65534 "$TESTER_HOME"
    # The display comes first: Wine's desktop takes the display it starts with.
    wine_start_display
    trap wine_env_stop EXIT
    if [ ! -f "$WINEPREFIX/.defpatch-ready" ]; then
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        [ "$(id -u)" -eq 0 ] && chown 65534:65534 "$WINEPREFIX"
        echo "Creating the 32-bit Wine prefix $WINEPREFIX"
        as_tester "$WINE" wineboot -i </dev/null >/dev/null 2>&1
        # Without a window manager Wine spends 2 s on every closing window unless
        # it leaves window management alone.
        as_tester "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
        as_tester "$WINESERVER" -w
        touch "$WINEPREFIX/.defpatch-ready"
    fi
    # A lingering server makes each start cheap; its helpers must not hold our pipes.
    as_tester "$WINESERVER" -p60 </dev/null >/dev/null 2>&1 || true # one may be up already
    as_tester "$WINE" cmd /c exit </dev/null >/dev/null 2>&1
}
