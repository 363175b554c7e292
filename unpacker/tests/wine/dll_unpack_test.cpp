// The real zunpck32.dll under Wine, on sound packages made by the zpk writer,
// by zpk.exe and by the standard zip tool: every file comes out byte for byte,
// announced once, in package order, complete when announced.
#include <gtest/gtest.h>

#include <windows.h>

#include "dll_driver.h"
#include "harness/scratch.h"
#include "package_cases.h"
#include "raw_zip.h"
#include "zip_fixtures.h"

namespace {

std::vector<std::string> namesOf(const std::vector<ZpkInput>& files)
{
    std::vector<std::string> names;
    for (const ZpkInput& f : files)
        names.push_back(f.name);
    return names;
}

std::vector<std::string> sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// Unpacks `package` as virusdef.zpk into a fresh target folder beside it and
// checks the outcome against `files`.
void expectUnpacks(UnpackerDll& dll, const std::string& package, const std::vector<ZpkInput>& files,
                   const std::string& label)
{
    ScratchDir dir;
    ASSERT_TRUE(writeFile(dir / "virusdef.zpk", package)) << label;
    ASSERT_TRUE(CreateDirectoryA((dir / "target").c_str(), nullptr)) << label;
    std::string target = dir / "target\\";
    CurrentDirectory current(dir.path());

    Transcript t = unpackWith(dll, "virusdef.zpk", target, &files);
    EXPECT_EQ(t.initResult, ZPK_DONE) << label;
    EXPECT_EQ(t.finalStatus, ZPK_DONE) << label;
    EXPECT_EQ(t.announced, namesOf(files)) << label;
    EXPECT_TRUE(t.problems.empty()) << label << ": " << ::testing::PrintToString(t.problems);
    EXPECT_EQ(listDirectory(target), sorted(namesOf(files))) << label;
    EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"target", "virusdef.zpk"})) << label;
}

TEST(UnpackerDll, ExportsItsEntryPointsByPlainName)
{
    UnpackerDll dll;
    ASSERT_NE(dll.module, nullptr) << "cannot load " << binPath("zunpck32.dll");
    EXPECT_NE(dll.init, nullptr);
    EXPECT_NE(dll.exec, nullptr);
    EXPECT_NE(dll.exit, nullptr);
}

TEST(UnpackerDll, UnpacksWhatTheZpkWriterMakes)
{
    UnpackerDll dll;
    ASSERT_TRUE(dll.loaded());
    for (const GoodCase& c : goodCases())
        expectUnpacks(dll, c.bytes, c.files, c.label);
}

TEST(UnpackerDll, UnpacksWhatTheZipToolMakes)
{
    UnpackerDll dll;
    ASSERT_TRUE(dll.loaded());
    std::vector<ZipFixture> fixtures = loadZipFixtures(winePath(ZPK_FIXTURE_DIR) + "\\");
    ASSERT_GE(fixtures.size(), 5u);
    for (const ZipFixture& f : fixtures) {
        if (f.status == 0)
            expectUnpacks(dll, readFile(f.package), f.files, f.package);
    }
}

TEST(UnpackerDll, UnpacksWhatZpkExeMakes)
{
    UnpackerDll dll;
    ASSERT_TRUE(dll.loaded());
    ScratchDir dir;
    std::vector<ZpkInput> files = {{"VIRSCAN.DAT", fillerBytes(400000, 21, true)},
                                   {"SIGS.BIN", fillerBytes(90000, 22, false)},
                                   {"EMPTY.DAT", ""}};
    std::string command = "\"" + binPath("zpk.exe") + "\" pack \"" + dir / "virusdef.zpk" + "\"";
    for (const ZpkInput& f : files) {
        ASSERT_TRUE(writeFile(dir / f.name, f.data));
        command += " \"" + dir / f.name + "\"";
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process))
        << command;
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_EQ(exitCode, 0u) << command;
    expectUnpacks(dll, readFile(dir / "virusdef.zpk"), files, "zpk.exe");
}

TEST(UnpackerDll, WorksInBoundedStepsOnALargePackage)
{
    UnpackerDll dll;
    ASSERT_TRUE(dll.loaded());
    std::vector<ZpkInput> files;
    for (int i = 0; i < 19; ++i)
        files.push_back({"DEF" + std::to_string(i) + ".DAT", fillerBytes(400 * 1024, 100 + i, i % 3 != 0)});
    // Zeros inflate about 1000 to 1: one read of the package holds megabytes.
    files[0].data = std::string(4 * 1024 * 1024, '\0');
    std::string package;
    ASSERT_TRUE(zpkBuild(files, package, nullptr));
    expectUnpacks(dll, package, files, "large");
}

TEST(UnpackerDll, UnpacksAgainAfterExitInTheSameProcess)
{
    UnpackerDll dll;
    ASSERT_TRUE(dll.loaded());
    std::vector<ZpkInput> first = {{"ONE.DAT", "1"}};
    std::vector<ZpkInput> second = {{"TWO.DAT", "2"}, {"THREE.DAT", "3"}};
    std::string a, b;
    ASSERT_TRUE(zpkBuild(first, a, nullptr));
    ASSERT_TRUE(zpkBuild(second, b, nullptr));
    expectUnpacks(dll, a, first, "first");
    expectUnpacks(dll, b, second, "second");
}

TEST(UnpackerDll, ReplacesALeftoverFileOfTheSameName)
{
    UnpackerDll dll;
    ASSERT_TRUE(dll.loaded());
    ScratchDir dir;
    std::vector<ZpkInput> files = {{"A.DAT", "new content"}};
    std::string package;
    ASSERT_TRUE(zpkBuild(files, package, nullptr));
    ASSERT_TRUE(writeFile(dir / "virusdef.zpk", package));
    ASSERT_TRUE(writeFile(dir / "A.DAT", std::string(100000, 'o')));
    CurrentDirectory current(dir.path());
    Transcript t = unpackWith(dll, "virusdef.zpk", dir.path(), &files);
    EXPECT_EQ(t.finalStatus, ZPK_DONE);
    EXPECT_TRUE(t.problems.empty()) << ::testing::PrintToString(t.problems);
    EXPECT_EQ(readFile(dir / "A.DAT"), "new content");
}

TEST(UnpackerDll, TakesTheTargetWithOrWithoutItsBackslashAndThePackageByPath)
{
    UnpackerDll dll;
    ASSERT_TRUE(dll.loaded());
    ScratchDir dir;
    std::vector<ZpkInput> files = {{"A.DAT", "a"}};
    std::string package;
    ASSERT_TRUE(zpkBuild(files, package, nullptr));
    ASSERT_TRUE(writeFile(dir / "virusdef.zpk", package));
    ASSERT_TRUE(CreateDirectoryA((dir / "out").c_str(), nullptr));
    Transcript t = unpackWith(dll, dir / "virusdef.zpk", dir / "out", &files);
    EXPECT_EQ(t.finalStatus, ZPK_DONE);
    EXPECT_EQ(listDirectory(dir / "out\\"), std::vector<std::string>{"A.DAT"});
}

} // namespace
