// The real zunpck32.dll under Wine, on broken and hostile packages and on
// targets it cannot write: each gives its documented status, nothing is
// written outside the target directory, and no partial file stays behind.
#include <gtest/gtest.h>

#include <windows.h>

#include "dll_driver.h"
#include "harness/scratch.h"
#include "package_cases.h"
#include "raw_zip.h"

namespace {

TEST(UnpackerDllRefuses, EveryBrokenOrHostilePackageWithItsStatus)
{
    UnpackerDll dll;
    ASSERT_TRUE(dll.loaded());
    for (const BadCase& c : badCases()) {
        ScratchDir dir;
        ASSERT_TRUE(writeFile(dir / kCasePackageName, c.bytes));
        ASSERT_TRUE(CreateDirectoryA((dir / "target").c_str(), nullptr));
        std::string target = dir / "target\\";
        CurrentDirectory current(dir.path());

        Transcript t = unpackWith(dll, kCasePackageName, target);
        EXPECT_EQ(t.finalStatus, c.status) << c.label;
        EXPECT_TRUE(t.problems.empty()) << c.label << ": " << ::testing::PrintToString(t.problems);
        if (!c.whileWriting) {
            // Refused whole, before anything was written.
            EXPECT_EQ(t.initResult, c.status) << c.label;
            EXPECT_TRUE(t.announced.empty()) << c.label;
        }
        // The file announced last failed and is gone; those before it stay.
        std::vector<std::string> kept = t.announced;
        if (!kept.empty())
            kept.pop_back();
        std::sort(kept.begin(), kept.end());
        EXPECT_EQ(listDirectory(target), kept) << c.label;
        EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"target", kCasePackageName})) << c.label;
    }
}

TEST(UnpackerDllRefuses, AFailureInTheSecondFileKeepsTheFirst)
{
    UnpackerDll dll;
    ASSERT_TRUE(dll.loaded());
    ScratchDir dir;
    RawEntry first;
    first.name = "FIRST.DAT";
    first.data = fillerBytes(150000, 31, true);
    RawEntry second;
    second.name = "SECOND.DAT";
    second.data = fillerBytes(150000, 32, false);
    second.crc = crcOf(second.data) ^ 0x80000000u;
    ASSERT_TRUE(writeFile(dir / "virusdef.zpk", buildRawZip({first, second})));
    CurrentDirectory current(dir.path());
    std::vector<ZpkInput> expected = {{"FIRST.DAT", first.data}, {"SECOND.DAT", second.data}};
    Transcript t = unpackWith(dll, "virusdef.zpk", dir.path(), &expected);
    EXPECT_EQ(t.finalStatus, ZPK_ERR_CRC_MISMATCH);
    EXPECT_EQ(t.announced, (std::vector<std::string>{"FIRST.DAT", "SECOND.DAT"}));
    EXPECT_GT(t.workingCalls, 2);
    EXPECT_TRUE(t.problems.empty()) << ::testing::PrintToString(t.problems);
    EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"FIRST.DAT", "virusdef.zpk"}));
    EXPECT_EQ(readFile(dir / "FIRST.DAT"), first.data);
}

TEST(UnpackerDllRefuses, MissingPackageAndUnusableTargets)
{
    UnpackerDll dll;
    ASSERT_TRUE(dll.loaded());
    ScratchDir dir;
    std::string package;
    ASSERT_TRUE(zpkBuild({{"A.DAT", "a"}}, package, nullptr));
    ASSERT_TRUE(writeFile(dir / "virusdef.zpk", package));
    CurrentDirectory current(dir.path());

    struct Case {
        std::string label, packageName, target;
        int status;
    } cases[] = {
        {"missing package", "nothere.zpk", dir.path(), ZPK_ERR_PACKAGE_UNREADABLE},
        {"package is a folder", "..", dir.path(), ZPK_ERR_PACKAGE_UNREADABLE},
        {"missing target", "virusdef.zpk", dir / "missing\\", ZPK_ERR_BAD_TARGET},
        {"target is a file", "virusdef.zpk", dir / "virusdef.zpk\\", ZPK_ERR_BAD_TARGET},
        {"empty target", "virusdef.zpk", "", ZPK_ERR_BAD_TARGET},
        {"target too long", "virusdef.zpk", dir.path() + std::string(230, 'x') + "\\", ZPK_ERR_BAD_TARGET},
    };
    for (const Case& c : cases) {
        Transcript t = unpackWith(dll, c.packageName, c.target);
        EXPECT_EQ(t.initResult, c.status) << c.label;
        EXPECT_EQ(t.finalStatus, c.status) << c.label;
        EXPECT_TRUE(t.announced.empty()) << c.label;
    }
    EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"virusdef.zpk"});
}

TEST(UnpackerDllRefuses, ToOverwriteAReadOnlyFileOrAFolder)
{
    UnpackerDll dll;
    ASSERT_TRUE(dll.loaded());
    ScratchDir dir;
    std::vector<ZpkInput> files = {{"A.DAT", "new a"}, {"B.DAT", "new b"}};
    std::string package;
    ASSERT_TRUE(zpkBuild(files, package, nullptr));
    ASSERT_TRUE(writeFile(dir / "virusdef.zpk", package));
    ASSERT_TRUE(CreateDirectoryA((dir / "ro").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((dir / "folder").c_str(), nullptr));
    ASSERT_TRUE(writeFile(dir / "ro\\B.DAT", "old b"));
    ASSERT_TRUE(SetFileAttributesA((dir / "ro\\B.DAT").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CreateDirectoryA((dir / "folder\\A.DAT").c_str(), nullptr));
    CurrentDirectory current(dir.path());

    // B.DAT is read-only: A.DAT was complete when B.DAT failed to begin, but
    // the caller abandons the file announced last, so the library removes it.
    Transcript readOnly = unpackWith(dll, "virusdef.zpk", dir / "ro\\", &files);
    EXPECT_EQ(readOnly.finalStatus, ZPK_ERR_WRITE_FAILED);
    EXPECT_EQ(readOnly.announced, std::vector<std::string>{"A.DAT"});
    EXPECT_EQ(listDirectory(dir / "ro\\"), std::vector<std::string>{"B.DAT"});
    EXPECT_EQ(readFile(dir / "ro\\B.DAT"), "old b");

    Transcript folder = unpackWith(dll, "virusdef.zpk", dir / "folder\\", &files);
    EXPECT_EQ(folder.finalStatus, ZPK_ERR_WRITE_FAILED);
    EXPECT_TRUE(folder.announced.empty());
    EXPECT_EQ(listDirectory(dir / "folder\\"), std::vector<std::string>{"A.DAT"});
    EXPECT_TRUE(directoryExistsAt(dir / "folder\\A.DAT"));
}

TEST(UnpackerDllRefuses, CallsOutOfOrder)
{
    UnpackerDll dll;
    ASSERT_TRUE(dll.loaded());
    char nameBuffer[128] = "virusdef.zpk";
    int variable = 0;
    EXPECT_EQ(dll.exec(nameBuffer, &variable), ZPK_ERR_NOT_READY);
    EXPECT_EQ(dll.exit(), 0);
    EXPECT_EQ(dll.exec(nameBuffer, &variable), ZPK_ERR_NOT_READY);

    ScratchDir dir;
    std::string package;
    ASSERT_TRUE(zpkBuild({{"A.DAT", "a"}}, package, nullptr));
    ASSERT_TRUE(writeFile(dir / "virusdef.zpk", package));
    CurrentDirectory current(dir.path());
    EXPECT_EQ(dll.init(nameBuffer, dir.path().c_str(), 0, 10, 0, 10, &variable), ZPK_DONE);
    EXPECT_EQ(dll.exec(nullptr, &variable), ZPK_ERR_NOT_READY);
    EXPECT_EQ(dll.exec(nameBuffer, &variable), ZPK_ERR_NOT_READY);
    EXPECT_EQ(dll.exit(), 0);
    EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"virusdef.zpk"});

    EXPECT_EQ(dll.init(nullptr, dir.path().c_str(), 0, 10, 0, 10, &variable), ZPK_ERR_PACKAGE_UNREADABLE);
    EXPECT_EQ(dll.exec(nameBuffer, &variable), ZPK_ERR_PACKAGE_UNREADABLE);
    EXPECT_EQ(dll.exit(), 0);
    EXPECT_EQ(dll.init(nameBuffer, nullptr, 0, 10, 0, 10, &variable), ZPK_ERR_BAD_TARGET);
    EXPECT_EQ(dll.exit(), 0);
}

TEST(UnpackerDllRefuses, ToLeaveAFileItWasStillWritingAtExit)
{
    UnpackerDll dll;
    ASSERT_TRUE(dll.loaded());
    ScratchDir dir;
    std::string package;
    ASSERT_TRUE(zpkBuild({{"DONE.DAT", "done"}, {"BIG.DAT", fillerBytes(1024 * 1024, 41, false)}}, package, nullptr));
    ASSERT_TRUE(writeFile(dir / "virusdef.zpk", package));
    CurrentDirectory current(dir.path());
    char nameBuffer[128] = "virusdef.zpk";
    int variable = 0;
    ASSERT_EQ(dll.init(nameBuffer, dir.path().c_str(), 0, 10, 0, 10, &variable), ZPK_DONE);
    int status = 0;
    do
        status = dll.exec(nameBuffer, &variable);
    while (status == ZPK_WORKING || (status == ZPK_FILE_BEGUN && std::string(nameBuffer) != "BIG.DAT"));
    ASSERT_EQ(status, ZPK_FILE_BEGUN);
    ASSERT_EQ(dll.exec(nameBuffer, &variable), ZPK_WORKING);
    EXPECT_TRUE(fileExistsAt(dir / "BIG.DAT"));
    EXPECT_EQ(dll.exit(), 0);
    EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"DONE.DAT", "virusdef.zpk"}));
}

} // namespace
