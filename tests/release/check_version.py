#!/usr/bin/env python3
"""Checks a Windows executable of DefPatch: its machine and subsystem, and the
version resource (fixed file and product versions, US English strings in code
page 1200, and the translation entry). Reads the PE file directly, so it runs
on the build machine for the i686 release that cannot run here.

    check_version.py [--machine i386|amd64] DefPatch.exe
"""
import struct
import sys

EXPECTED_STRINGS = {
    "FileDescription": "Virus Definition Updates for November 1997",
    "FileVersion": "1.11.0000",
    "InternalName": "DefPatch",
    "OriginalFilename": "DefPatch.exe",
    "ProductName": "Zorvane Virus Updates",
    "ProductVersion": "1.10.0000",
}
EXPECTED_FILE_VERSION = (1, 0, 0, 1)
EXPECTED_PRODUCT_VERSION = (1, 0, 0, 0)
LANGUAGE_US_ENGLISH = 0x0409
CODE_PAGE_UNICODE = 1200
MACHINES = {"i386": 0x14C, "amd64": 0x8664}
SUBSYSTEM_WINDOWS_GUI = 2
RT_VERSION = 16


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ executable")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        coff = pe + 4
        self.machine, sections = struct.unpack_from("<HH", data, coff)
        optional_size = struct.unpack_from("<H", data, coff + 16)[0]
        optional = coff + 20
        magic = struct.unpack_from("<H", data, optional)[0]
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.resource_rva, self.resource_size = struct.unpack_from("<II", data, directories + 2 * 8)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            entry = table + 40 * i
            virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from("<IIII", data, entry + 8)
            self.sections.append((virtual_address, max(virtual_size, raw_size), raw_pointer))

    def offset(self, rva):
        for address, size, raw in self.sections:
            if address <= rva < address + size:
                return raw + rva - address
        raise ValueError("address 0x%x lies in no section" % rva)

    def resources(self, type_id):
        """Yields (name id, language, bytes) of every resource of the type."""
        if not self.resource_rva:
            return
        base = self.offset(self.resource_rva)

        def entries(directory):
            named, ids = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                yield name, target

        for type_name, type_target in entries(0):
            if type_name != type_id or not type_target & 0x80000000:
                continue
            for name, name_target in entries(type_target & 0x7FFFFFFF):
                for language, data_entry in entries(name_target & 0x7FFFFFFF):
                    rva, size = struct.unpack_from("<II", self.data, base + data_entry)
                    start = self.offset(rva)
                    yield name, language, self.data[start:start + size]


def read_block(data, offset):
    """One version-information block: (key, value bytes, is text, children, end)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    position = offset + 6
    key_end = position
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[position:key_end].decode("utf-16-le")
    position = (key_end + 2 + 3) & ~3
    value_bytes = value_length * 2 if kind == 1 else value_length
    value = data[position:position + value_bytes]
    children = []
    child = (position + value_bytes + 3) & ~3
    while child < end:
        block = read_block(data, child)
        children.append(block)
        child = (block[4] + 3) & ~3
    return key, value, kind == 1, children, end


def text_of(value):
    return value.decode("utf-16-le").split("\0", 1)[0]


def version_of(most, least):
    return (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)


def check(path, machine):
    problems = []
    with open(path, "rb") as f:
        pe = PeFile(f.read())
    if machine and pe.machine != MACHINES[machine]:
        problems.append("machine 0x%x, expected %s" % (pe.machine, machine))
    if pe.subsystem != SUBSYSTEM_WINDOWS_GUI:
        problems.append("subsystem %d, expected the Windows GUI (2)" % pe.subsystem)

    versions = list(pe.resources(RT_VERSION))
    if len(versions) != 1:
        return problems + ["%d version resources, expected 1" % len(versions)]
    name, language, data = versions[0]
    print("version resource %d, language 0x%04x, %d bytes" % (name, language, len(data)))
    if language != LANGUAGE_US_ENGLISH:
        problems.append("resource language 0x%04x, expected 0x0409" % language)

    key, value, _, children, _ = read_block(data, 0)
    if key != "VS_VERSION_INFO":
        return problems + ["root block %r" % key]
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", value)
    if signature != 0xFEEF04BD:
        problems.append("fixed part signature 0x%x" % signature)
    file_version = version_of(file_ms, file_ls)
    product_version = version_of(product_ms, product_ls)
    print("fixed file version %s, product version %s" %
          (".".join(map(str, file_version)), ".".join(map(str, product_version))))
    if file_version != EXPECTED_FILE_VERSION:
        problems.append("fixed file version %s" % (file_version,))
    if product_version != EXPECTED_PRODUCT_VERSION:
        problems.append("fixed product version %s" % (product_version,))

    strings = {}
    tables = []
    translations = []
    for child_key, _, _, grandchildren, _ in children:
        if child_key == "StringFileInfo":
            for table_key, _, _, entries, _ in grandchildren:
                tables.append(table_key.upper())
                for entry_key, entry_value, _, _, _ in entries:
                    strings[entry_key] = text_of(entry_value)
        elif child_key == "VarFileInfo":
            for var_key, var_value, _, _, _ in grandchildren:
                if var_key == "Translation":
                    translations += [struct.unpack_from("<HH", var_value, i)
                                     for i in range(0, len(var_value) - 3, 4)]
    for entry_key in sorted(strings):
        print("  %s = %s" % (entry_key, strings[entry_key]))
    if tables != ["040904B0"]:
        problems.append("string tables %s, expected 040904B0" % tables)
    if translations != [(LANGUAGE_US_ENGLISH, CODE_PAGE_UNICODE)]:
        problems.append("translations %s, expected (0x409, 1200)" % translations)
    for entry_key, expected in EXPECTED_STRINGS.items():
        if strings.get(entry_key) != expected:
            problems.append("%s is %r, expected %r" % (entry_key, strings.get(entry_key), expected))
    if "Zorvane" not in strings.get("CompanyName", ""):
        problems.append("CompanyName %r does not name the maker" % strings.get("CompanyName"))
    return problems


def main(arguments):
    machine = None
    if len(arguments) >= 2 and arguments[0] == "--machine":
        machine = arguments[1]
        arguments = arguments[2:]
    if len(arguments) != 1 or (machine and machine not in MACHINES):
        print(__doc__)
        return 2
    try:
        problems = check(arguments[0], machine)
    except (OSError, ValueError, struct.error, UnicodeDecodeError) as error:
        problems = ["cannot read %s: %s" % (arguments[0], error)]
    for problem in problems:
        print("FAIL: %s: %s" % (arguments[0], problem))
    if not problems:
        print("%s: version resource as expected" % arguments[0])
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
