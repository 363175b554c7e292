// A read-only installed definition file stays exactly as it was. Run as an
// ordinary user (as_ordinary_user.sh): as root, Wine writes read-only files, so
// the platform's own protection would not be in play.
#include <gtest/gtest.h>

#include "engine/update_stamp.h"
#include "harness/products.h"
#include "harness/registry.h"
#include "update/release_folder.h"

namespace {

const FILETIME kUpdateTime = utcTime(1997, 12, 5, 12, 0);

// The platform refuses to write a read-only file for this user.
bool platformProtectsReadOnlyFiles(const std::string& probe)
{
    writeFile(probe, "probe");
    SetFileAttributesA(probe.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool refused = file == INVALID_HANDLE_VALUE;
    if (!refused)
        CloseHandle(file);
    SetFileAttributesA(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(probe.c_str());
    return refused;
}

TEST(ReadOnlyInstalledFile, ASilentRunLeavesItExactlyAsItWas)
{
    ScratchDir temp;
    ASSERT_TRUE(platformProtectsReadOnlyFiles(temp / "probe")) << "run this program as an ordinary user";
    RegistryGuard registry;
    ScratchDir installs;
    FakeGlimOn glimOn(installs.path());
    const std::string locked = glimOn.sharedDir() + "A.DAT";
    const std::string plain = glimOn.sharedDir() + "B.DAT";
    const FILETIME older = plusTicks(kUpdateTime, -kTicksPerDay);
    for (const auto& path : {locked, plain}) {
        ASSERT_TRUE(writeFile(path, "last month\n"));
        ASSERT_TRUE(setFileTimes(path, older));
    }
    ASSERT_TRUE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));

    ReleaseFolder release(kUpdateTime);
    ASSERT_TRUE(release.ready());
    ASSERT_TRUE(release.writePackage({{"A.DAT", "this month A\n"}, {"B.DAT", "this month B\n"}}));
    RunResult result = release.run("/S", temp.path());
    ASSERT_RUN_OK(result);
    EXPECT_EQ(1u, result.exitCode);

    EXPECT_EQ(ticksOf(older), lastWriteTicks(locked));
    EXPECT_EQ("last month\n", readFile(locked));
    EXPECT_NE(0u, GetFileAttributesA(locked.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ticksOf(kUpdateTime), lastWriteTicks(plain));
    EXPECT_EQ("this month B\n", readFile(plain));
    EXPECT_FALSE(fileExistsAt(glimOn.sharedDir() + "Backup\\A.DAT"));
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ReadOnlyInstalledFile, StampingItChangesNothing)
{
    ScratchDir dir;
    ASSERT_TRUE(platformProtectsReadOnlyFiles(dir / "probe")) << "run this program as an ordinary user";
    const FILETIME before = utcTime(1996, 3, 4);
    ASSERT_TRUE(writeFile(dir / "A.DAT", "x"));
    ASSERT_TRUE(setFileTimes(dir / "A.DAT", before));
    ASSERT_TRUE(SetFileAttributesA((dir / "A.DAT").c_str(), FILE_ATTRIBUTE_READONLY));
    UpdateStamp stamp;
    stamp.setUpdateTime(kUpdateTime);
    stamp.stampFile((dir / "A.DAT").c_str());
    EXPECT_EQ(ticksOf(before), lastWriteTicks(dir / "A.DAT"));
}

} // namespace
