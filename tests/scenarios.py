"""The scenario table: the real DefPatch.exe, run as a user or an administrator
would run it, one row a scenario. tests/harness.py says what a row holds and
what every row is checked for; a new case is a new row.

    python3 tests/scenarios.py BUILD_DIR [WORD...]   (the rows whose names hold a WORD)
"""
import hashlib, io, os, random, struct, subprocess, sys, tempfile, zipfile, zlib
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
LOG = "C:\\windows\\DefPatch.log"
MANY = {f"F{i:02}.DAT": os.urandom(256 << 10) for i in range(1, 20)}  # 19 files that do not compress, 4.75 MiB
ALL_MANY = " ".join(f"{d}/F{i:02}.DAT" for d in "GD" for i in range(1, 20))
RESTORE = dict(restore=True, new="", temp="")  # a row that ends with the files as before its setup's update
RESTORED = "Zorvane Virus Definition Restore: The update of 12/5/1997 was undone. "
RECORD_G = "G/Backup/" + harness.RECORD
DAMAGES = {"cut short": lambda t: t[:-5], "of another kind": lambda t: t.replace(b"restore", b"other"),
           "over-long": lambda t: t.replace(b"end\r\n", b"#" * 3000 + b"\r\nend\r\n"),
           "naming a path": lambda t: t.replace(b"replaced A.DAT", b"replaced ..\\..\\x"),
           "naming 20 files": lambda t: t.replace(b"end", b"".join(b"added F%02d\r\n" % i for i in range(20)) + b"end")}
OLD_LOG = b"2026-01-01 00:00:00 1 a line of an earlier run\r\n" * 20481  # just past 1 MiB less a block's room
FULL_DIR = "C:\\t\\" + "g" * 249 + "\\"         # 255 characters: with its terminator the whole buffer
LONG_DIR = "C:\\t\\" + "g" * 244 + "\\"         # 250 characters: with A.DAT a path of 255
ON_SMALL = dict(reg=dict(Directory=SMALL), files={"S/D/dv95.exe": b"program"}, needs="S:")
DIAG = ["Diagnostic:: In diagnostic mode", "DefPatch dated:: 12/5/1997"]
TRANSFERS = ["Xfering: 10/1/1997: A.DAT", "Not Xfering: B.DAT is dated 1/3/1998",
             "Transfering - no copy exists: C.DAT", "Xfering: 10/1/1997: A.DAT",
             "Transfering - no copy exists: B.DAT", "Xfering: 12/5/1997: C.DAT"]


def ran(*runs, at=UPDATE, then=None):
    """A setup that runs DefPatch silently with each command line in turn (the last dated `at`), each ending with
    exit 1, and then `then`."""
    def setup(r):
        for i, args in enumerate(runs):
            when = at if i == len(runs) - 1 else UPDATE
            os.utime(r.path("run/DefPatch.exe"), ns=(when, when))
            got = r.cmd("run", "C:\\t\\run", "-1", args, "TMP=C:\\t\\tmp\\;TEMP=C:\\t\\tmp\\")
            assert got[-1] == "exit 1", got
        if then:
            then(r)
    return setup


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
    """A package the library must refuse whole: no file installed, the status shown."""
    return S(f"refused: {what}", package=data, windows=[debugging(status)], new="", **row)


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


SCENARIOS = [
    # The run: switches, exit codes, the order of the steps, the temporary copies.
    S("silent update: not newer replaced, newer kept, agent settings of another type replaced, all logged",
      reg={KEYS["agent"] + "Download Day": "text", KEYS["agent"] + "WebSite": 7},
      log=START + ["GlimOn AV found, definition directory C:\\t\\G\\", "Dravomire found, definition directory C:\\t\\D\\",
                   "package placed as C:\\t\\tmp\\virusdef.zpk", "package unpacked, 3 files",
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
               complete()], files={"G/Backup": b"a file in the way"}, installed="G/A.DAT:old",
      new="G/B.DAT G/C.DAT D/A.DAT D/B.DAT D/C.DAT", mkdirs="D/Backup", records="D"),
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
      temp="DefPatch.exe zunpck32.dll", **GONE),

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
    S("a package found only in the temporary directory is used in place",
      package=False, setup=lambda r: r.write("tmp/virusdef.zpk", sign(package()))),
    S("the start directory's package wins over one an earlier run left behind",
      setup=lambda r: r.write("tmp/virusdef.zpk", sign(package(["Z.DAT"])))),
    S("started in the temporary directory: the package is used in place", start="C:\\t\\tmp",
      setup=lambda r: [r.write("tmp/" + n, open(r.path("run/" + n), "rb").read()) for n in
                       ("DefPatch.exe", "zunpck32.dll", "virusdef.zpk")] and
      os.utime(r.path("tmp/DefPatch.exe"), ns=(UPDATE, UPDATE)), temp="DefPatch.exe"),
    S("a read-only package is placed, used and cleaned up",
      setup=lambda r: os.chmod(r.path("run/virusdef.zpk"), 0o444)),
    S("no package anywhere: nothing touched", package=False,
      windows=[debugging("Could not copy zpk file to C:\\t\\tmp\\virusdef.zpk")], **GONE),
    S("no unpacker library: nothing touched", library="",
      windows=[debugging("No"), debugging("Could not get address of zunpack_init")], **GONE),
    *[S(f"library without {entry}: no call made", library=f"scripted/{entry}/zunpck32.dll", calls="",
        windows=[debugging("Could not get address of " + entry)], **GONE)
      for entry in ("zunpack_init", "zunpack_exec", "zunpack_exit")],
    S("each file is recorded when the next is announced or the end; 3 records nothing; paths give bare names",
      library=SCRIPTED, package=b"2 A.DAT\n3\n3\n2 C:\\x\\B.DAT\n3\n0\n", new="G/A.DAT D/A.DAT D/B.DAT"),
    S("an error status abandons the file announced last", library=SCRIPTED,
      package=b"2 A.DAT\n2 B.DAT\n5\n", windows=[debugging(5)], new="G/A.DAT D/A.DAT", temp="B.DAT"),
    S("status 1 is an error", library=SCRIPTED, package=b"2 A.DAT\n1\n", windows=[debugging(1)], new="",
      temp="A.DAT"),
    S("the end at once: only the package is cleaned up", library=SCRIPTED, package=b"0\n", new=""),
    S("a read-only unpacked file is installed without the mark, and cleaned up", library=SCRIPTED,
      package=b"2 A.DAT read-only\n0\n", new="G/A.DAT D/A.DAT"),
    S("a twentieth file cannot be recorded and is removed", library=SCRIPTED,
      package="".join(f"2 F{i:02}.DAT\n" for i in range(1, 21)).encode() + b"0\n",
      windows=[debugging("Could not record F20.DAT")], new=" ".join(f"{d}/F{i:02}.DAT" for d in "GD" for i in range(1, 20))),
    S("a name of 31 characters is recorded; one of 32 cannot be, and is removed; a control character is not logged",
      library=SCRIPTED, package=b"2 " + b"M" * 31 + b"\n2 " + b"N" * 16 + b"\1" + b"N" * 15 + b"\n0\n",
      windows=[debugging("Could not record " + "N" * 16 + "\1" + "N" * 15)],
      new=f"G/{'M' * 31} D/{'M' * 31}"),
    S("the date rule on full times: equal and one step earlier replaced, one step later kept",
      installed="G/A.DAT:equal G/B.DAT:later G/C.DAT:earlier", new="G/A.DAT G/C.DAT D/A.DAT D/B.DAT D/C.DAT"),
    S("a read-only installed file is not replaced, backed up or counted", args="",
      windows=[welcome(), found("tick ok"), no_files()], installed="G/A.DAT:old:ro",
      package=package(["A.DAT"]), backup="", reg=dict(Directory=None), found="G", new=""),
    S("an installed file in use is not replaced or counted", args="",
      windows=[welcome(), found(), no_files()], installed="G/A.DAT:old", package=package(["A.DAT"]),
      setup=lambda r: r.cmd("lock", "C:\\t\\G\\A.DAT"), reg=dict(Directory=None), found="G", new=""),
    S("a second directory without room stops the run there: exit 4, the first keeps its files",
      **{**ON_SMALL, "setup": lambda r: r.fill(150000)}, installed="G/A.DAT:old S/D/A.DAT:old",
      windows=[fatal("S:\\D\\", 195)], exit=4, new="G/A.DAT G/B.DAT G/C.DAT",
      temp="DefPatch.exe zunpck32.dll virusdef.zpk A.DAT B.DAT C.DAT"),
    S("with backup a directory needs 1367k", args="", **{**ON_SMALL, "setup": lambda r: r.fill(800000)},
      windows=[welcome(), found("tick ok"), fatal("S:\\D\\", 1367)], exit=4, installed="G/A.DAT:old",
      new="G/A.DAT G/B.DAT G/C.DAT", backup="G/A.DAT", found="G",
      temp="DefPatch.exe zunpck32.dll virusdef.zpk A.DAT B.DAT C.DAT"),
    S("a replacement that fills the volume leaves the installed file whole",
      **{**ON_SMALL, "setup": lambda r: r.fill(600000)}, package=package({"A.DAT": BIG}),
      installed="G/A.DAT:old S/D/A.DAT:old", new="G/A.DAT", found="GS"),
    S("a full temporary drive stops the run before anything else, with no room for the log either", tmp="S:\\tmp\\",
      **{**ON_SMALL, "setup": lambda r: [os.mkdir(r.path("S/tmp")), r.fill(0), os.chmod(r.windows, 0o555)]},
      windows=[fatal("S:\\", 2734)], exit=4, logfile=None, **GONE),
    S("the unpacker reports a full temporary drive: nothing installed", tmp="S:\\tmp\\",
      **{**ON_SMALL, "setup": lambda r: [os.mkdir(r.path("S/tmp")), r.fill(2900000)]},
      package=package({"A.DAT": BIG * 3}), windows=[debugging(21)], new="", found="GS",
      temp="DefPatch.exe zunpck32.dll"),
    S("a full temporary drive in the second file: the first installed, the second's part removed, its copy whole",
      tmp="S:\\tmp\\", **{**ON_SMALL, "setup": lambda r: [os.mkdir(r.path("S/tmp")), r.fill(2900000)]},
      package=package({"A.DAT": BIG, "B.DAT": BIG * 3}), windows=[debugging(21)], found="GS",
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
      args="/S /R /F", setup=ran("/S /B"), **RESTORE, reg=dict(date="11/1/1997"), date="11/1/1997"),
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
               RESTORED + "Definition files put back: 1; removed: 2. Files left as they were: 2 (the log says why)."],
      **RESTORE, kept="G/A.DAT D/A.DAT", records="GD", exit=6, wrote="agent"),
    *[S(f"a restore record {what} is refused whole, the other directory restored", args="/S /R", exit=6, **RESTORE,
        setup=ran("/S /B", then=lambda r, damage=damage: r.write(RECORD_G, damage(open(r.path(RECORD_G), "rb").read()))),
        kept="G/A.DAT G/C.DAT", records="G", wrote="agent") for what, damage in DAMAGES.items()],

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
                         "package placed as C:\\t\\tmp\\virusdef.zpk", "package refused by the unpacker, status 24: not "
                         "signed: the package does not end in the maker's signature", "window Debugging: 24", "answer OK",
                         "definition files updated: 0", "exit code 1"]),
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
        if s.needs and not os.path.isdir(runner.small if s.needs == "S:" else runner.big):
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
