// The real zunpck32.dll writing to a volume that fills up. Needs a small
// drive, which disk_full_test.sh mounts and names in ZPK_SMALL_DRIVE; without
// it the case is skipped.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "dll_driver.h"
#include "harness/scratch.h"
#include "raw_zip.h"

namespace {

TEST(UnpackerDllDiskFull, ReportsAFullDiskAndRemovesThePartialFile)
{
    const char* drive = std::getenv("ZPK_SMALL_DRIVE");
    if (drive == nullptr || *drive == '\0')
        GTEST_SKIP() << "no small drive (run through disk_full_test.sh)";
    UnpackerDll dll;
    ASSERT_TRUE(dll.loaded());

    ScratchDir dir;
    std::vector<ZpkInput> files = {{"SMALL.DAT", "fits"}, {"BIG.DAT", fillerBytes(4 * 1024 * 1024, 51, false)}};
    std::string package;
    ASSERT_TRUE(zpkBuild(files, package, nullptr));
    ASSERT_TRUE(writeFile(dir / "virusdef.zpk", package));
    std::string target = std::string(drive) + "target\\";
    ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr)) << target;

    CurrentDirectory current(dir.path());
    Transcript t = unpackWith(dll, "virusdef.zpk", target, &files);
    EXPECT_EQ(t.finalStatus, ZPK_ERR_DISK_FULL);
    EXPECT_EQ(t.announced, (std::vector<std::string>{"SMALL.DAT", "BIG.DAT"}));
    EXPECT_TRUE(t.problems.empty()) << ::testing::PrintToString(t.problems);
    EXPECT_EQ(listDirectory(target), std::vector<std::string>{"SMALL.DAT"});
    removeTree(target);
}

} // namespace
