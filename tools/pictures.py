#!/usr/bin/env python3
"""Pictures of the program's windows for the README, as a user sees them.

Run by tools/demo.sh --pictures DIR in the demo's Wine prefix, with the demo
products installed and the demo update in START: it runs the real DefPatch.exe
through the test driver (tests/driver.cpp), which stops at each window to be
pictured, and takes the window from the X display (ImageMagick's import),
cropped to the window, once two pictures in a row agree.

    pictures.py DRIVER START DIR
"""
import os
import subprocess
import sys
import time

WINE = "/usr/lib/wine/wine"
driver_exe, start, out = sys.argv[1:4]
os.makedirs(out, exist_ok=True)
driver = subprocess.Popen([WINE, driver_exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, text=True, encoding="latin-1", bufsize=1)
start_dir = "Z:" + start.replace("/", "\\")


def picture(name, left, top, width, height):
    path = os.path.join(out, name + ".png")
    previous = None
    for _ in range(40):  # Wine hands a window's drawing to the X server a little later
        subprocess.run(["/usr/bin/import", "-window", "root", "-crop", f"{width}x{height}+{left}+{top}",
                        "+repage", path], check=True)
        data = open(path, "rb").read()
        if data == previous:
            break
        previous = data
        time.sleep(0.1)
    print(f"   {path}")


def run(arguments, *windows, env=""):
    """Runs DefPatch.exe with `arguments`, answering each window in turn with its action; a step "shot:NAME"
    takes the window's picture as NAME.png."""
    fields = ["run", start_dir, "-1", arguments, env]
    names = []
    for action in windows:
        steps = action.split()
        names += [step[5:] for step in steps if step.startswith("shot:")]
        fields += ["*", " ".join("shot" if step.startswith("shot:") else step for step in steps)]
    driver.stdin.write("\t".join(fields) + "\n")
    transcript = []
    while (line := driver.stdout.readline().rstrip("\n")) != ".":
        if not line:
            sys.exit("pictures: the driver ended")
        if line.startswith("note shot "):
            picture(names.pop(0), *line.split()[2:])
            driver.stdin.write("go\n")
        else:
            transcript.append(line)
    if any(line.startswith(("note unexpected", "note killed")) for line in transcript) or names:
        sys.exit("pictures: the run did not go as it should:\n   " + "\n   ".join(transcript))


exe = os.path.join(start, "DefPatch.exe")
update = os.stat(exe).st_mtime
# At the PC: the welcome, both demo folders with the backup box ticked, and the end.
run("", "shot:welcome ok", "tick shot:files-found ok", "shot:update-complete exit")
# The restore of what that update replaced; then the update once more.
run("/R", "shot:restore ok")
run("/S")
# An update older than every installed file changes nothing.
os.utime(exe, (update - 30 * 86400, update - 30 * 86400))
run("", "ok", "ok", "shot:no-files-updated ok")
os.utime(exe, (update, update))
# A full drive for the temporary directory (a small volume: the caller's drive F:).
if os.environ.get("PICTURE_FULL_DRIVE"):
    run("/S", "shot:fatal ok", env="TMP=F:\\;TEMP=F:\\")
# No product installed.
driver.stdin.write("reset\n")
while driver.stdout.readline().rstrip("\n") != ".":
    pass
run("", "ok", "shot:no-product ok")
