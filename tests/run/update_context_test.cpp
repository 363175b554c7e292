// UpdateContext: what construction fills in, and the walk over the definition
// directories (order, end, rewind, copies that walk on their own).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "run/update_context.h"

namespace {

struct WalkCase {
    const char* name;
    const char* slots[UpdateContext::kSlotCount];
    std::vector<std::string> expected;
};

void PrintTo(const WalkCase& c, std::ostream* os)
{
    *os << c.name;
}

UpdateContext contextWith(const char* const (&slots)[UpdateContext::kSlotCount])
{
    UpdateContext context;
    for (int i = 0; i < UpdateContext::kSlotCount; ++i) {
        std::strcpy(context.definitionDirs[i], slots[i]);
        if (slots[i][0])
            ++context.foundCount;
    }
    return context;
}

std::vector<std::string> walk(UpdateContext& context)
{
    std::vector<std::string> seen;
    PathBuffer buffer;
    while (context.nextDirectory(buffer))
        seen.emplace_back(buffer);
    return seen;
}

class DirectoryWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(DirectoryWalk, YieldsFilledSlotsInOrderThenStopsUntilRewound)
{
    const WalkCase& c = GetParam();
    UpdateContext context = contextWith(c.slots);
    EXPECT_EQ(static_cast<int>(c.expected.size()), context.getFoundCount());
    EXPECT_EQ(c.expected, walk(context));

    // Past the end every call answers 0 and leaves the buffer alone.
    PathBuffer buffer = "untouched";
    EXPECT_EQ(0, context.nextDirectory(buffer));
    EXPECT_EQ(0, context.nextDirectory(buffer));
    EXPECT_STREQ("untouched", buffer);

    context.rewindDirectories();
    EXPECT_EQ(0, context.dirCursor);
    EXPECT_EQ(c.expected, walk(context));
}

INSTANTIATE_TEST_SUITE_P(
    Slots, DirectoryWalk,
    ::testing::Values(WalkCase{"NoneFound", {"", "", ""}, {}},
                      WalkCase{"OnlyGlimOn", {"C:\\AV\\SHARED\\", "", ""}, {"C:\\AV\\SHARED\\"}},
                      WalkCase{"OnlyDravomire", {"", "C:\\DV\\", ""}, {"C:\\DV\\"}},
                      WalkCase{"BothGlimOnFirst", {"C:\\AV\\SHARED\\", "C:\\DV\\", ""},
                               {"C:\\AV\\SHARED\\", "C:\\DV\\"}},
                      WalkCase{"ThirdSlotIsWalkedToo", {"", "", "C:\\THIRD\\"}, {"C:\\THIRD\\"}}),
    [](const ::testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

TEST(UpdateContext, ConstructionEmptiesTheRecord)
{
    UpdateContext context;
    EXPECT_EQ(0, context.getFoundCount());
    EXPECT_EQ(0, context.dirCursor);
    for (const auto& slot : context.definitionDirs)
        EXPECT_STREQ("", slot);
    PathBuffer buffer = "untouched";
    EXPECT_EQ(0, context.nextDirectory(buffer));
    EXPECT_STREQ("untouched", buffer);
}

TEST(UpdateContext, ProgramDirIsTheExecutablesFolderWithoutBackslash)
{
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string expected = module;
    expected.erase(expected.rfind('\\'));
    UpdateContext context;
    EXPECT_EQ(expected, context.programDir);
    EXPECT_NE('\\', expected.back());
}

TEST(UpdateContext, TempDirIsTheSystemsWithItsBackslash)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    UpdateContext context;
    EXPECT_STREQ(temp, context.tempDir);
    ASSERT_NE('\0', context.tempDir[0]);
    EXPECT_EQ('\\', context.tempDir[std::strlen(context.tempDir) - 1]);
}

TEST(UpdateContext, TempDirTooLongForItsFieldIsLeftEmpty)
{
    // GetTempPathA takes the folder from TMP; one of 300 characters does not fit
    // the 255 of tempDir, so nothing is kept rather than a cut-off path.
    char saved[1024] = "";
    DWORD had = GetEnvironmentVariableA("TMP", saved, sizeof saved);
    std::string longTemp = "C:\\" + std::string(300, 't');
    SetEnvironmentVariableA("TMP", longTemp.c_str());
    UpdateContext context;
    SetEnvironmentVariableA("TMP", had ? saved : nullptr);
    EXPECT_STREQ("", context.tempDir);
}

TEST(UpdateContext, CopyWalksOnItsOwn)
{
    const char* const slots[UpdateContext::kSlotCount] = {"C:\\AV\\SHARED\\", "C:\\DV\\", ""};
    UpdateContext original = contextWith(slots);
    UpdateContext copy = original;
    EXPECT_EQ((std::vector<std::string>{"C:\\AV\\SHARED\\", "C:\\DV\\"}), walk(copy));
    EXPECT_EQ(0, original.dirCursor);
    EXPECT_EQ((std::vector<std::string>{"C:\\AV\\SHARED\\", "C:\\DV\\"}), walk(original));
}

TEST(UpdateContext, CopyTakenMidWalkGoesOnFromThere)
{
    const char* const slots[UpdateContext::kSlotCount] = {"C:\\AV\\SHARED\\", "C:\\DV\\", ""};
    UpdateContext original = contextWith(slots);
    PathBuffer buffer;
    ASSERT_EQ(1, original.nextDirectory(buffer));
    UpdateContext copy = original;
    EXPECT_EQ(std::vector<std::string>{"C:\\DV\\"}, walk(copy));
    EXPECT_EQ(std::vector<std::string>{"C:\\DV\\"}, walk(original));
}

} // namespace
