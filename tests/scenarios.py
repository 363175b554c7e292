"""The scenario table: the real DefPatch.exe, run as a user or an administrator
would run it, one row a scenario. tests/harness.py says what a row holds and
what every row is checked for; a new case is a new row.

    python3 tests/scenarios.py BUILD_DIR [WORD...]   (the rows whose names hold a WORD)
"""
import dataclasses, hashlib, io, os, random, shutil, struct, subprocess, sys, tempfile, zipfile, zlib
import harness
from harness import KEY_ONLY, KEYS, S, UPDATE, WAITING, Runner, new_key, ns, package, sign

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/win32")
harness.KEY = os.path.join(BUILD, "..", "test-key", "private.pem")  # made by the build, trusted by its library

WELCOME = ("Zorvane Virus Definition Update: OK | Cancel | Welcome to the Zorvane Virus Definition Update program "
           "for November, 1997. | This program will update the virus definition files for your Zorvane product.  "
           "You will be given the chance to back up your current files. | Please press OK to continue, or Cancel "
           "to abort the update. | [109x244]")
FOUND = ("Virus Definition Files Found: OK | Cancel | Zorvane Virus Definition files were found in the following "
         "directory: | Press OK to update your virus definition files, or press Cancel to exit. | &Create backup "
         "of the current virus definition files.")
COMPLETE = ("Update Complete: View README | Exit | Your virus definition files have been updated successfully!  "
            "You may now view the README file, or press Exit to return to the operating system.")
NO_FILES = ("No Files Were Updated: OK | The Virus Definition files currently on your system are more recent than "
            "the files in this update.  No files were updated. ")
NO_PRODUCT = ("Unable to Find Zorvane AV Program: DefPatch could not find any Zorvane AV programs on your computer.  "
              "Please reinstall the application and try again. [icon]")

welcome = lambda action="ok": (WELCOME, action)
found = lambda action="ok": (FOUND, action)
complete = lambda action="exit": (COMPLETE, action)
no_files = lambda action="ok": (NO_FILES, action)
debugging = lambda text: f"Debugging: {text}"
fatal = lambda drive, k: (f"Fatal: DefPatch could not find enough space on drive {drive}: for the update files. "
                          f"Please free {k}k and re run DefPatch [icon]")
GONE = dict(new="", wrote="none")                  # nothing installed, nothing written
KEPT = dict(new="", exit=2, windows=[welcome("cancel")])
ONLY_G = dict(new="G/A.DAT G/C.DAT", found="G")   # what an update gives when only one product is found
ONLY_D = dict(new="D/A.DAT D/B.DAT D/C.DAT", found="D")
NONE_FOUND = dict(new="", wrote="date")
NO_DIRS = dict(sharedir=None, Directory=None)
BIG = bytes(range(256)) * 4096                     # 1 MiB
SCRIPTED = "scripted/whole/zunpck32.dll"
SMALL = "S:\\D\\"
START = ["DefPatch started, update of 12/5/1997, switches /S"]  # a silent run's block begins so
KEPT_LINE = "library date and download agent settings left as they were: the update did not happen whole"
LOG = "C:\\windows\\DefPatch.log"
MANY = {f"F{i:02}.DAT": os.urandom(256 << 10) for i in range(1, 20)}  # 19 files that do not compress, 4.75 MiB
ALL_MANY = " ".join(f"{d}/F{i:02}.DAT" for d in "GD" for i in range(1, 20))
RESTORE = dict(restore=True, new="", temp="")  # a row that ends with the files as before its setup's update
RESTORED = "Zorvane Virus Definition Restore: The update of 12/5/1997 was undone. "
NOT_WHOLE = "Zorvane Virus Definition Restore: The update of 12/5/1997 was not undone whole. "
RECORD_G = "G/Backup/" + harness.RECORD
DAMAGES = {"cut short": lambda t: t[:-5], "of another kind": lambda t: t.replace(b"restore", b"other"),
           "over-long": lambda t: t.replace(b"end\r\n", b"#" * 5000 + b"\r\nend\r\n"),
           "naming a path": lambda t: t.replace(b"added C.DAT", b"added ..\\..\\x")}
OLD_LOG = b"2026-01-01 00:00:00 1 a line of an earlier run\r\n" * 20481  # just past 1 MiB less a block's room
FULL_DIR = "C:\\t\\" + "g" * 249 + "\\"         # 255 characters: with its terminator the whole buffer
LONG_DIR = "C:\\t\\" + "g" * 244 + "\\"         # 250 characters: with A.DAT a path of 255
ON_SMALL = dict(reg=dict(Directory=SMALL), files={"S/D/dv95.exe": b"program"}, needs="S:")
DIAG = ["Diagnostic:: In diagnostic mode", "DefPatch dated:: 12/5/1997"]
TRANSFERS = ["Xfering: 10/1/1997: A.DAT", "Not Xfering: B.DAT is dated 1/3/1998",
             "Transfering - no copy exists: C.DAT", "Xfering: 10/1/1997: A.DAT",
             "Transfering - no copy exists: B.DAT", "Xfering: 12/5/1997: C.DAT"]


def ran(*steps, at=None, then=None):
    """A setup that takes each step in turn: a command line runs DefPatch silently, ending with exit 1, or with
    the code given with it, and the boxes it shows answered, as ("/S", 1, "Debugging: 25"); the last run is dated
    `at`, the others (and without `at` the last too) as the row's update; a function is called. Then `then`."""
    def setup(r):
        row_time = os.stat(r.path("run/DefPatch.exe")).st_mtime_ns
        runs = [step for step in steps if not callable(step)]
        for step in steps:
            if callable(step):
                step(r)
                continue
            args, code, *boxes = step if isinstance(step, tuple) else (step, 1)
            runs.pop(0)
            when = row_time if runs or at is None else at
            os.utime(r.path("run/DefPatch.exe"), ns=(when, when))
            got = r.cmd("run", "C:\\t\\run", "-1", args, "TMP=C:\\t\\tmp\\;TEMP=C:\\t\\tmp\\",
                        *[part for box in boxes for part in (box, "ok")])
            assert got[-1] == f"exit {code}", got
        if then:
            then(r)
    return setup


# The longest names a package may give, as many as it may hold.
LONGEST = [f"{i:02}" + "N" * 29 for i in range(19)]
# Beside the files a replacement puts in place: names its new copies could take.
NEIGHBOURS = {"G/~00/x": b"in a folder", "G/~01": b"someone's", "D/~00": b"someone's", "D/Backup/~00": b"someone's",
              "G/Backup/" + harness.RECORD + "~": b"someone's"}
# The progress boxes of /S /B /D over the usual installs, in order.
KILL_BOXES = [*DIAG, "Copying backup file to:: C:\\t\\G\\Backup\\A.DAT", "Xfering: 10/1/1997: A.DAT",
              "Not Xfering: B.DAT is dated 1/3/1998", "Transfering - no copy exists: C.DAT",
              "Copying backup file to:: C:\\t\\D\\Backup\\A.DAT", "Xfering: 10/1/1997: A.DAT",
              "Transfering - no copy exists: B.DAT", "Copying backup file to:: C:\\t\\D\\Backup\\C.DAT",
              "Xfering: 12/5/1997: C.DAT"]


def killed_at(k):
    """A setup that runs /S /B /D and kills it at its k-th box, and then finds every definition file whole: its
    bytes from before, or the package's. What the killed run left in the temporary directory is put away."""
    def setup(r):
        answers = [part for box in KILL_BOXES[:k - 1] for part in (box, "ok")] + [KILL_BOXES[k - 1], "kill"]
        got = r.cmd("run", "C:\\t\\run", "-1", "/S /B /D", "TMP=C:\\t\\tmp\\;TEMP=C:\\t\\tmp\\", *answers)
        assert got[-1] == "exit 9999", got
        for rel, state in r.snapshot().items():
            if rel[0] in "GD" and "/Backup" not in rel and rel != "D/dv95.exe" and isinstance(state, tuple):
                assert state[0] in (r.pristine.get(rel, ("",))[0], b"new " + rel[2:].encode()), (rel, state)
        for name in os.listdir(r.path("tmp")):
            if name not in ("DefPatch.exe", "zunpck32.dll"):
                shutil.rmtree(r.path("tmp/" + name)) if os.path.isdir(r.path("tmp/" + name)) else os.remove(r.path("tmp/" + name))
    return setup


def hold_lock(r):
    """Another process holds the run lock."""
    r.write("../windows/DefPatch.lock", b"")
    r.cmd("lock", "C:\\windows\\DefPatch.lock")


GAVE_UP = "gave up waiting for another DefPatch run on this machine after "
ANSI_DIR = "C:\\t\\Dr\xe4vom\u0160\u0153\\"  # letters of code page 1252 above and below 0xA0


def lock(rel):
    """A step that holds a file of the tree open, sharing nothing, until the next run ends."""
    return lambda r: r.cmd("lock", "C:\\t\\" + rel.replace("/", "\\"))


def names(*entries, method=zipfile.ZIP_STORED):
    """A package whose entries are named exactly so (zipfile leaves names as given)."""
    return package(list(entries), method)


def field(data, name, value):
    """The package with one field set in every local and central header."""
    offsets = {"flags": (6, 8, 2), "method": (8, 10, 2), "crc": (14, 16, 4), "size": (22, 24, 4)}
    at, central_at, width = offsets[name]
    data = bytearray(data)
    for signature, offset in ((b"PK\3\4", at), (b"PK\1\2", central_at)):
        i = data.find(signature)
        while i >= 0:
            data[i + offset:i + offset + width] = value.to_bytes(width, "little")
            i = data.find(signature, i + 4)
    return bytes(data)


def end_count(data, count):
    """The package with its end record counting `count` files."""
    at = data.rfind(b"PK\5\6")
    return data[:at + 8] + count.to_bytes(2, "little") * 2 + data[at + 12:]


def refused(what, data, status, **row):
    """A package the library must refuse whole: no file installed, the status shown, exit 7."""
    return S(f"refused: {what}", package=data, windows=[debugging(status)], new="", exit=7, **row)


def streamed():
    """A package written to a stream, so each file's sizes follow it in a data descriptor."""
    out = io.BytesIO()
    class Stream(io.RawIOBase):
        def writable(self): return True
        def write(self, b): return out.write(b)
    with zipfile.ZipFile(Stream(), "w", zipfile.ZIP_DEFLATED) as z:
        for name in ("A.DAT", "B.DAT", "C.DAT"):
            with z.open(name, "w") as f:
                f.write(b"new " + name.encode())
    return out.getvalue()


def deflate_damaged():
    data = bytearray(package({"A.DAT": b"new A.DAT " * 50}))
    data[30 + 5] |= 6  # the first block of the stream is of the reserved type 3
    return bytes(data)


def overlapping(whole):
    """Two stored files whose bytes overlap: B.DAT's local header and data lie inside A.DAT's data, whole or
    reaching past its end. The headers agree with the central directory, and each file's CRC-32 is right."""
    def fields(data):
        return struct.pack("<HHHHHIII", 20, 0, 0, 0, 0x21, zlib.crc32(data), len(data), len(data))
    def local(name, data):
        return b"PK\3\4" + fields(data) + struct.pack("<HH", len(name), 0) + name
    def central(name, data, offset):
        return b"PK\1\2" + struct.pack("<H", 20) + fields(data) + struct.pack("<HHHHHII", len(name), 0, 0, 0, 0, 0, offset) + name
    inner = local(b"B.DAT", b"new B.DAT") + b"new B.DAT"
    outer = inner if whole else inner[:len(inner) // 2]
    body = local(b"A.DAT", outer) + outer + inner[len(outer):]
    directory = central(b"A.DAT", outer, 0) + central(b"B.DAT", b"new B.DAT", 35)
    return body + directory + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 2, 2, len(directory), len(body), 0)


CNG = open(os.path.join(BUILD, "bin", "cng", "bcrypt.dll"), "rb").read()  # as Vista has it, saying when it is loaded

OTHER = new_key()
SIGNED = sign(package())
CENTRAL, END = SIGNED.find(b"PK\1\2"), SIGNED.find(b"PK\5\6")


def changed(data, at):
    """The data with the byte at `at` changed (a base64 character into another)."""
    return data[:at] + (b"B" if data[at:at + 1] == b"A" else b"A") + data[at + 1:]


def unused_bits(data):
    """The signature text changed in its last character before "==", whose low bits no byte takes."""
    alphabet = b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
    at = len(data) - 3
    return data[:at] + bytes([alphabet[alphabet.index(data[at]) ^ 1]]) + data[at + 1:]


def comment(data, length):
    """The data with the length of its end record's comment set."""
    return data[:END + 20] + length.to_bytes(2, "little") + data[END + 22:]


def zipped():
    """The default package as Info-ZIP zip makes it."""
    with tempfile.TemporaryDirectory() as work:
        for name in ("A.DAT", "B.DAT", "C.DAT"):
            open(os.path.join(work, name), "wb").write(b"new " + name.encode())
        subprocess.run(["zip", "-q", "out.zpk", "A.DAT", "B.DAT", "C.DAT"], cwd=work, check=True)
        return open(work + "/out.zpk", "rb").read()


def zpk_packed():
    """The default package as zpk packs and signs it."""
    with tempfile.TemporaryDirectory() as work:
        for name in ("A.DAT", "B.DAT", "C.DAT"):
            open(os.path.join(work, name), "wb").write(b"new " + name.encode())
        subprocess.run([os.path.join(BUILD, "..", "native", "bin", "zpk"), "pack", "--key", harness.KEY,
                        work + "/out.zpk", *[os.path.join(work, n) for n in ("A.DAT", "B.DAT", "C.DAT")]],
                       check=True, capture_output=True)
        return open(work + "/out.zpk", "rb").read()


# What a PC holds from an earlier update: an update that did not happen leaves it byte for byte.
EARLIER = {"date": "11/1/1997", KEYS["agent"] + "Download Day": 3, KEYS["agentpath"]: b"C:\\t\\D\\TWAGent.exe"}
NOT_COPIED = debugging("Could not copy zpk file to C:\\t\\tmp\\DefPatch-*\\virusdef.zpk")
TEMP_ENV = "TMP=C:\\t\\tmp\\;TEMP=C:\\t\\tmp\\"  # the temporary directory rows run with


def not_happened(what, code, windows, why, **row):
    """A silent run whose update does not happen: its exit code, the registry as before, the log saying why."""
    return S(f"silent, {what}: exit {code}, the registry as before, the log says why", windows=windows, exit=code,
             reg=EARLIER, logcheck=lambda blocks, r: any(why in line for line in blocks[-1]), **{"new": "", **row})


def quietly(s):
    """The row's run with /Q for /S: no window at all, each box the row expects in the log instead."""
    return dataclasses.replace(s, name=s.name.replace("silent", "quiet"), args=s.args.replace("/S", "/Q"),
                               windows=[], quiet=[w.replace(" [icon]", "") for w in s.windows])


NOT_HAPPENED = [
    not_happened("a package refused at once", 7, [debugging(24)], "status 24: not signed", signed=False),
    not_happened("a package refused after three files were announced, the two finished installed", 7, [debugging(18)],
                 "status 18", library=SCRIPTED, package=b"2 A.DAT\n2 B.DAT\n2 C.DAT\n18\n",
                 new="G/A.DAT D/A.DAT D/B.DAT"),
    not_happened("no package", 7, [NOT_COPIED], "virusdef.zpk is not in the start directory", package=False),
    not_happened("a package that is a folder", 7, [NOT_COPIED], "virusdef.zpk in the start directory is a folder",
                 package=False, setup=lambda r: os.mkdir(r.path("run/virusdef.zpk"))),
    not_happened("an empty package", 7, [debugging(24)], "status 24: not signed", package=False,
                 setup=lambda r: r.write("run/virusdef.zpk", b"")),
    not_happened("a twentieth file the program cannot keep", 7, [debugging("Could not record F20.DAT")], "F20.DAT",
                 library=SCRIPTED, package="".join(f"2 F{i:02}.DAT\n" for i in range(1, 21)).encode() + b"0\n",
                 new=" ".join(f"{d}/F{i:02}.DAT" for d in "GD" for i in range(1, 20))),
    not_happened("no unpacker library", 8, [debugging("No"), debugging("Could not get address of zunpack_init")],
                 "zunpck32.dll cannot be loaded", library=""),
    not_happened("a library without zunpack_exec", 8, [debugging("Could not get address of zunpack_exec")],
                 "lacks the entry point zunpack_exec", library="scripted/zunpack_exec/zunpck32.dll", calls=""),
    *[not_happened(f"the library's status {n}", 7, [debugging(n)], f"status {n}", library=SCRIPTED,
                   package=b"%d\n" % n) for n in (1, 10, 11, 20, 22, 23)],
]


SCENARIOS = [
    # The run: switches, exit codes, the order of the steps, the temporary copies.
    S("silent update: not newer replaced, newer kept, agent settings of another type replaced, all logged",
      reg={KEYS["agent"] + "Download Day": "text", KEYS["agent"] + "WebSite": 7},
      log=START + ["GlimOn AV found, definition directory C:\\t\\G\\", "Dravomire found, definition directory C:\\t\\D\\",
                   "package placed as C:\\t\\tmp\\DefPatch-*\\virusdef.zpk", "package unpacked, 3 files",
                   "C:\\t\\G\\A.DAT: replaced, was 10/1/1997", "C:\\t\\G\\B.DAT: kept, newer: 1/3/1998",
                   "C:\\t\\G\\C.DAT: new", "C:\\t\\D\\A.DAT: replaced, was 10/1/1997", "C:\\t\\D\\B.DAT: new",
                   "C:\\t\\D\\C.DAT: replaced, was 12/5/1997", "definition files updated: 5", "exit code 1"]),
    S("switches anywhere in either case, each occurrence acting: /S/d /D with diagnostic boxes",
      args="/S/d /D", windows=DIAG[:1] * 2 + DIAG[1:] + TRANSFERS),
    S("forced update replaces newer files; a minus sign and other letters are no switches",
      args="-d /x /silent/f", windows=["Forced update: All files will be updated"],
      new="G/A.DAT G/B.DAT G/C.DAT D/A.DAT D/B.DAT D/C.DAT"),
    S("interactive update with backup replacing an earlier backup, directories painted by their names on disk",
      args="", windows=[welcome(), found("paint=c:\\t\\G\\|C:\\t\\D\\ tick ok"), "note paint ok", complete()],
      reg=dict(sharedir="c:\\T\\g\\"), files={"G/Backup/A.DAT": b"earlier backup"},
      backup="G/A.DAT D/A.DAT D/C.DAT"),
    S("a backup that cannot be made keeps the installed file, and says so", args="",
      windows=[welcome(), found("tick ok"), "Backup failed: Could not back up C:\\t\\G\\A.DAT; the file was kept as it is.",
               *[f"Backup failed: Could not record C:\\t\\G\\{n}.DAT for a restore; the file was not installed." for n in "BC"],
               complete()], files={"G/Backup": b"a file in the way"}, installed="G/A.DAT:old",
      new="D/A.DAT D/B.DAT D/C.DAT", mkdirs="D/Backup", records="D",
      recorded={"D": ["added A.DAT", "added B.DAT", "added C.DAT"]}),
    S("repainting the files-found dialog many times leaves its GDI objects as they were", args="",
      windows=[welcome(), found("gdi=40 ok"), "note gdi objects: 0 more after 40 paints", complete()]),
    S("every paint of the files-found dialog finds the products afresh", args="",
      windows=[welcome(), found("regdel=Software\\Zorvane\\Dravomire paint=C:\\t\\G\\ ok"), "note paint ok",
               complete()]),
    S("a shared directory that cannot be created is reported by the files-found dialog's first paint only",
      args="/D", windows=[DIAG[0], welcome(), "Defpatch Could not find:: C:\\t\\none\\G\\",
                          "Defpatch Could not find:: C:\\t\\none\\G\\", found("paint=C:\\t\\D\\ ok"),
                          "note paint ok", DIAG[1], "Xfering: 10/1/1997: A.DAT", complete()],
      reg=dict(sharedir="C:\\t\\none\\G\\"), installed="D/A.DAT:old", package=package(["A.DAT"]),
      new="D/A.DAT", found="D"),
    S("welcome cancelled: exit 2 before discovery creates anything", args="", **KEPT,
      files={"G": None}, found=""),
    S("Enter on a focused Cancel in the welcome is a cancel", args="", windows=[welcome("tab enter")], exit=2,
      new=""),
    S("files-found closed with the box ticked: exit 3, no backup", args="",
      windows=[welcome("enter"), found("tick close")], exit=3, new=""),
    S("box ticked twice is no backup", args="",
      windows=[welcome(), found("tick tick ok"), complete("esc")]),
    S("Enter with the backup box focused and ticked starts the update with backup", args="",
      windows=[welcome(), found("tick enter"), complete("close")], backup="G/A.DAT D/A.DAT D/C.DAT"),
    S("View README opens the readme of the last definition directory", args="",
      windows=[welcome(), found(), complete("readme"), "note notepad zvreadme.txt - Notepad: new zvreadme.txt"],
      package=package(["A.DAT", "zvreadme.txt"]), installed="G/zvreadme.txt:newer",
      new="G/A.DAT D/A.DAT D/zvreadme.txt"),
    S("Enter in Update Complete opens the readme", args="",
      windows=[welcome(), found(), complete("enter"), "note notepad zvreadme.txt - Notepad: new zvreadme.txt"],
      package=package(["zvreadme.txt"]), installed="", new="G/zvreadme.txt D/zvreadme.txt"),
    S("every installed file newer: No Files Were Updated, yet the date and agent are written", args="",
      windows=[welcome(), found(), no_files("esc")], installed="G/A.DAT:newer D/A.DAT:later",
      package=package(["A.DAT"]), new=""),
    S("no product, interactive: the stop box, exit 12", args="", windows=[welcome(), NO_PRODUCT], exit=12,
      reg=NO_DIRS, new=""),
    S("no product, silent: the package is unpacked and cleaned up, only the date written", reg=NO_DIRS,
      **NONE_FOUND),
    S("started hidden, the dialogs still show", args="", show=0, **KEPT),
    S("a welcome that cannot be created is no go-ahead", args="", exit=2, new="",
      setup=lambda r: r.damage("run/DefPatch.exe")),
    S("no usable temporary directory: nothing placed, nothing deleted elsewhere",
      tmp="C:\\" + "x" * 300 + "\\", windows=[debugging("Could not copy zpk file to virusdef.zpk")],
      temp="DefPatch.exe zunpck32.dll", exit=7, **GONE),

    # Discovery.
    S("App Paths value in capitals; Dravomire without its trailing backslash is not found",
      reg=dict(apppath="C:\\t\\GlimOn\\GLIMONAV.EXE", Directory="C:\\t\\D"), new="G/A.DAT G/C.DAT", found="G"),
    S("App Paths value in quotes is not the program; a Dravomire value of another type without its end is read",
      reg=dict(apppath='"C:\\t\\GlimOn\\glimonav.exe"', Directory=b"C:\\t\\D\\"), **ONLY_D),
    S("App Paths key without a value ends the search, though installpath would find the program",
      reg=dict(apppath=KEY_ONLY, installpath="C:\\t\\GlimOn"), **ONLY_D),
    S("glimon.exe entry naming glimonav.exe finds it; shared directory without its backslash gets one",
      reg=dict(apppath=None, glimon="C:\\t\\GlimOn\\glimonav.exe", sharedir="C:\\t\\G", Directory=None),
      new="G/A.DAT G/C.DAT", found="G"),
    S("glimon.exe entry naming glimon.exe is no program file; installpath is joined with a backslash",
      reg=dict(apppath=None, glimon="C:\\t\\GlimOn\\glimon.exe", installpath="C:\\t\\GlimOn"),
      files={"GlimOn/glimon.exe": b"other program"}),
    S("glimon.exe entry naming glimon.exe, no installpath: GlimOn AV not found",
      reg=dict(apppath=None, glimon="C:\\t\\GlimOn\\glimon.exe"), files={"GlimOn/glimon.exe": b"x"},
      **ONLY_D),
    S("missing shared directory is created, with the diagnostic box first", args="/S/D",
      files={"G": None}, mkdirs="G", installed="", package=package(["A.DAT"]), new="G/A.DAT", found="G",
      reg=dict(Directory=None), windows=[DIAG[0], "Defpatch Could not find:: C:\\t\\G\\", DIAG[1],
                                         "Transfering - no copy exists: A.DAT"]),
    S("shared directory whose parent is missing, or of a product without its program, is not created",
      reg=dict(sharedir="C:\\t\\none\\G\\"), files={"D/dv95.exe": None}, **NONE_FOUND),
    S("shared directory of a GlimOn AV without its program file is neither created nor recorded",
      files={"G": None, "GlimOn/glimonav.exe": None}, installed="D/A.DAT:old", **ONLY_D),
    S("empty values count as absent, though the start directory holds a dv95.exe",
      reg=dict(sharedir="", Directory=""), files={"run/dv95.exe": b"program"}, installed="", **NONE_FOUND),
    S("values too long for their buffers count as absent",
      reg=dict(sharedir="C:\\t\\" + "g" * 300 + "\\", apppath="C:\\t\\GlimOn\\" + "x" * 600 + "glimonav.exe",
               Directory="C:\\t\\" + "d" * 251), **NONE_FOUND),
    S("a shared directory value of 255 characters and its terminator fills its buffer and is read",
      reg=dict(sharedir=FULL_DIR, Directory=None), installed=FULL_DIR[5:-1] + "/A.DAT:old",
      package=package(["A.DAT"]), windows=["Path too long: " + FULL_DIR + "A.DAT"], **NONE_FOUND),
    S("a shared directory value of 256 characters without a terminator does not fit its buffer and is absent",
      args="", reg=dict(sharedir=(FULL_DIR[:-1] + "x\\").encode(), Directory=None),
      windows=[welcome(), NO_PRODUCT], exit=12, new=""),
    S("a definition file whose path is 255 characters is installed; one of 256 is skipped with a box",
      reg=dict(sharedir=LONG_DIR, Directory=None), installed=LONG_DIR[5:-1] + "/A.DAT:old",
      package=package(["A.DAT", "AB.DAT"]), windows=["Path too long: " + LONG_DIR + "AB.DAT"],
      new=LONG_DIR[5:-1] + "/A.DAT", wrote="date"),

    # The update engine: package placement, the unpacker protocol, the date rule, faults.
    S("a package found only in the temporary directory is never used, nor changed: exit 7", package=False,
      windows=[NOT_COPIED], setup=lambda r: r.write("tmp/virusdef.zpk", sign(package())), exit=7, new="",
      temp="virusdef.zpk"),
    S("a file of the package's name and an older signed package in the temporary directory: never used, nor changed",
      files={"tmp/A.DAT": b"someone's", "tmp/virusdef.zpk": sign(package(["Z.DAT"]))}, temp="A.DAT virusdef.zpk"),
    S("started in the temporary directory: the package is used in place", start="C:\\t\\tmp",
      setup=lambda r: [r.write("tmp/" + n, open(r.path("run/" + n), "rb").read()) for n in
                       ("DefPatch.exe", "zunpck32.dll", "virusdef.zpk")] and
      os.utime(r.path("tmp/DefPatch.exe"), ns=(UPDATE, UPDATE)), temp="DefPatch.exe virusdef.zpk"),
    S("a read-only package is placed, used and cleaned up",
      setup=lambda r: os.chmod(r.path("run/virusdef.zpk"), 0o444)),
    *[S(f"library without {entry}: no call made", library=f"scripted/{entry}/zunpck32.dll", calls="", exit=8,
        windows=[debugging("Could not get address of " + entry)], **GONE)
      for entry in ("zunpack_init", "zunpack_exec", "zunpack_exit")],
    S("each file is recorded when the next is announced or the end; 3 records nothing; paths give bare names",
      library=SCRIPTED, package=b"2 A.DAT\n3\n3\n2 C:\\x\\B.DAT\n3\n0\n", new="G/A.DAT D/A.DAT D/B.DAT"),
    S("the end at once: only the package is cleaned up", library=SCRIPTED, package=b"0\n", new=""),
    S("a read-only unpacked file is installed without the mark, and cleaned up", library=SCRIPTED,
      package=b"2 A.DAT read-only\n0\n", new="G/A.DAT D/A.DAT"),
    S("a name of 31 characters is recorded; one of 32 cannot be, and is removed; a control character is not logged",
      library=SCRIPTED, package=b"2 " + b"M" * 31 + b"\n2 " + b"N" * 16 + b"\1" + b"N" * 15 + b"\n0\n",
      windows=[debugging("Could not record " + "N" * 16 + "\1" + "N" * 15)], exit=7,
      new=f"G/{'M' * 31} D/{'M' * 31}"),
    S("the date rule on full times: equal and one step earlier replaced, one step later kept",
      installed="G/A.DAT:equal G/B.DAT:later G/C.DAT:earlier", new="G/A.DAT G/C.DAT D/A.DAT D/B.DAT D/C.DAT"),
    S("a read-only installed file is not replaced, backed up or counted", args="",
      windows=[welcome(), found("tick ok"), no_files()], installed="G/A.DAT:old:ro",
      package=package(["A.DAT"]), backup="", reg=dict(Directory=None), found="G", new="", records=""),
    S("an installed file in use is not replaced or counted", args="",
      windows=[welcome(), found(), no_files()], installed="G/A.DAT:old", package=package(["A.DAT"]),
      setup=lambda r: r.cmd("lock", "C:\\t\\G\\A.DAT"), reg=dict(Directory=None), found="G", new=""),
    S("a second directory without room stops the run there: exit 4, the first keeps its files",
      **{**ON_SMALL, "setup": lambda r: r.fill(150000)}, installed="G/A.DAT:old S/D/A.DAT:old",
      windows=[fatal("S:\\D\\", 195)], exit=4, new="G/A.DAT G/B.DAT G/C.DAT",
      temp="DefPatch.exe zunpck32.dll"),
    S("with backup a directory needs 1367k", args="", **{**ON_SMALL, "setup": lambda r: r.fill(800000)},
      windows=[welcome(), found("tick ok"), fatal("S:\\D\\", 1367)], exit=4, installed="G/A.DAT:old",
      new="G/A.DAT G/B.DAT G/C.DAT", backup="G/A.DAT", found="G",
      temp="DefPatch.exe zunpck32.dll"),
    S("a replacement that fills the volume leaves the installed file whole",
      **{**ON_SMALL, "setup": lambda r: r.fill(600000)}, package=package({"A.DAT": BIG}),
      installed="G/A.DAT:old S/D/A.DAT:old", new="G/A.DAT", found="GS"),
    S("a full temporary drive stops the run before anything else, with no room for the log either", tmp="S:\\tmp\\",
      **{**ON_SMALL, "setup": lambda r: [os.mkdir(r.path("S/tmp")), r.fill(0), os.chmod(r.windows, 0o555)]},
      windows=[fatal("S:\\", 2734)], exit=4, logfile=None, **GONE),
    S("the unpacker reports a full temporary drive: nothing installed", tmp="S:\\tmp\\",
      **{**ON_SMALL, "setup": lambda r: [os.mkdir(r.path("S/tmp")), r.fill(2900000)]},
      package=package({"A.DAT": BIG * 3}), windows=[debugging(21)], new="", found="GS", exit=7,
      temp="DefPatch.exe zunpck32.dll"),
    S("a full temporary drive in the second file: the first installed, the second's part removed, its copy whole",
      tmp="S:\\tmp\\", **{**ON_SMALL, "setup": lambda r: [os.mkdir(r.path("S/tmp")), r.fill(2900000)]},
      package=package({"A.DAT": BIG, "B.DAT": BIG * 3}), windows=[debugging(21)], found="GS", exit=7,
      installed="G/A.DAT:old G/B.DAT:old S/D/A.DAT:old S/D/B.DAT:old", new="G/A.DAT S/D/A.DAT",
      temp="DefPatch.exe zunpck32.dll"),

    # Unattended runs: one at a time, and the log.
    S("two silent runs started together both update, one after the other", package=package(MANY), installed="",
      new=ALL_MANY, also="/S", logcheck=lambda blocks, r: len(blocks) == 2 and blocks[1][-1] == "exit code 1"),
    S("a silent run started while an interactive one shows its welcome waits for it, then runs as alone", args="",
      windows=[welcome(f"also=/S await={LOG}|waiting ok"), "note found waiting", found(), complete()],
      package=package(MANY), installed="", new=ALL_MANY,
      logcheck=lambda blocks, r: len(blocks) == 2 and blocks[1][0] == WAITING and blocks[1][-1] == "exit code 1"),
    S("a run killed while its box waits leaves its block ending with the box; the next run starts at once",
      setup=lambda r: r.cmd("run", "C:\\t\\run", "-1", "/S /D", "TMP=C:\\t\\tmp\\;TEMP=C:\\t\\tmp\\", DIAG[0], "kill"),
      logcheck=lambda blocks, r: len(blocks) == 2 and blocks[0][-1] == "window " + DIAG[0]),
    S("a Windows folder that cannot be written sends the log to the temporary directory",
      setup=lambda r: os.chmod(r.windows, 0o555), logfile="t/tmp/DefPatch.log"),
    S("log files held open by another program: the run is as without a log", logfile=None,
      setup=lambda r: [r.write(n, b"") for n in ("tmp/DefPatch.log", "../windows/DefPatch.log")] and
      [r.cmd("lock", p + "DefPatch.log") for p in ("C:\\t\\tmp\\", "C:\\windows\\")]),
    S("a log this run could push past 1 MiB is kept as DefPatch.old.log, and a new one begun",
      setup=lambda r: r.write("../windows/DefPatch.log", OLD_LOG),
      logcheck=lambda blocks, r: len(blocks) == 1 and open(r.windows + "/DefPatch.old.log", "rb").read() == OLD_LOG),

    # Undoing an update: backups in any run (/B), and the restore (/R).
    S("a silent update with /B is undone by /S /R: files back with their times, added files gone, the date as before",
      args="/S /R /F", setup=ran("/S /B"), **RESTORE, reg=dict(date="11/1/1997"), wrote="agent"),
    S("a second /S /R finds nothing to restore: exit 5, nothing changed", args="/S /R", setup=ran("/S /B", "/S /R"),
      exit=5, new="", temp="", wrote="agent"),
    S("the same update twice with /B, then /S /R: the set from before the first run comes back", args="/S /R",
      setup=ran("/S /B", "/S /B"), **RESTORE, wrote="agent"),
    S("/B, then a later update without backups, then /S /R: nothing to restore, the later files stay", args="/S /R",
      setup=ran("/S /B", "/S", at=ns(1997, 12, 6)), exit=5, new="", temp="", wrote="all", date="12/6/1997"),
    S("/S /R where nothing was ever kept: exit 5, no file or registry value touched", args="/S /R", exit=5, new=""),
    S("/R at the PC says in one box what was undone", args="/R", setup=ran("/S /B"), **RESTORE, wrote="agent",
      windows=[RESTORED + "Definition files put back: 3; removed: 2."]),
    S("/B at the PC starts with the backup box ticked", args="/B", windows=[welcome(), found(), complete()],
      backup="G/A.DAT D/A.DAT D/C.DAT"),
    S("/B at the PC, the backup box unticked: no backups", args="/B", windows=[welcome(), found("tick ok"), complete()]),
    S("a restore leaves a file changed since the update and one whose copy is gone, says so, and restores the rest",
      args="/R", setup=ran("/S /B", then=lambda r: [r.write("D/A.DAT", b"changed"), os.remove(r.path("G/Backup/A.DAT"))]),
      windows=["Not Restored: C:\\t\\G\\A.DAT was left as it is: its copy in Backup is missing or unreadable.",
               "Not Restored: C:\\t\\D\\A.DAT was left as it is: it has changed since the update.",
               NOT_WHOLE + "Definition files put back: 1; removed: 2. Files left as they were: 2 (the log says why)."],
      **RESTORE, kept="G/A.DAT D/A.DAT", records="GD", exit=6, wrote="all"),
    *[S(f"a restore record {what} is refused whole, the other directory restored", args="/S /R", exit=6, **RESTORE,
        setup=ran("/S /B", then=lambda r, damage=damage: r.write(RECORD_G, damage(open(r.path(RECORD_G), "rb").read()))),
        kept="G/A.DAT G/C.DAT", records="G", wrote="all") for what, damage in DAMAGES.items()],

    # An undo that never loses a file: backups decided file by file, the record a journal written before each change.
    S("a retry after a partial /S /B keeps a copy of the file the first could not read, and records it",
      args="/S /B", setup=ran(lock("G/A.DAT"), "/S /B"), backup="G/A.DAT D/A.DAT D/C.DAT",
      recorded={"G": ["added C.DAT", "replaced A.DAT"], "D": ["replaced A.DAT", "added B.DAT", "replaced C.DAT"]},
      logcheck=lambda blocks, r: "C:\\t\\G\\A.DAT: not replaced, it cannot be read: it is in use" in blocks[0]),
    S("a retry after a partial /S /B, then /S /R: every file as before the first run", args="/S /R",
      setup=ran(lock("G/A.DAT"), "/S /B", "/S /B"), **RESTORE, wrote="agent"),
    S("/S, then /S /B: the update's own files get no copy, and the record says they have none", args="/S /B",
      setup=ran("/S"), backup="", recorded={"G": ["library 12/5/1997", "no-copy A.DAT", "no-copy C.DAT"],
                                            "D": ["library 12/5/1997", "no-copy A.DAT", "no-copy B.DAT", "no-copy C.DAT"]}),
    S("/S, then /S /B, then /S /R: each file changed without a copy is named and left, exit 6", args="/S /R",
      setup=ran("/S", "/S /B"), exit=6, new="", temp="", records="GD", wrote="all",
      logcheck=lambda blocks, r: sum("left as it is, the update replaced it without keeping a copy" in line
                                     for line in blocks[-1]) == 5),
    S("/S /B, then a refused package without backups: the update stays undoable", args="/S /R", **RESTORE,
      setup=ran("/S /B", lambda r: r.write("run/virusdef.zpk", changed(SIGNED, 37)), ("/Q", 7)),
      kept="run/virusdef.zpk", wrote="agent"),
    S("/S /B, then an older update with /B that keeps every file as newer: the update stays undoable", args="/S /R",
      setup=ran("/S /B", "/S /B", at=ns(1997, 11, 1)), **RESTORE, wrote="agent"),
    S("an installed file that cannot be read is left as it is, never taken for a missing one", args="/S /B",
      setup=lambda r: os.chmod(r.path("G/A.DAT"), 0o200), new="G/C.DAT D/A.DAT D/B.DAT D/C.DAT",
      backup="D/A.DAT D/C.DAT",
      logcheck=lambda blocks, r: "C:\\t\\G\\A.DAT: not replaced, it cannot be read: access is denied" in blocks[0]),
    S("the record keeps the library date exactly, type and bytes", args="/S /B", reg=dict(date=7),
      backup="G/A.DAT D/A.DAT D/C.DAT"),
    *[S(f"/S /B, then /S /R: a library date {what} comes back exactly", args="/S /R", setup=ran("/S /B"),
        **RESTORE, reg=dict(date=value), wrote="agent") for what, value in (
        ("that is empty", ""), ("of another type", 7), ("of bytes", b"\1\0\xff"),
        ("longer than any date", "11/1/1997, in a longer text than any date of this program"))],
    S("a restore leaves an added file changed since the update, and restores the rest", args="/S /R",
      setup=ran("/S /B", then=lambda r: r.write("G/C.DAT", b"changed")), **RESTORE, exit=6, kept="G/C.DAT",
      records="G", wrote="all"),
    S("a put-back onto a file in use leaves it whole, and its record for a later restore", args="/S /R",
      setup=ran("/S /B", lock("D/A.DAT")), **RESTORE, exit=6, kept="D/A.DAT", records="D", wrote="all"),
    S("a put-back onto a read-only file leaves it whole", args="/S /R", **RESTORE, exit=6, kept="D/A.DAT",
      setup=ran("/S /B", lambda r: os.chmod(r.path("D/A.DAT"), 0o444)), records="D", wrote="all"),
    S("a put-back that fills the volume leaves the installed file whole", args="/S /R",
      **{**ON_SMALL, "files": {"S/D/dv95.exe": b"program", "S/D/A.DAT": (BIG, "old")}}, installed="G/A.DAT:old",
      setup=ran("/S /B", lambda r: r.fill(600000)), found="GS", **RESTORE, exit=6, kept="S/D/A.DAT S/filler",
      records="S",
      wrote="all"),
    S("a second /S /R finishes what one that could not finish left", args="/S /R", **RESTORE, wrote="agent",
      setup=ran("/S /B", lock("G/A.DAT"), ("/S /R", 6))),
    S("a record of as many files as an update holds, with the longest names and library date, is followed",
      args="/S /R", package=package(LONGEST), installed=" ".join(f"G/{n}:old" for n in LONGEST),
      reg=dict(Directory=None, date="1" * 127), found="G", setup=ran("/S /B"), **RESTORE, wrote="agent"),
    S("a record of one more file than an update holds is refused whole", args="/S /R", exit=6, new="", temp="",
      setup=ran("/S /B", lambda r: r.write(RECORD_G, open(r.path(RECORD_G), "rb").read().replace(
          b"end\r\n", b"added " + LONGEST[0][:-1].encode() + b"X\r\nend\r\n"))),
      package=package(LONGEST), installed=" ".join(f"G/{n}:old" for n in LONGEST), reg=dict(Directory=None),
      found="G", records="G", wrote="all"),
    S("files and folders named like the new copies of a safe replacement are neither touched nor in the way",
      args="/S /B", files=NEIGHBOURS, backup="G/A.DAT D/A.DAT D/C.DAT"),
    S("...nor in the way of a restore", args="/S /R", setup=ran("/S /B", lambda r: [r.write(k, v) for k, v in
      NEIGHBOURS.items()]), **RESTORE, kept=" ".join(NEIGHBOURS) + " G/~00", wrote="agent"),
    *[S(f"killed at progress box {k} of {len(KILL_BOXES)}, {KILL_BOXES[k - 1]}: every file whole; /S /R brings "
        "back the set from before", args="/S /R", setup=killed_at(k),
        **{**RESTORE, "temp": "DefPatch.exe zunpck32.dll"},
        exit=5 if k <= 3 else 1, wrote="none") for k in range(1, len(KILL_BOXES) + 1)],
    S("on a FAT volume, which keeps times to 2 seconds: a retried /S /B, then /S /R, bring back the set from before",
      args="/S /R", reg=dict(Directory="F:\\D\\", sharedir=None), files={"F/D/dv95.exe": b"program"}, needs="F:",
      installed="F/D/A.DAT:old F/D/C.DAT:old", time=UPDATE + 1500000000, found="F", setup=ran("/S /B", "/S /B"),
      **RESTORE, wrote="agent"),

    # Safe as SYSTEM: the lock only administrators can hold, a wait with an end, a working folder of the run's own.
    S("the lock held by another process: /W2 waits 2 s, gives up, changes nothing at all, exit 9", args="/S /W2",
      setup=hold_lock, exit=9, new="", logcheck=lambda b, r: b[-1] == [WAITING, GAVE_UP + "2 s", "exit code 9"]),
    S("the lock held by another process: /W0 does not wait", args="/S /W0", setup=hold_lock, exit=9, new="",
      logcheck=lambda b, r: b[-1] == [GAVE_UP + "0 s", "exit code 9"]),
    S("a program holding the name of the former lock stops no run",
      setup=lambda r: r.cmd("mutex", "Global\\Zorvane.DefPatch.Run")),
    S("the lock, the log, the working folder and the Backup folders give Everyone no access", args="/S /B /D",
      windows=[*DIAG, ("Copying backup file to:: C:\\t\\G\\Backup\\A.DAT", "access=C:\\t\\tmp\\DefPatch-* ok"),
               "note access C:\\t\\tmp\\DefPatch-*: Everyone: none", *KILL_BOXES[3:]],
      backup="G/A.DAT D/A.DAT D/C.DAT", logcheck=lambda b, r: [r.cmd("access", p)[0] for p in (
          "C:\\windows\\DefPatch.lock", "C:\\windows\\DefPatch.log", "C:\\t\\G\\Backup", "C:\\t\\D\\Backup",
          "C:\\t\\G\\Backup\\A.DAT")] == ["Everyone: none"] * 5),
    S("a Backup folder that is a link to elsewhere is not used: the files it would keep are not replaced",
      args="/Q /B", setup=lambda r: [os.makedirs(r.path("elsewhere")), os.symlink(r.path("elsewhere"), r.path("G/Backup"))],
      new="D/A.DAT D/B.DAT D/C.DAT", backup="D/A.DAT D/C.DAT", records="D", mkdirs="elsewhere",
      quiet=["Backup failed: Could not back up C:\\t\\G\\A.DAT; the file was kept as it is.",
             "Backup failed: Could not record C:\\t\\G\\C.DAT for a restore; the file was not installed."]),
    S("/R follows no Backup folder that is a link to elsewhere", args="/S /R", setup=ran("/S /B", lambda r: [
      os.rename(r.path("G/Backup"), r.path("elsewhere")), os.symlink(r.path("elsewhere"), r.path("G/Backup"))]),
      **RESTORE, exit=6, kept=["G/A.DAT", "G/C.DAT", "G/Backup", "elsewhere", "elsewhere/A.DAT",
                               "elsewhere/" + harness.RECORD], wrote="all"),
    S("a definition folder named in letters of the ANSI code page beyond ASCII is named so in the log",
      reg=dict(Directory=ANSI_DIR), files={ANSI_DIR[5:-1] + "/dv95.exe": b"program"}, agent=ANSI_DIR,
      new="G/A.DAT G/C.DAT " + " ".join(ANSI_DIR[5:-1] + "/" + n for n in ("A.DAT", "B.DAT", "C.DAT")),
      logcheck=lambda b, r: "Dravomire found, definition directory " + ANSI_DIR.encode("cp1252").decode("latin-1")
      in b[-1]),

    # The update's date: UTC, as month/day/year, 10 bytes of it in the registry.
    S("the date of a program written at 1:00 UTC is that day's, five hours west of UTC too",
      time=ns(1997, 12, 6, 1), date="12/6/1997"),
    S("a 10-character date", time=ns(1997, 12, 31), date="12/31/1997"),
    S("a temporary drive with more than 4 GiB free has room", tmp="B:\\tmp\\", needs="B:",
      setup=lambda r: os.mkdir(r.path("B/tmp")), temp="DefPatch.exe zunpck32.dll"),
    S("an 8-character date", time=ns(1998, 1, 3, 3), date="1/3/1998",
      installed="G/A.DAT:old", new="G/A.DAT G/B.DAT G/C.DAT D/A.DAT D/B.DAT D/C.DAT"),

    # Packages the library accepts, and those it refuses whole.
    S("a stored package with a file over 64 KiB, in folders",
      package=package({"x/A.DAT": BIG, "y\\C.DAT": b"new C.DAT"}, zipfile.ZIP_STORED),
      new="G/A.DAT G/C.DAT D/A.DAT D/C.DAT"),
    S("a package with data descriptors, as zip writes to a pipe", package=streamed()),
    S("a package of 19 files", package=package([f"F{i:02}.DAT" for i in range(1, 20)]), installed="",
      new=" ".join(f"{d}/F{i:02}.DAT" for d in "GD" for i in range(1, 20))),
    refused("local and central names differ", package().replace(b"A.DAT", b"X.DAT", 1), 12),
    refused("encrypted", field(package(), "flags", 1), 13),
    refused("bzip2", field(package(), "method", 12), 13),
    refused("ZIP64 size", field(package(), "size", 0xFFFFFFFF), 13),
    refused("20 files", package([f"F{i:02}.DAT" for i in range(1, 21)]), 14),
    *[refused(f"name {name!r}", names("A.DAT", "B.DAT", name), 15) for name in
      ("../x", "C:\\x", "\\x", "a//b", "CON", "con.txt", "LPT1", "a<b", "x.", "x ", "a\tb", "L" * 32)],
    refused("names equal but for case", names("A.DAT", "a.dat"), 16),
    refused("the same name in two folders", names("x/A.DAT", "y/A.DAT"), 16),
    refused("a file named like the package", names("VIRUSDEF.ZPK"), 16),
    refused("a size the compressed data cannot hold", field(package({"A.DAT": b"x" * 100}), "size", 200 << 20), 17),
    refused("an end record that counts too few files", end_count(package(), 2), 12),
    refused("a flipped CRC", field(names("A.DAT", "B.DAT"), "crc", 0x12345678), 18),
    refused("damaged deflate data", deflate_damaged(), 19),
    refused("entries sharing bytes, one inside the other", overlapping(whole=True), 12),
    refused("entries sharing bytes, one reaching into the other", overlapping(whole=False), 12),

    # Signatures: only what the maker signed is installed, and only as signed.
    S("a package packed and signed by zpk", package=zpk_packed(), signed=False),
    S("a package made by zip, signed by the README's recipe under /bin/sh", package=zipped()),
    refused("unsigned, and logged", package(), 24, signed=False,
            log=START + ["GlimOn AV found, definition directory C:\\t\\G\\", "Dravomire found, definition directory C:\\t\\D\\",
                         "package placed as C:\\t\\tmp\\DefPatch-*\\virusdef.zpk", "package refused by the unpacker, status 24: not "
                         "signed: the package does not end in the maker's signature", "window Debugging: 24", "answer OK",
                         KEPT_LINE, "definition files updated: 0", "exit code 7"]),
    refused("signed with another key", sign(package(), OTHER), 25, signed=False),
    # The library unpacks while it hashes; a 6 MiB file keeps the hash going past the first file.
    refused("signed with another key, and a file of the package's first name kept in the temporary directory",
            sign(package({"A.DAT": b"new", "B.DAT": random.Random(6).randbytes(6 << 20)}), OTHER), 25,
            signed=False, files={"tmp/A.DAT": b"someone's"}, temp="A.DAT"),
    *[refused(f"a byte changed in {where}", changed(SIGNED, at), 25, signed=False) for where, at in (
        ("a file's data", 30 + 5 + 2), ("a local header", 10), ("the central directory", CENTRAL + 12),
        ("the end record", END + 8), ("the signature", len(SIGNED) - 100))],
    refused("the signature's last character changed in bits no byte takes", unused_bits(SIGNED), 24, signed=False),
    refused("bytes appended", SIGNED + b"\0", 24, signed=False),
    refused("a second end record after the signature", SIGNED + SIGNED[END:], 25, signed=False),
    refused("the signature cut short", comment(SIGNED[:-4], 352 - 4), 24, signed=False),
    refused("a signature block of absurd length", comment(SIGNED, 0xFFFF), 24, signed=False),

    # An update that did not happen never looks like one; a quiet run shows nothing.
    *NOT_HAPPENED, *map(quietly, NOT_HAPPENED),
    S("quiet, /D and /F standing before it: no window, their boxes in the log, the update whole", args="/D /F /Q",
      quiet=[DIAG[0], "Forced update: All files will be updated", DIAG[1], TRANSFERS[0], "Xfering: 1/3/1998: B.DAT",
             *TRANSFERS[2:]], new="G/A.DAT G/B.DAT G/C.DAT D/A.DAT D/B.DAT D/C.DAT"),
    quietly(S("silent, the Fatal stop: exit 4, the registry as before", windows=[fatal("S:\\", 2734)], exit=4, new="",
              tmp="S:\\tmp\\", **{**ON_SMALL, "reg": {**ON_SMALL["reg"], **EARLIER},
                                    "setup": lambda r: [os.mkdir(r.path("S/tmp")), r.fill(0)]})),
    quietly(S("silent /B, a folder whose backup path and a file whose path are too long: both kept", args="/S /B",
              reg=dict(sharedir=LONG_DIR, Directory=None), installed=LONG_DIR[5:-1] + "/A.DAT:old", wrote="date",
              package=package(["A.DAT", "AB.DAT"]), new="", windows=["Backup failed: Could not back up " + LONG_DIR +
              "A.DAT; the file was kept as it is.", "Path too long: " + LONG_DIR + "AB.DAT"])),
    S("quiet restore with /D, a file changed since the update: no window, what was left in the log", args="/Q /R /D",
      setup=ran("/S /B", then=lambda r: r.write("D/A.DAT", b"changed")), quiet=[DIAG[0]], **RESTORE, kept="D/A.DAT",
      records="D", exit=6, wrote="all", logcheck=lambda b, r: "A.DAT: left as it is, it has changed" in str(b[-1])),
    S("at the PC, a refused package: its box, then no result dialog, exit 7", args="", signed=False,
      windows=[welcome(), found(), debugging(24)], new="", exit=7, reg=EARLIER),

    # Safe as SYSTEM: system DLLs only, and a hardened build.
    S("a bcrypt.dll beside the program is never loaded, though Windows would take it for a DLL's import",
      files={"run/bcrypt.dll": CNG}, dlls="bcrypt=n,b"),
    S("CNG as Windows Vista has it, which keeps a hash in an object the caller gives, checks the signature",
      system={"bcrypt.dll": CNG}, dlls="bcrypt=n,b", temp="bcrypt.loaded"),
    refused("Windows without CNG: the run says that it cannot check the signature, with a status of its own",
            package(), 26, dlls="bcrypt=", logcheck=lambda blocks, r: "package refused by the unpacker, status 26: "
            "this version of Windows cannot check the update's signature" in blocks[-1]),
]


def version(runner):
    """The release's version resource, as Explorer shows it."""
    got = runner.cmd("version", "Z:" + os.path.join(runner.bin, "DefPatch.exe").replace("/", "\\"))
    wanted = ["1.0.0.1 1.0.0.0", "CompanyName=Zorvane Corporation",
              "FileDescription=Virus Definition Updates for November 1997", "FileVersion=1.11.0000",
              "InternalName=DefPatch", "OriginalFilename=DefPatch.exe", "ProductName=Zorvane Virus Updates",
              "ProductVersion=1.10.0000"]
    return [] if got == wanted else [f"version resource: expected {wanted}, got {got}"]


def zpk_check(runner):
    """The maker's tool says whether a signature holds, and for which key."""
    der = subprocess.run(["openssl", "pkey", "-in", harness.KEY, "-pubout", "-outform", "DER"],
                         capture_output=True, check=True).stdout
    key = "key SHA256:" + hashlib.sha256(der).hexdigest()
    problems = []
    with tempfile.TemporaryDirectory() as work:
        for data, code, says in ((SIGNED, 0, "holds for"), (changed(SIGNED, 12), 1, "does not hold for"),
                                 (package(), 1, "missing; checked for")):
            open(work + "/p.zpk", "wb").write(data)
            got = subprocess.run([os.path.join(BUILD, "..", "native", "bin", "zpk"), "check", work + "/p.zpk"],
                                 capture_output=True, text=True)
            if got.returncode != code or f"signature {says} {key}" not in got.stdout:
                problems.append(f"zpk check: expected {code} and 'signature {says} {key}', got {got}")
    return problems


def main():
    build, words = sys.argv[1], sys.argv[2:]
    runner = Runner(build)
    passed = failed = skipped = 0
    for s in SCENARIOS:
        if words and not any(w in s.name for w in words):
            continue
        if s.needs and not os.path.isdir(runner.volumes[s.needs]):
            print(f"skip  {s.name}: no volume {s.needs} (mounting one needs root)")
            skipped += 1
            continue
        try:
            problems = runner.run(s)
        except AssertionError as e:  # a setup that did not go as it should
            problems = [f"setup: {e}"]
        print(("ok    " if not problems else "FAIL  ") + s.name, flush=True)
        for p in problems:
            print("      " + p.replace("\n", "\n      "))
        passed, failed = passed + (not problems), failed + bool(problems)
    for check in (version, zpk_check):
        if words and check.__name__ not in words:
            continue
        problems = check(runner)
        print(("ok    " if not problems else "FAIL  ") + check.__doc__)
        for p in problems:
            print("      " + p)
        passed, failed = passed + (not problems), failed + bool(problems)
    print(f"scenarios: {passed} passed, {failed} failed, {skipped} skipped")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
