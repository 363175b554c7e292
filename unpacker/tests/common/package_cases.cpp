// The shared table of sound and hostile packages.
#include "package_cases.h"

#include "raw_zip.h"
#include "zpk_status.h"

namespace {

RawEntry entry(const std::string& name, const std::string& data, std::uint16_t method = 8)
{
    RawEntry e;
    e.name = name;
    e.data = data;
    e.method = method;
    return e;
}

RawEntry folder(const std::string& name)
{
    return entry(name, "", 0);
}

std::string zipOf(std::vector<RawEntry> entries, const RawZipOptions& options = {})
{
    return buildRawZip(entries, options);
}

std::string built(const std::vector<ZpkInput>& files)
{
    std::string out;
    zpkBuild(files, out, nullptr);
    return out;
}

const std::string kText = fillerBytes(300 * 1024, 1, true);
const std::string kNoise = fillerBytes(100 * 1024, 2, false);

} // namespace

std::vector<GoodCase> goodCases()
{
    std::vector<GoodCase> cases;
    std::vector<ZpkInput> mixed = {{"VIRSCAN.DAT", kText}, {"NOISE.BIN", kNoise}, {"EMPTY.DAT", ""}, {"ONE.DAT", "1"}};
    cases.push_back({"zpk writer, deflated and stored", built(mixed), mixed});

    std::vector<ZpkInput> nineteen;
    for (int i = 0; i < 19; ++i)
        nineteen.push_back({"FILE" + std::to_string(i) + ".DAT", fillerBytes(1000 + i * 37, 10 + i, i % 2 == 0)});
    cases.push_back({"19 files", built(nineteen), nineteen});

    std::string longName(31, 'N');
    cases.push_back({"31-character name", built({{longName, "x"}}), {{longName, "x"}}});

    cases.push_back({"folders are passed over",
                     zipOf({folder("defs/"), entry("defs/A.DAT", kText.substr(0, 5000)), folder("defs/sub/"),
                            entry("defs/sub/B.DAT", "bee", 0)}),
                     {{"A.DAT", kText.substr(0, 5000)}, {"B.DAT", "bee"}}});

    cases.push_back({"backslash folders", zipOf({entry("defs\\A.DAT", "a")}), {{"A.DAT", "a"}}});

    RawEntry described = entry("DESC.DAT", kText.substr(1000, 70000));
    described.dataDescriptor = true;
    RawEntry describedStored = entry("STORED.DAT", "stored with a descriptor", 0);
    describedStored.dataDescriptor = true;
    cases.push_back({"data descriptors", zipOf({described, describedStored}),
                     {{"DESC.DAT", kText.substr(1000, 70000)}, {"STORED.DAT", "stored with a descriptor"}}});

    RawZipOptions commented;
    commented.comment = "Zorvane virus definitions, with a comment that mentions PK\x05\x06 inside";
    cases.push_back({"archive comment", zipOf({entry("C.DAT", "c")}, commented), {{"C.DAT", "c"}}});

    // Extended timestamp and Unix id fields, as Info-ZIP writes them.
    RawEntry extras = entry("EXTRA.DAT", "extra");
    extras.centralExtra = std::string("UT\x05\x00\x03\x01\x02\x03\x04ux\x0b\x00\x01\x04\x00\x00\x00\x00\x04\x00\x00\x00\x00", 24);
    extras.localExtra = extras.centralExtra;
    cases.push_back({"extra fields", zipOf({extras}), {{"EXTRA.DAT", "extra"}}});

    cases.push_back({"no files at all", zipOf({}), {}});
    cases.push_back({"only a folder", zipOf({folder("defs/")}), {}});
    return cases;
}

std::vector<BadCase> badCases()
{
    std::vector<BadCase> cases;
    const std::string good = built({{"A.DAT", kText.substr(0, 20000)}, {"B.DAT", "bee"}});

    // Not a package at all, or cut short.
    cases.push_back({"empty file", "", ZPK_ERR_NOT_A_PACKAGE, false});
    cases.push_back({"garbage", fillerBytes(3000, 7, false), ZPK_ERR_NOT_A_PACKAGE, false});
    cases.push_back({"text file", "This is not a package.\r\n", ZPK_ERR_NOT_A_PACKAGE, false});
    cases.push_back({"end record cut off", good.substr(0, good.size() - 5), ZPK_ERR_NOT_A_PACKAGE, false});
    cases.push_back({"cut in half", good.substr(0, good.size() / 2), ZPK_ERR_NOT_A_PACKAGE, false});
    cases.push_back({"central directory cut off", good.substr(0, 30) + good.substr(good.size() - 22),
                     ZPK_ERR_NOT_A_PACKAGE, false});
    RawZipOptions junk;
    junk.trailing = "junk";
    cases.push_back({"bytes after the end record", zipOf({entry("A.DAT", "a")}, junk), ZPK_ERR_NOT_A_PACKAGE, false});
    RawZipOptions moreEntries;
    moreEntries.entryCount = 2;
    cases.push_back({"end record counts too many", zipOf({entry("A.DAT", "a")}, moreEntries), ZPK_ERR_NOT_A_PACKAGE, false});
    RawZipOptions fewerEntries;
    fewerEntries.entryCount = 1;
    cases.push_back({"end record counts too few", zipOf({entry("A.DAT", "a"), entry("B.DAT", "b")}, fewerEntries),
                     ZPK_ERR_NOT_A_PACKAGE, false});

    // Headers that disagree or point where they should not.
    RawEntry storedSizes = entry("A.DAT", "abc", 0);
    storedSizes.compressedSize = 2;
    cases.push_back({"stored sizes disagree", zipOf({storedSizes}), ZPK_ERR_NOT_A_PACKAGE, false});
    RawEntry localName = entry("A.DAT", "abc");
    localName.localName = "B.DAT";
    cases.push_back({"local name differs", zipOf({localName}), ZPK_ERR_NOT_A_PACKAGE, false});
    RawEntry localSize = entry("A.DAT", "abc");
    localSize.localSize = 4;
    cases.push_back({"local size differs", zipOf({localSize}), ZPK_ERR_NOT_A_PACKAGE, false});
    RawEntry localMethod = entry("A.DAT", "abc", 0);
    localMethod.localMethod = 8;
    cases.push_back({"local method differs", zipOf({localMethod}), ZPK_ERR_NOT_A_PACKAGE, false});
    RawEntry farAway = entry("A.DAT", "abc");
    farAway.writeLocal = false;
    farAway.localOffset = 100000;
    cases.push_back({"local header outside", zipOf({farAway}), ZPK_ERR_NOT_A_PACKAGE, false});
    {
        // B's local header and data lie inside A's stored data.
        std::string inner = zipOf({entry("B.DAT", kText.substr(0, 1000), 0)});
        std::string innerLocal = inner.substr(0, 30 + 5 + 1000);
        RawEntry outer = entry("A.DAT", innerLocal, 0);
        RawEntry shared = entry("B.DAT", kText.substr(0, 1000), 0);
        shared.writeLocal = false;
        shared.localOffset = 30 + 5;
        cases.push_back({"entries overlap", zipOf({outer, shared}), ZPK_ERR_NOT_A_PACKAGE, false});
    }
    cases.push_back({"folder holding data", zipOf({entry("defs/", "data", 0)}), ZPK_ERR_NOT_A_PACKAGE, false});

    // What the library does not unpack.
    RawEntry encrypted = entry("A.DAT", "secret");
    encrypted.flags = 0x0001;
    cases.push_back({"encrypted entry", zipOf({encrypted}), ZPK_ERR_UNSUPPORTED, false});
    RawEntry strong = entry("A.DAT", "secret");
    strong.flags = 0x0041;
    cases.push_back({"strongly encrypted entry", zipOf({strong}), ZPK_ERR_UNSUPPORTED, false});
    cases.push_back({"bzip2 entry", zipOf({entry("A.DAT", "abc", 12)}), ZPK_ERR_UNSUPPORTED, false});
    RawEntry aes = entry("A.DAT", "abc", 99);
    aes.centralExtra = std::string("\x01\x99\x07\x00\x02\x00" "AE\x03\x08\x00", 11);
    cases.push_back({"AES entry", zipOf({aes}), ZPK_ERR_UNSUPPORTED, false});
    RawEntry zip64 = entry("A.DAT", "abc");
    zip64.centralExtra = std::string("\x01\x00\x08\x00\x03\x00\x00\x00\x00\x00\x00\x00", 12);
    cases.push_back({"ZIP64 extra field", zipOf({zip64}), ZPK_ERR_UNSUPPORTED, false});
    RawEntry zip64Size = entry("A.DAT", "abc");
    zip64Size.size = 0xFFFFFFFF;
    cases.push_back({"ZIP64 size marker", zipOf({zip64Size}), ZPK_ERR_UNSUPPORTED, false});
    RawZipOptions locator;
    locator.zip64Locator = true;
    cases.push_back({"ZIP64 end locator", zipOf({entry("A.DAT", "a")}, locator), ZPK_ERR_UNSUPPORTED, false});
    RawZipOptions split;
    split.disk = 1;
    cases.push_back({"split archive", zipOf({entry("A.DAT", "a")}, split), ZPK_ERR_UNSUPPORTED, false});
    RawEntry otherDisk = entry("A.DAT", "a");
    otherDisk.startDisk = 1;
    cases.push_back({"entry on another disk", zipOf({otherDisk}), ZPK_ERR_UNSUPPORTED, false});

    // Too many files.
    std::vector<RawEntry> twenty;
    for (int i = 0; i < 20; ++i)
        twenty.push_back(entry("F" + std::to_string(i) + ".DAT", "x"));
    cases.push_back({"20 files", zipOf(twenty), ZPK_ERR_TOO_MANY_FILES, false});
    std::vector<RawEntry> folders;
    for (int i = 0; i < 65; ++i)
        folders.push_back(folder("d" + std::to_string(i) + "/"));
    cases.push_back({"65 folder entries", zipOf(folders), ZPK_ERR_TOO_MANY_FILES, false});

    // Names the library must not write.
    const char* badNames[] = {
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", // 32 characters
        "../x", "..\\x", "a/../x", "..", "./x", "C:\\x", "C:x", "/x", "\\x", "a//b", "CON", "con.txt", "NUL",
        "aux", "prn.dat", "COM1", "lpt9.txt", "CONIN$", "a<b", "a>b", "a\"b", "a|b", "a?b", "a*b",
        "tab\there", "dot at end.", "space at end ", "\xE9t\xE9.dat", "x/\xff/y",
        "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
        "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
        "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/A.DAT", // 262 in all
    };
    for (const char* name : badNames)
        cases.push_back({std::string("name \"") + name + "\"", zipOf({entry(name, "x")}), ZPK_ERR_BAD_NAME, false});
    cases.push_back({"empty name", zipOf({entry("", "x")}), ZPK_ERR_BAD_NAME, false});
    cases.push_back({"NUL inside a name", zipOf({entry(std::string("A\0B.DAT", 7), "x")}), ZPK_ERR_BAD_NAME, false});
    cases.push_back({"bad name after good files", zipOf({entry("A.DAT", "a"), entry("B.DAT", "b"), entry("../C.DAT", "c")}),
                     ZPK_ERR_BAD_NAME, false});

    cases.push_back({"duplicate names", zipOf({entry("A.DAT", "1"), entry("a.dat", "2")}), ZPK_ERR_DUPLICATE_NAME, false});
    cases.push_back({"duplicates in folders", zipOf({entry("x/A.DAT", "1"), entry("y\\a.DAT", "2")}),
                     ZPK_ERR_DUPLICATE_NAME, false});
    cases.push_back({"file named like the package", zipOf({entry("VirusDef.zpk", "1")}), ZPK_ERR_DUPLICATE_NAME, false});

    // Sizes that would fill the disk, or that the data does not hold.
    RawEntry huge = entry("HUGE.DAT", "small");
    huge.size = 0xFFFFFFFE;
    cases.push_back({"declares a 4 GB file", zipOf({huge}), ZPK_ERR_TOO_LARGE, false});
    RawEntry ratio = entry("BOMB.DAT", std::string(1000, '\0'));
    ratio.size = 200u * 1024 * 1024;
    cases.push_back({"declares 200 MiB from a few bytes", zipOf({ratio}), ZPK_ERR_TOO_LARGE, false});
    {
        // Each passes the ratio check; together they pass the cap.
        std::string zeros(2u * 1024 * 1024, '\0');
        std::string packed = deflateBytes(zeros);
        std::vector<RawEntry> many;
        for (int i = 0; i < 3; ++i) {
            RawEntry e = entry("Z" + std::to_string(i) + ".DAT", "");
            e.packedBytes = packed + std::string(100 * 1024, '\0');
            e.size = 100u * 1024 * 1024;
            e.crc = 0;
            many.push_back(e);
        }
        cases.push_back({"declares 300 MiB in all", zipOf(many), ZPK_ERR_TOO_LARGE, false});
    }

    // Faults in the contents, found while writing.
    RawEntry flipped = entry("A.DAT", kText.substr(0, 150000));
    flipped.crc = crcOf(flipped.data) ^ 0x00010000;
    cases.push_back({"CRC flipped", zipOf({flipped}), ZPK_ERR_CRC_MISMATCH, true});
    RawEntry flippedStored = entry("A.DAT", "stored content", 0);
    flippedStored.crc = crcOf(flippedStored.data) ^ 1;
    cases.push_back({"CRC flipped, stored", zipOf({flippedStored}), ZPK_ERR_CRC_MISMATCH, true});
    RawEntry secondFlipped = entry("B.DAT", kNoise);
    secondFlipped.crc = crcOf(kNoise) + 1;
    cases.push_back({"CRC flipped in the second file", zipOf({entry("A.DAT", "first"), secondFlipped, entry("C.DAT", "third")}),
                     ZPK_ERR_CRC_MISMATCH, true});
    RawEntry claimsMore = entry("A.DAT", kText.substr(0, 100000));
    claimsMore.size = 200000;
    cases.push_back({"declares more than it holds", zipOf({claimsMore}), ZPK_ERR_DATA_DAMAGED, true});
    RawEntry claimsLess = entry("A.DAT", kText.substr(0, 100000));
    claimsLess.size = 50000;
    cases.push_back({"declares less than it holds", zipOf({claimsLess}), ZPK_ERR_DATA_DAMAGED, true});
    RawEntry broken = entry("A.DAT", std::string(1000, 'x'));
    broken.packedBytes = std::string(200, '\xff');
    cases.push_back({"damaged deflate data", zipOf({broken}), ZPK_ERR_DATA_DAMAGED, true});
    RawEntry cut = entry("A.DAT", kNoise);
    std::string packed = deflateBytes(kNoise);
    cut.packedBytes = packed.substr(0, packed.size() - 100);
    cases.push_back({"deflate data cut short", zipOf({cut}), ZPK_ERR_DATA_DAMAGED, true});
    RawEntry tail = entry("A.DAT", kText.substr(0, 4000));
    tail.packedBytes = deflateBytes(tail.data) + "JUNK";
    cases.push_back({"bytes after the deflate data", zipOf({tail}), ZPK_ERR_DATA_DAMAGED, true});
    RawEntry nothing = entry("A.DAT", "abc");
    nothing.packedBytes = "";
    cases.push_back({"deflated entry without data", zipOf({nothing}), ZPK_ERR_DATA_DAMAGED, true});
    return cases;
}
