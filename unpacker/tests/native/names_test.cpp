// Which entry names a package may hold, and the bare name each is written under.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "zpk_names.h"

namespace {

struct NameCase {
    std::string path;
    bool accepted;
    bool isDirectory;
    std::string bareName;
};

TEST(EntryNames, AcceptsPlainNamesAndFolders)
{
    const NameCase cases[] = {
        {"VIRSCAN.DAT", true, false, "VIRSCAN.DAT"},
        {"a", true, false, "a"},
        {std::string(31, 'x'), true, false, std::string(31, 'x')},
        {"defs/A.DAT", true, false, "A.DAT"},
        {"defs\\sub/A.DAT", true, false, "A.DAT"},
        {"defs/", true, true, ""},
        {"defs\\", true, true, ""},
        {std::string(200, 'f') + "/A.DAT", true, false, "A.DAT"},
        {"name with spaces.dat", true, false, "name with spaces.dat"},
        {" leading.dat", true, false, " leading.dat"},
        {"a.b.c", true, false, "a.b.c"},
        {"CONSOLE.DAT", true, false, "CONSOLE.DAT"},
        {"COM10", true, false, "COM10"},
        {"LPT.DAT", true, false, "LPT.DAT"},
        {"nul_defs.dat", true, false, "nul_defs.dat"},
        {"~$%&'()+,;=@[]^_`{}!#-", true, false, "~$%&'()+,;=@[]^_`{}!#-"},
    };
    for (const NameCase& c : cases) {
        ZpkBareName bare;
        std::memset(bare, 'Z', sizeof bare);
        ZpkNameCheck check = checkEntryName(c.path.data(), c.path.size(), bare);
        EXPECT_EQ(check.status, ZPK_DONE) << c.path;
        EXPECT_EQ(check.isDirectory, c.isDirectory) << c.path;
        EXPECT_EQ(std::string(bare), c.bareName) << c.path;
    }
}

TEST(EntryNames, RefusesWhatWindowsWouldNotWriteOrWouldWriteElsewhere)
{
    const std::string refused[] = {
        "", std::string(32, 'x'), "defs/" + std::string(32, 'x'), std::string(256, 'f'),
        std::string(250, 'f') + "/A.DAT", "/", "//", "/x", "\\x", "a//b", "a\\\\b", "..", ".", "../x",
        "..\\x", "a/../x", "a/./x", "./", "../", "C:", "C:\\x", "C:x", "c:/x", "\\\\server\\share\\x",
        "CON", "con", "Con.txt", "PRN", "AUX.DAT", "NUL", "nul.tar.gz", "COM0", "COM1", "com9.dat", "LPT1",
        "lpt9", "CONIN$", "CONOUT$", "CLOCK$", "CON .txt", "defs/NUL/x", "a<b", "a>b", "a:b", "a\"b", "a|b",
        "a?b", "a*b", "a\tb", "a\x7f" "b", "a\x01", std::string("a\0b", 3), "\xe9t\xe9", "x\xff", "trail.",
        "trail ", "defs./x", "defs /x",
    };
    for (const std::string& path : refused) {
        ZpkBareName bare;
        ZpkNameCheck check = checkEntryName(path.data(), path.size(), bare);
        EXPECT_EQ(check.status, ZPK_ERR_BAD_NAME) << "\"" << path << "\"";
    }
}

TEST(EntryNames, ComparesIgnoringAsciiCaseOnly)
{
    EXPECT_TRUE(sameNameIgnoringCase("VIRSCAN.DAT", "virscan.dat"));
    EXPECT_TRUE(sameNameIgnoringCase("", ""));
    EXPECT_FALSE(sameNameIgnoringCase("A.DAT", "A.DA"));
    EXPECT_FALSE(sameNameIgnoringCase("A.DAT", "B.DAT"));
    EXPECT_FALSE(sameNameIgnoringCase("[", "{")); // differ by 0x20 but are not letters
}

} // namespace
