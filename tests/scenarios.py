"""The scenario table: the real DefPatch.exe, run as a user or an administrator
would run it, one row a scenario. tests/harness.py says what a row holds and
what every row is checked for; a new case is a new row.

    python3 tests/scenarios.py BUILD_DIR [WORD...]   (the rows whose names hold a WORD)
"""
import hashlib, io, os, subprocess, sys, tempfile, zipfile
import harness
from harness import KEY_ONLY, KEYS, S, UPDATE, Runner, new_key, ns, package, sign

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
ON_SMALL = dict(reg=dict(Directory=SMALL), files={"S/D/dv95.exe": b"program"}, needs="S:")
DIAG = ["Diagnostic:: In diagnostic mode", "DefPatch dated:: 12/5/1997"]
TRANSFERS = ["Xfering: 10/1/1997: A.DAT", "Not Xfering: B.DAT is dated 1/3/1998",
             "Transfering - no copy exists: C.DAT", "Xfering: 10/1/1997: A.DAT",
             "Transfering - no copy exists: B.DAT", "Xfering: 12/5/1997: C.DAT"]


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
    S("silent update: not newer replaced, newer kept, agent settings of another type replaced",
      reg={KEYS["agent"] + "Download Day": "text", KEYS["agent"] + "WebSite": 7}),
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
      new="G/B.DAT G/C.DAT D/A.DAT D/B.DAT D/C.DAT", mkdirs="D/Backup"),
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
    S("a definition file whose path would pass 255 characters is skipped with a box",
      reg=dict(sharedir=None, Directory="C:\\t\\" + "d" * 230 + "\\"), installed="",
      files={"d" * 230 + "/dv95.exe": b"program"}, package=package(["A.DAT", "B" * 20 + ".DAT"]),
      windows=["Path too long: C:\\t\\" + "d" * 230 + "\\" + "B" * 20 + ".DAT"], new="d" * 230 + "/A.DAT",
      found="", agent="C:\\t\\" + "d" * 230 + "\\"),

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
    S("a twentieth file and a name of 32 characters cannot be recorded and are removed", library=SCRIPTED,
      package="".join(f"2 F{i:02}.DAT\n" for i in range(1, 21)).encode() + b"2 " + b"L" * 32 + b"\n0\n",
      windows=[debugging("Could not record F20.DAT"), debugging("Could not record " + "L" * 32)],
      new=" ".join(f"{d}/F{i:02}.DAT" for d in "GD" for i in range(1, 20))),
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
    S("a full temporary drive stops the run before anything else", tmp="S:\\tmp\\",
      **{**ON_SMALL, "setup": lambda r: [os.mkdir(r.path("S/tmp")), r.fill(1000000)]},
      windows=[fatal("S:\\", 2734)], exit=4, **GONE),
    S("the unpacker reports a full temporary drive: nothing installed", tmp="S:\\tmp\\",
      **{**ON_SMALL, "setup": lambda r: [os.mkdir(r.path("S/tmp")), r.fill(2900000)]},
      package=package({"A.DAT": BIG * 3}), windows=[debugging(21)], new="", found="GS",
      temp="DefPatch.exe zunpck32.dll"),
    S("a full temporary drive in the second file: the first installed, the second's part removed, its copy whole",
      tmp="S:\\tmp\\", **{**ON_SMALL, "setup": lambda r: [os.mkdir(r.path("S/tmp")), r.fill(2900000)]},
      package=package({"A.DAT": BIG, "B.DAT": BIG * 3}), windows=[debugging(21)], found="GS",
      installed="G/A.DAT:old G/B.DAT:old S/D/A.DAT:old S/D/B.DAT:old", new="G/A.DAT S/D/A.DAT",
      temp="DefPatch.exe zunpck32.dll"),

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

    # Signatures: only what the maker signed is installed, and only as signed.
    S("a package packed and signed by zpk", package=zpk_packed(), signed=False),
    refused("unsigned", package(), 24, signed=False),
    refused("signed with another key", sign(package(), OTHER), 25, signed=False),
    *[refused(f"a byte changed in {where}", changed(SIGNED, at), 25, signed=False) for where, at in (
        ("a file's data", 30 + 5 + 2), ("a local header", 10), ("the central directory", CENTRAL + 12),
        ("the end record", END + 8), ("the signature", len(SIGNED) - 100))],
    refused("the signature's last character changed in bits no byte takes", unused_bits(SIGNED), 24, signed=False),
    refused("bytes appended", SIGNED + b"\0", 24, signed=False),
    refused("a second end record after the signature", SIGNED + SIGNED[END:], 25, signed=False),
    refused("the signature cut short", comment(SIGNED[:-4], 352 - 4), 24, signed=False),
    refused("a signature block of absurd length", comment(SIGNED, 0xFFFF), 24, signed=False),
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
        problems = runner.run(s)
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
