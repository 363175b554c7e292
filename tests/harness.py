"""The machinery under the scenario table (tests/scenarios.py).

Each scenario starts from a clean slate in the Wine prefix: a tree under C:\\t\\
with fake installs of both products (GlimOn AV's program in C:\\t\\GlimOn\\, its
shared directory C:\\t\\G\\; Dravomire in C:\\t\\D\\), the release files in the
start directory C:\\t\\run\\, and a temporary directory C:\\t\\tmp\\ holding an
installer's copies of DefPatch.exe and zunpck32.dll; and the registry keys the
program reads and writes, removed and set anew. It runs DefPatch.exe through the
driver (tests/driver.cpp), which answers each window, and compares the windows,
the exit code, every file with its content, last-write time and read-only mark,
and the registry values the program writes with what the row expects.
"""
import calendar, dataclasses, io, os, re, shutil, subprocess, tempfile, time, zipfile, zlib

WINE = "/usr/lib/wine/wine"
DIRS = {"G": "C:\\t\\G\\", "D": "C:\\t\\D\\", "S": "S:\\D\\", "F": "F:\\D\\"}  # definition directories; S: is small, F: FAT
FOLDERS = {"G": "G", "D": "D", "S": "S/D", "F": "F/D"}  # the same as tree paths
KEYS = {
    "sharedir": "Software\\Zorvane\\GlimOn AV|sharedir",
    "installpath": "SOFTWARE\\Zorvane\\Glimon AV|installpath",
    "apppath": "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\glimonav.exe|",
    "glimon": "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\glimon.exe|",
    "Directory": "Software\\Zorvane\\Dravomire|Directory",
    "date": "Software\\Zorvane\\Shared|DravomLibraryDate",
    "agent": "Software\\Zorvane\\Tendwise\\CurrentVersion\\Twagent.exe|",
    "agentpath": "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\TWAgent.exe|",
}
KEY_ONLY = object()  # a registry key without the value
WRITTEN = [KEYS["date"], *[KEYS["agent"] + name for name in ("Download Day", "Download Hour", "Prompt Download",
           "Prompt Install", "WebSite")], KEYS["agentpath"] + "Path", KEYS["agentpath"]]  # what the program writes
LOG_NAMES = ("DefPatch.log", "DefPatch.old.log", "DefPatch.lock")  # in the Windows directory, made anew a row
RECORD = "DefPatch record of the last update.txt"  # in a Backup folder, compared line by line
WAITING = "waiting for another DefPatch run on this machine to end"
QUIET, QUIET_ANSWER = "not shown (quiet): ", "answer OK (quiet)"  # a box of a quiet run, in the log
KEY = ""  # the private key rows are signed with: the build's test key, which the library trusts
# The maker's way to sign a package with openssl alone, as unpacker/README.md shows it.
RECIPE = re.search(r"### Signing with openssl alone.*?```sh\n(.*?)```", open(os.path.join(
    os.path.dirname(__file__), "..", "unpacker", "README.md")).read(), re.S).group(1)


def ns(y, m, d, h=12, mi=0):
    """A UTC time in nanoseconds since 1970, as the tests set and compare file times."""
    return calendar.timegm((y, m, d, h, mi, 0)) * 10**9


# Wine runs five hours west of UTC (TZ=EST5): the program must give UTC dates,
# and 2:00 UTC is the day before there.
UPDATE = ns(1997, 12, 5)
TIMES = {"old": ns(1997, 10, 1, 2), "newer": ns(1998, 1, 3, 2)}
NEAR = {"equal": 0, "later": 100, "earlier": -100}  # from the update time, in nanoseconds


def package(files=("A.DAT", "B.DAT", "C.DAT"), method=zipfile.ZIP_DEFLATED):
    """A package of the files named, each holding "new NAME", or of NAME -> bytes."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", method) as z:
        for name in files:
            data = files[name] if isinstance(files, dict) else b"new " + name.encode()
            z.writestr(zipfile.ZipInfo(name, (1997, 12, 1, 0, 0, 0)), data, method)
    return out.getvalue()


def sign(data, key=None):
    """The package signed by the recipe of unpacker/README.md, run as it stands there, by /bin/sh."""
    with tempfile.TemporaryDirectory() as work:
        open(work + "/in.zpk", "wb").write(data)
        subprocess.run(["/bin/sh", "-ec", RECIPE], check=True, capture_output=True,
                       env={**os.environ, "PACKAGE": work + "/in.zpk", "KEY": key or KEY, "OUT": work + "/out.zpk"})
        return open(work + "/out.zpk", "rb").read()


def new_key():
    path = tempfile.mkstemp(suffix=".pem")[1]
    subprocess.run(["openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", path],
                   check=True, capture_output=True)
    return path


@dataclasses.dataclass
class S:
    name: str
    args: str = "/S"
    windows: list = ()            # "win CAPTION: TEXT" to answer with ACTION as (text, ACTION), a plain
                                  # text for a box answered with ok; "note ..." for what the driver saw
    quiet: list = ()              # "CAPTION: TEXT" of each box a quiet run (/Q) logs with its OK instead of showing
    exit: int = 1
    installed: str = "G/A.DAT:old G/B.DAT:newer D/A.DAT:old D/C.DAT:equal"  # PATH:TIME[:ro]
    package: object = None        # virusdef.zpk's bytes (None: A.DAT, B.DAT, C.DAT; False: no package)
    signed: bool = True           # signed here with KEY (never for the scripted library)
    library: str = "zunpck32.dll"  # or scripted/VARIANT/zunpck32.dll, or "" for none
    reg: dict = dataclasses.field(default_factory=dict)  # KEYS name or "KEY|NAME" -> value; None: absent
    files: dict = dataclasses.field(default_factory=dict)  # tree path -> bytes, (bytes, TIMES key), or None: removed
    new: str = "G/A.DAT G/C.DAT D/A.DAT D/B.DAT D/C.DAT"  # files the update installs
    backup: str = None            # files saved in Backup\; not None: a Backup folder in each found dir
    found: str = "GD"             # the definition directories found, by their DIRS letters
    agent: str = None             # the last of them, where it is none of DIRS
    mkdirs: str = ""              # folders the run creates (besides Backup)
    wrote: str = None             # what the run writes to the registry: "all", "date", "agent", "none";
                                  # what it does not write stays byte for byte as before the run
    date: str = "12/5/1997"
    time: int = UPDATE            # DefPatch.exe's last-write time: the update's time
    temp: str = None              # what is left in C:\t\tmp\ (default: nothing after exit 1, 7 or 8)
    tmp: str = "C:\\t\\tmp\\"         # the child's TMP and TEMP
    show: int = -1                # the show command the child is started with
    start: str = "C:\\t\\run"        # the start directory, which holds the release files
    calls: str = "init virusdef.zpk C:\\t\\tmp\\DefPatch-*\\ 0 10 0 10|exit"  # the scripted library's log; * any text
    setup: object = None          # a function of the runner, for what the fields cannot say
    needs: str = ""               # "S:", "B:" or "F:": the small (4 MiB), big (4097 MiB) or FAT volume must be mounted
    also: str = None              # the command line of a second run started just before this one (silent)
    logfile: str = "windows/DefPatch.log"  # where the run's block goes, under C:\ (None: nowhere)
    log: list = None              # the run's block, line by line, without time and process id
    logcheck: object = None       # a function of the log's blocks (lists of lines, in order) and the runner
    restore: bool = False         # the definition files end as before the setup's runs, the copies stay
    kept: str = ""                # files that end as the setup left them
    records: str = None           # the directories that end with a restore record (default: those backed up)
    recorded: dict = None         # letter -> the entries the record there ends with ("replaced A.DAT", "added C.DAT",
                                  # "no-copy B.DAT"), replaced files as they were before the row's runs; default:
                                  # this run's backups and new files when it keeps backups, else the record unchanged
    dlls: str = None              # WINEDLLOVERRIDES for the run (None: the test command's own)
    system: dict = dataclasses.field(default_factory=dict)  # system DLL name -> the bytes it has during the run


class Runner:
    def __init__(self, build):
        self.bin = os.path.join(build, "bin")
        self.prefix = os.environ["WINEPREFIX"]
        self.windows = os.path.join(self.prefix, "drive_c", "windows")
        self.small = os.path.join(self.prefix, "dosdevices", "s:")
        self.big = os.path.join(self.prefix, "dosdevices", "b:")
        self.volumes = {"S:": self.small, "B:": self.big, "F:": os.path.join(self.prefix, "dosdevices", "f:")}
        self.driver = self.start_driver()

    def start_driver(self, dlls=None):
        """The driver; the programs it starts get its DLL overrides (not those of a run's environment entries)."""
        return subprocess.Popen([WINE, os.path.join(self.bin, "defpatch_drive.exe")], text=True, encoding="latin-1",
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, bufsize=1,
                                env={**os.environ, "TZ": "EST5", **({"WINEDLLOVERRIDES": dlls} if dlls else {})})

    def cmd(self, *fields, driver=None):
        driver = driver or self.driver
        driver.stdin.write("\t".join(fields) + "\n")
        lines = []
        while (line := driver.stdout.readline()) != ".\n":
            if not line:
                raise RuntimeError("the driver ended")
            lines.append(line.rstrip("\n"))
        return lines

    def path(self, rel):
        """Tree paths: "G/A.DAT" is C:\\t\\G\\A.DAT, "S/D/A.DAT" is S:\\D\\A.DAT, "B/tmp" B:\\tmp, "F/D" F:\\D."""
        if rel[:2] in ("S/", "B/", "F/") or rel in ("S", "B", "F"):
            return os.path.join(self.volumes[rel[0] + ":"], rel[2:])
        return os.path.join(self.prefix, "drive_c", "t", rel)

    def write(self, rel, data, when=None, readonly=False):
        path = self.path(rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        if when is not None:
            os.utime(path, ns=(when, when))
        if readonly:
            os.chmod(path, 0o444)

    def damage(self, rel):
        """Renames the welcome dialog's template (101) in the resource directory of a program copy."""
        data = bytearray(open(self.path(rel), "rb").read())
        at = re.search(rb"e\0\0\0.{4}f\0\0\0.{4}g\0\0\0.{4}k\0\0\0", data, re.S).start()  # 101 102 103 107
        data[at] = 100
        self.write(rel, bytes(data))

    def fill(self, leave):
        """Fills the small volume to leave about `leave` bytes free."""
        free = os.statvfs(self.small).f_bavail * os.statvfs(self.small).f_frsize
        self.write("S/filler", b"\0" * max(0, free - leave))

    def set_value(self, where, value):
        key, name = where.split("|")
        if value is KEY_ONLY:
            self.cmd("set", key, "", "key", "")
        elif value is not None:
            kind, data = (4, value.to_bytes(4, "little")) if isinstance(value, int) else \
                (3, value) if isinstance(value, bytes) else (1, value.encode("cp1252") + b"\0")
            self.cmd("set", key, name, str(kind), data.hex())

    def snapshot(self):
        shot = {}
        for root, prefix in ((self.path(""), ""), *((path, v[0] + "/") for v, path in self.volumes.items())):
            for top, dirs, names in os.walk(root):
                rel = os.path.relpath(top, root)
                rel = prefix + ("" if rel == "." else rel + "/")
                shot.update({rel + d: "folder" for d in dirs})
                for n in names:
                    if n in LOG_NAMES:  # the log rows read logs for themselves
                        continue
                    st = os.lstat(os.path.join(top, n))
                    data = read(os.path.join(top, n)) if n != "filler" else b""
                    shot[rel + n] = ("record", data) if n == RECORD else (data, st.st_mtime_ns, st.st_mode & 0o222 == 0)
        return shot

    def prepare(self, s):
        os.chmod(self.windows, 0o755)
        for name in LOG_NAMES:
            if os.path.exists(os.path.join(self.windows, name)):
                os.remove(os.path.join(self.windows, name))
        for root in (self.path(""), *self.volumes.values()):
            if os.path.isdir(root):
                if root != self.volumes["F:"]:  # FAT keeps no modes
                    subprocess.run(["chmod", "-R", "u+w", root], check=True)
                for name in os.listdir(root):
                    shutil.rmtree(os.path.join(root, name)) if os.path.isdir(os.path.join(root, name)) \
                        else os.remove(os.path.join(root, name))
        self.write("GlimOn/glimonav.exe", b"program")
        self.write("D/dv95.exe", b"program")
        os.makedirs(self.path("G"))
        self.write("run/DefPatch.exe", open(os.path.join(self.bin, "DefPatch.exe"), "rb").read())
        if s.library:
            self.write("run/zunpck32.dll", open(os.path.join(self.bin, s.library), "rb").read())
        if s.package is not False:
            data = s.package or package()
            self.write("run/virusdef.zpk", sign(data) if s.signed and "scripted" not in s.library else data)
        self.write("tmp/DefPatch.exe", b"installer's copy")
        self.write("tmp/zunpck32.dll", b"installer's copy")
        for item in s.installed.split():
            rel, when, *readonly = item.split(":")
            self.write(rel, b"old " + rel.encode(), TIMES[when] if when in TIMES else s.time + NEAR[when],
                       bool(readonly))
        for rel, data in s.files.items():
            if data is None:
                shutil.rmtree(self.path(rel)) if os.path.isdir(self.path(rel)) else os.remove(self.path(rel))
            else:  # bytes, or (bytes, TIMES key)
                self.write(rel, *((data[0], TIMES[data[1]]) if isinstance(data, tuple) else (data,)))
        self.cmd("reset")
        values = {"apppath": "C:\\t\\GlimOn\\glimonav.exe", "sharedir": DIRS["G"], "Directory": DIRS["D"]}
        for where, value in {**values, **s.reg}.items():
            self.set_value(KEYS.get(where, where), value)
        os.utime(self.path("run/DefPatch.exe"), ns=(s.time, s.time))
        self.pristine = self.snapshot()  # as before any run, for a restore to bring back
        self.date_before = self.cmd("get", *KEYS["date"].split("|"))[0]
        if s.setup:
            s.setup(self)
        os.utime(self.path("run/DefPatch.exe"), ns=(s.time, s.time))

    def record(self, s, letter, entries):
        """The record a row expects in a directory: the update of the row's time, the library date the row set up,
        and the entries, each replaced file as the tree held it before the row's runs."""
        when = time.gmtime(s.time // 10**9)
        filetime = lambda ns: f"{ns // 100 + 116444736000000000:016X}"
        date = s.reg.get("date")
        if entries and entries[0].startswith("library "):  # the date as a run before this one wrote it
            date = entries.pop(0)[len("library "):]
        if date is None:
            library = "none"
        else:
            kind, data = (4, date.to_bytes(4, "little")) if isinstance(date, int) else \
                (3, date) if isinstance(date, bytes) else (1, (date + "\0").encode("utf-16-le"))
            library = f"{kind} {len(data)}" + (f" {data.hex().upper()}" if data else "")
        lines = ["DefPatch restore record", f"update {when.tm_mon}/{when.tm_mday}/{when.tm_year} {filetime(s.time)}",
                 f"library-date {library}"]
        for entry in entries:
            kind, name = entry.split(" ", 1)
            if kind == "replaced":
                data, mtime, _ = self.pristine[FOLDERS[letter] + "/" + name]
                lines.append(f"replaced {name} {filetime(mtime)} {len(data)} {zlib.crc32(data):08X}")
            else:
                lines.append(entry)
        return ("record", ("\r\n".join(lines + ["end"]) + "\r\n").encode("latin-1"))

    def values(self):
        """The values the program writes, as the driver prints them."""
        return {k: self.cmd("get", *k.split("|"))[0] for k in WRITTEN}

    def registry(self, s, before):
        """The values the program writes, as they are after the run, and as the row expects them: those it
        does not write as they were `before` it, byte for byte (but a restore's date, set back to what it was
        before the row's runs)."""
        agent, where = KEYS["agent"], KEYS["agentpath"]
        wrote = s.wrote or ("all" if s.exit == 1 else "none")
        # a restore's date: as the row set it up, before any run
        wanted = {**before, **({KEYS["date"]: self.date_before} if wrote == "agent" else {})}
        if wrote not in ("none", "agent"):
            data = (s.date.encode() + b"\0" * 10)[:10]
            wanted[KEYS["date"]] = "1 " + (data if b"\0" in data else data + b"\0").hex()  # Wine adds the end
        if wrote in ("all", "agent"):
            text = lambda t: "1 " + (t.encode("cp1252") + b"\0" * 256)[:256].hex()
            last = s.agent or DIRS[s.found[-1]]
            wanted.update({agent + "Download Day": "4 ffffffff", agent + "Download Hour": "4 ffffffff",
                           agent + "Prompt Download": "4 01000000", agent + "Prompt Install": "4 01000000",
                           agent + "WebSite": text("http://updates.zorvane.com/cgi-bin/iou.cgi"),
                           where + "Path": text(last), where: text(last + "TWAGent.exe")})
        return {k: (got, wanted[k]) for k, got in self.values().items()}

    def run(self, s):
        """Runs one scenario; returns what differs from the row. The system DLLs it replaces are back after it."""
        dlls = {os.path.join(self.windows, "system32", name): data for name, data in s.system.items()}
        kept = {path: open(path, "rb").read() for path in dlls}
        try:
            [open(path, "wb").write(data) for path, data in dlls.items()]
            return self.run_row(s)
        finally:
            [open(path, "wb").write(data) for path, data in kept.items()]

    def run_row(self, s):
        self.prepare(s)
        before = self.snapshot()
        values = self.values()
        windows = [(w, "ok") if isinstance(w, str) and not w.startswith("note ") else w for w in s.windows]
        two = s.also is not None or any("also=" in w[1] for w in windows if isinstance(w, tuple))
        if s.also is not None:
            self.cmd("also", s.start, s.also, f"TMP={s.tmp};TEMP={s.tmp}")
        driver = self.start_driver(s.dlls) if s.dlls else self.driver
        seen = self.cmd("run", s.start, str(s.show), s.args, f"TMP={s.tmp};TEMP={s.tmp}",
                        *[part for w in windows if isinstance(w, tuple) for part in w], driver=driver)
        if driver is not self.driver:
            driver.stdin.close(), driver.wait()
        problems = [f"{rel}: last access is not the update time" for rel in s.new.split()  # (the editor reads)
                    if os.path.exists(self.path(rel)) and os.stat(self.path(rel)).st_atime_ns != s.time
                    and "zvreadme" not in rel]
        after = self.snapshot()
        expected = [w if isinstance(w, str) else "win " + w[0] for w in windows] + \
            (["other exit 1"] if two else []) + [f"exit {s.exit}"]
        if len(seen) != len(expected) or not all(map(glob, seen, expected)):
            problems.append("windows, expected:\n    " + "\n    ".join(expected) + "\n  got:\n    " + "\n    ".join(seen))

        scripted = s.library.startswith("scripted")
        content = {}
        if not scripted and s.new:  # a row without a package puts the default one in place itself
            with zipfile.ZipFile(io.BytesIO(s.package or package())) as z:
                content = {n.replace("\\", "/").rsplit("/", 1)[-1]: z.read(n) for n in z.namelist()}
        want = dict(before)
        for rel in s.new.split():
            name = rel.rsplit("/", 1)[1]
            want[rel] = (b"scripted " + name.encode() if scripted else content.get(name), s.time, False)
        if s.backup is not None:
            want.update({FOLDERS[letter] + "/Backup": "folder" for letter in s.found})
            for rel in s.backup.split():  # as the file was before the row's runs
                folder, name = rel.rsplit("/", 1)
                want[folder + "/Backup/" + name] = self.pristine[rel]
        if s.restore:  # the definition files as before the setup's update; the copies stay, the records go
            want = {k: v for k, v in want.items() if "/Backup" in k or k in self.pristine}
            want.update({k: v for k, v in self.pristine.items() if "/Backup" not in k})
            want.update({k: None for k in before if k.endswith(RECORD)})
        want.update({k: before.get(k) for k in (s.kept.split() if isinstance(s.kept, str) else s.kept)})
        records = s.found if s.records is None and s.backup is not None else s.records or ""
        for letter in records:
            rel = FOLDERS[letter] + "/Backup/" + RECORD
            entries = (s.recorded or {}).get(letter)
            if entries is None and s.backup is not None:  # this run's own record: what it backed up and added
                order = list(content) if content else [r.rsplit("/", 1)[1] for r in s.new.split()]
                entries = sorted([f"replaced {r.rsplit('/', 1)[1]}" for r in s.backup.split() if r.startswith(FOLDERS[letter] + "/")] +
                                 [f"added {r.rsplit('/', 1)[1]}" for r in s.new.split()
                                  if r.startswith(FOLDERS[letter] + "/") and r not in before],
                                 key=lambda e: order.index(e.split(" ", 1)[1]))
            want[rel] = self.record(s, letter, list(entries)) if entries is not None else before.get(rel)
        want = {k: v for k, v in want.items() if v is not None}
        want.update({d: "folder" for d in s.mkdirs.split()})
        want = {k: v for k, v in want.items() if not k.startswith("tmp/")}
        if scripted:
            log = after.pop("run/calls.log", (b"",))[0].decode().replace("\r", "").strip().replace("\n", "|")
            if not glob(log, s.calls):
                problems.append(f"library calls: expected {s.calls!r}, got {log!r}")
        left = sorted(k[4:] for k in after if k.startswith("tmp/"))
        expected_left = sorted((s.temp if s.temp is not None else
                                "" if s.exit in (1, 7, 8) else "DefPatch.exe zunpck32.dll").split())
        if left != expected_left:
            problems.append(f"temporary directory: expected {expected_left}, got {left}")
        after = {k: v for k, v in after.items() if not k.startswith("tmp/")}
        for rel in sorted(set(want) | set(after)):
            if want.get(rel) != after.get(rel):
                problems.append(f"{rel}: expected {show(want.get(rel))}, got {show(after.get(rel))}")
        for key, (got, wanted) in self.registry(s, values).items():
            if got != wanted:
                problems.append(f"registry {key}: expected {wanted}, got {got}")
        return problems + self.check_log(s, seen, two)

    def check_log(self, s, seen, two):
        """The log as the row says, and always: every line well formed, each run's block whole (but for a line
        saying that the run waits); the row's run last, with a line for every window it showed, ending in its
        exit code, and without waiting."""
        if s.logfile is None:
            return []
        path = os.path.join(self.prefix, "drive_c", s.logfile)
        text = open(path, "rb").read().decode("latin-1") if os.path.exists(path) else ""
        line = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d (\d+) ([^\x00-\x1f\x7f]*)\r\n"
        entries = re.findall(line, text)
        body = [(pid, text) for pid, text in entries if text != WAITING]
        order = [pid for i, (pid, _) in enumerate(body) if i == 0 or body[i - 1][0] != pid]
        blocks = [[text for p, text in entries if p == pid] for pid in order]
        problems = [] if re.fullmatch(f"(?:{line})*", text) else ["log: a line is not well formed"]
        if len(order) != len(set(order)) or any(WAITING in b[1:] for b in blocks):
            problems.append("log: blocks not whole")
        main = blocks[-1] if blocks else []
        # A run waits only for a run that is going, and only one that gives up says so in its block.
        if not two and (not main or main[-1] != f"exit code {s.exit}" or (WAITING in main and s.exit != 9) or
                               sum(t.startswith("window ") for t in main) != sum(w.startswith("win ") for w in seen)):
            problems.append("log: the run's block waits, lacks a window or does not end in its exit code")
        unshown = [(t[len(QUIET):], main[i + 1:i + 2]) for i, t in enumerate(main) if t.startswith(QUIET)]
        if not two and (len(unshown) != len(s.quiet) or not all(  # each box with the OK it was given
                glob(text, box) and answer == [QUIET_ANSWER] for (text, answer), box in zip(unshown, s.quiet))):
            problems.append("log, boxes not shown, expected:\n    " + "\n    ".join(s.quiet or ["none"]))
        if s.log is not None and (len(main) != len(s.log) or not all(map(glob, main, s.log))):
            problems.append("log, expected:\n    " + "\n    ".join(s.log))
        if s.logcheck and not s.logcheck(blocks, self):
            problems.append("log: not as the row says")
        return problems + (["log:\n    " + "\n    ".join(" ".join(e) for e in entries)] if problems else [])

def glob(text, pattern):
    """Whether `text` is `pattern`, in which each * stands for any text (a working folder's name)."""
    return re.fullmatch(".*".join(map(re.escape, pattern.split("*"))), text, re.S) is not None


def read(path):
    """A file's bytes, also of one its owner may not read (it is the tests' own)."""
    mode = os.stat(path).st_mode
    if mode & 0o400:
        return open(path, "rb").read()
    os.chmod(path, mode | 0o400)
    data = open(path, "rb").read()
    os.chmod(path, mode)
    return data


def show(state):
    if state is None or isinstance(state, str):
        return state or "nothing"
    if state[0] == "record":
        return "the record\n        " + state[1].decode("latin-1").replace("\r\n", "\n        ")
    data, when, readonly = state
    return f"{(data or b'')[:40]!r} at {time.strftime('%Y-%m-%d %H:%M:%S', time.gmtime(when // 10**9))}.{when % 10**9:09d}" \
        + (" read-only" if readonly else "")
