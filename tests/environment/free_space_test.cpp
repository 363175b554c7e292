// The free-space check: measured on the volume of the checked path in 64 bits,
// equal amounts suffice, and a shortfall shows the "Fatal" box with the drive
// text and the whole requirement in kilobytes.
#include <gtest/gtest.h>

#include "environment/free_space.h"
#include "environment/small_volume.h"
#include "harness/box_recorder.h"
#include "harness/scratch.h"
#include "run/update_context.h"

namespace {

// Whether a message box carries an icon. Read while the box is being activated,
// before it is visible, so visibility is not looked at.
bool boxHasIcon(HWND box)
{
    bool icon = false;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM found) -> BOOL {
            char className[16] = "";
            GetClassNameA(child, className, sizeof className);
            if (lstrcmpiA(className, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                SendMessageA(child, STM_GETICON, 0, 0) != 0)
                *reinterpret_cast<bool*>(found) = true;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&icon));
    return icon;
}

std::string fatalText(const std::string& drive, int kilobytes)
{
    return "DefPatch could not find enough space on drive " + drive +
           ": for the update files. Please free " + std::to_string(kilobytes) + "k and re run DefPatch";
}

TEST(FreeSpace, AnAmountEqualToTheRequirementSufficesAndOneByteMoreDoesNot)
{
    SKIP_WITHOUT_SMALL_VOLUME();
    ScratchDir dir(kSmallVolume);
    const unsigned long long free = freeBytesOn(dir.path());
    ASSERT_GT(free, 0u);
    const int enough = static_cast<int>(free);

    BoxRecorder boxes;
    bool icon = false;
    boxes.on("Fatal", [&icon](HWND box, const BoxRecord&) {
        icon = boxHasIcon(box);
        return IDOK;
    });
    EXPECT_EQ(1, checkDriveSpace(dir.path().c_str(), enough));
    EXPECT_TRUE(boxes.boxes().empty());

    EXPECT_EQ(0, checkDriveSpace(dir.path().c_str(), enough + 1));
    ASSERT_EQ(1u, boxes.boxes().size());
    const BoxRecord& box = boxes.boxes()[0];
    EXPECT_EQ("Fatal", box.caption);
    EXPECT_TRUE(icon);
    EXPECT_EQ(1, box.buttons);
    EXPECT_EQ(fatalText(dir.path(), (enough + 1) / 1024), box.text);
}

struct Requirement {
    int bytes;
    int kilobytes;
};

void PrintTo(const Requirement& r, std::ostream* out)
{
    *out << r.bytes << " bytes";
}

class FatalAmount : public ::testing::TestWithParam<Requirement> {};

TEST_P(FatalAmount, AsksForTheWholeRequirementInKilobytes)
{
    SKIP_WITHOUT_SMALL_VOLUME();
    ScratchDir dir(kSmallVolume);
    VolumeFiller filler(dir.path(), 100000);
    ASSERT_LT(freeBytesOn(dir.path()), 200000u);

    BoxRecorder boxes;
    EXPECT_EQ(0, checkDriveSpace(kSmallVolume, GetParam().bytes));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ(fatalText(kSmallVolume, GetParam().kilobytes), boxes.boxes()[0].text);
}

INSTANTIATE_TEST_SUITE_P(EngineRequirements, FatalAmount,
                         ::testing::Values(Requirement{2800000, 2734}, Requirement{1400000, 1367},
                                           Requirement{200000, 195}),
                         [](const ::testing::TestParamInfo<Requirement>& info) {
                             return std::to_string(info.param.bytes) + "Bytes";
                         });

TEST(FreeSpace, TheTemporaryDirectoryIsMeasuredAndItsDriveNamed)
{
    SKIP_WITHOUT_SMALL_VOLUME();
    ScratchDir temp(kSmallVolume);
    UpdateContext context;
    ASSERT_TRUE(copyText(context.tempDir, temp.path().c_str()));

    BoxRecorder boxes;
    EXPECT_EQ(0, context.checkFreeSpace(2800000));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Fatal", boxes.boxes()[0].caption);
    EXPECT_EQ(fatalText(kSmallVolume, 2734), boxes.boxes()[0].text);

    // The usual temporary directory, on the big drive C:, has room.
    boxes.clear();
    UpdateContext usual;
    EXPECT_EQ(1, usual.checkFreeSpace(2800000));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(FreeSpace, ADeepDefinitionDirectoryIsNamedInFullAndMeasuredOnItsOwnVolume)
{
    SKIP_WITHOUT_SMALL_VOLUME();
    ScratchDir root(kSmallVolume);
    std::string deep = root.path();
    while (deep.size() < 200) {
        deep += "definition files\\";
        ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
    }
    ASSERT_TRUE(directoryExistsAt(deep));

    BoxRecorder boxes;
    EXPECT_EQ(0, checkDriveSpace(deep.c_str(), 1400000));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ(fatalText(deep, 1367), boxes.boxes()[0].text);
}

TEST(FreeSpace, AVolumeWithMoreThan4GiBFreeHasRoom)
{
    ScratchDir dir;
    if (freeBytesOn(dir.path()) < (5ull << 30))
        GTEST_SKIP() << "the temporary directory's volume has less than 5 GiB free";
    BoxRecorder boxes;
    EXPECT_EQ(1, checkDriveSpace(dir.path().c_str(), 2800000));
    EXPECT_EQ(1, checkDriveSpace(dir.path().c_str(), 0x7FFFFFFF));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(FreeSpace, AVolumeThatCannotBeMeasuredCountsAsHavingRoom)
{
    // A drive letter that names no drive.
    const DWORD drives = GetLogicalDrives();
    char letter = 0;
    for (char c = 'J'; c <= 'Y' && !letter; ++c)
        if (!(drives & (1u << (c - 'A'))))
            letter = c;
    ASSERT_NE(0, letter);
    const std::string unmapped = std::string(1, letter) + ":\\";

    BoxRecorder boxes;
    EXPECT_EQ(1, checkDriveSpace(unmapped.c_str(), 2800000));
    EXPECT_TRUE(boxes.boxes().empty());
}

} // namespace
