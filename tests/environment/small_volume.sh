#!/bin/sh
# Mounts (or removes) the small volume of the tests of a full disk: a 1 MiB tmpfs
# under the build tree, linked as drive S: of the tests' Wine prefix.
#   small_volume.sh mount|unmount BUILD_DIR WINEPREFIX
# Mounting needs root; elsewhere nothing is mounted and the tests that need the
# volume skip, saying why.
set -u
action=$1
dir=$2/small-volume
link=$3/dosdevices/s:

case $action in
mount)
    if [ "$(id -u)" -ne 0 ]; then
        echo "Not root: no small volume is mounted, and the tests that need one skip."
        exit 0
    fi
    mkdir -p "$dir" "$3/dosdevices" || exit 1
    if mountpoint -q "$dir"; then umount "$dir" || umount -l "$dir"; fi
    mount -t tmpfs -o size=1m,mode=1777 tmpfs "$dir" || exit 1
    ln -sfn "$dir" "$link" || exit 1
    echo "Small volume $dir mounted as S:"
    ;;
unmount)
    if [ -L "$link" ]; then rm -f "$link"; fi
    if mountpoint -q "$dir"; then umount "$dir" 2>/dev/null || umount -l "$dir"; fi
    rmdir "$dir" 2>/dev/null
    exit 0
    ;;
*)
    echo "usage: $0 mount|unmount BUILD_DIR WINEPREFIX" >&2
    exit 2
    ;;
esac
