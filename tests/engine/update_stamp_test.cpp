// Update dating: the date from a UTC file time, the 10 bytes of the library
// date, the date rule on full 64-bit times, the name list and stamping.
#include <gtest/gtest.h>

#include "engine/test_times.h"
#include "engine/update_stamp.h"
#include "harness/box_recorder.h"
#include "harness/registry.h"
#include "harness/scratch.h"
#include "run/flags.h"

namespace {

struct DateCase {
    const char* name;
    FILETIME time;
    int day, month, year;
    std::string text;
    // "DravomLibraryDate" as stored: the program writes 10 bytes of its zero-filled
    // text; for a 10-character date the system (as NT does) counts the
    // terminator that follows them in too.
    std::string registryBytes;
};

void PrintTo(const DateCase& c, std::ostream* out)
{
    *out << c.name;
}

// The value exactly as stored. The registry keeps texts in UTF-16, and the ANSI
// read adds a terminator to a text stored without one, so the stored form is
// read with the wide call and turned back into its (ASCII) bytes.
std::string storedLibraryDate()
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Zorvane\\Shared", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return "<no key>";
    wchar_t data[64];
    DWORD type = 0, size = sizeof data;
    LONG status = RegQueryValueExW(key, L"DravomLibraryDate", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return "<no text value>";
    std::string bytes;
    for (DWORD i = 0; i < size / sizeof(wchar_t); ++i)
        bytes += static_cast<char>(data[i]);
    return bytes;
}

class UpdateDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(UpdateDate, ComesFromTheUtcDosDateAndTenBytesOfItAreWritten)
{
    const DateCase& c = GetParam();
    UpdateStamp stamp;
    stamp.setUpdateTime(c.time);
    EXPECT_EQ(c.day, stamp.day);
    EXPECT_EQ(c.month, stamp.month);
    EXPECT_EQ(c.year, stamp.year);
    EXPECT_EQ(c.text, stamp.dateText);

    RegistryGuard guard;
    stamp.writeLibraryDate();
    EXPECT_EQ(c.registryBytes, storedLibraryDate());
}

std::string bytes(const char* text, std::size_t size)
{
    return std::string(text, size);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, UpdateDate,
    ::testing::Values(
        // 20:00 on 5 December 1997, five hours west of UTC, is 01:00 on the 6th in UTC.
        DateCase{"EveningWestOfUtc", utcTime(1997, 12, 6, 1, 0), 6, 12, 1997, "12/6/1997", bytes("12/6/1997\0", 10)},
        DateCase{"NineCharacters", utcTime(1997, 12, 5), 5, 12, 1997, "12/5/1997", bytes("12/5/1997\0", 10)},
        DateCase{"TenCharacters", utcTime(1997, 12, 31, 23, 59), 31, 12, 1997, "12/31/1997", bytes("12/31/1997\0", 11)},
        DateCase{"EightCharacters", utcTime(1998, 1, 3), 3, 1, 1998, "1/3/1998", bytes("1/3/1998\0\0", 10)},
        DateCase{"LastDosYear", utcTime(2107, 12, 31), 31, 12, 2107, "12/31/2107", bytes("12/31/2107\0", 11)},
        // Outside the DOS range, or unknown: a defined 0/0/1980.
        DateCase{"Before1980", utcTime(1979, 6, 1), 0, 0, 1980, "0/0/1980", bytes("0/0/1980\0\0", 10)},
        DateCase{"Unknown", FILETIME{0, 0}, 0, 0, 1980, "0/0/1980", bytes("0/0/1980\0\0", 10)}),
    [](const ::testing::TestParamInfo<DateCase>& info) { return std::string(info.param.name); });

TEST(UpdateStampConstruction, TakesTheProgramsOwnLastWriteTimeAndShowsTheDateOnlyInDiagnosticMode)
{
    {
        BoxRecorder boxes;
        UpdateStamp stamp;
        EXPECT_EQ(ticksOf(ownLastWriteTime()), ticksOf(stamp.updateTime));
        EXPECT_EQ(0, stamp.fileCount);
        EXPECT_EQ(0, stamp.cursor);
        EXPECT_TRUE(boxes.boxes().empty());
    }
    diagnosticMode = 1;
    BoxRecorder boxes;
    UpdateStamp stamp;
    diagnosticMode = 0;
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("DefPatch dated:", boxes.boxes()[0].caption);
    EXPECT_EQ(stamp.dateText, boxes.boxes()[0].text);
    EXPECT_EQ(1, boxes.boxes()[0].buttons);
}

struct RuleCase {
    const char* name;
    long long offset; // ticks from the update time
    int notNewer;
};

void PrintTo(const RuleCase& c, std::ostream* out)
{
    *out << c.name;
}

class DateRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(DateRule, ComparesFull64BitTimes)
{
    UpdateStamp stamp;
    // A low half near its top, so that steps across the halves are covered.
    const FILETIME update = fileTimeOfTicks((0x01BD0000ULL << 32) | 0xFFFFFFFFULL);
    stamp.setUpdateTime(update);
    EXPECT_EQ(GetParam().notNewer, stamp.isNotNewer(plusTicks(update, GetParam().offset)));
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, DateRule,
    ::testing::Values(RuleCase{"Equal", 0, 1}, RuleCase{"OneStepEarlier", -1, 1}, RuleCase{"OneStepLater", 1, 0},
                      RuleCase{"LaterInTheHighHalfOnly", 1LL << 32, 0}, RuleCase{"EarlierInTheHighHalfOnly", -(1LL << 32), 1},
                      RuleCase{"ADayEarlier", -kTicksPerDay, 1}, RuleCase{"ADayLater", kTicksPerDay, 0}),
    [](const ::testing::TestParamInfo<RuleCase>& info) { return std::string(info.param.name); });

std::vector<std::string> namesFrom(UpdateStamp& stamp, int cursor)
{
    std::vector<std::string> names;
    stamp.setCursor(cursor);
    char name[UpdateStamp::kNameSize];
    while (stamp.nextFileName(name))
        names.push_back(name);
    return names;
}

TEST(NameList, RecordsTheLastPartOfEachPathInOrder)
{
    UpdateStamp stamp;
    EXPECT_EQ(1, stamp.addFileName("C:\\WINDOWS\\TEMP\\virusdef.zpk"));
    EXPECT_EQ(1, stamp.addFileName(""));
    EXPECT_EQ(1, stamp.addFileName("A.DAT"));
    EXPECT_EQ(1, stamp.addFileName("C:\\WINDOWS\\TEMP\\"));
    EXPECT_EQ(std::vector<std::string>({"virusdef.zpk", "A.DAT", ""}), namesFrom(stamp, 0));
    EXPECT_EQ(std::vector<std::string>({"A.DAT", ""}), namesFrom(stamp, 1));
}

TEST(NameList, TheEndLeavesBufferAndCursorAsTheyWere)
{
    UpdateStamp stamp;
    stamp.addFileName("virusdef.zpk");
    stamp.setCursor(1);
    char name[UpdateStamp::kNameSize] = "untouched";
    EXPECT_EQ(0, stamp.nextFileName(name));
    EXPECT_STREQ("untouched", name);
    EXPECT_EQ(1, stamp.cursor);
    stamp.setCursor(-3);
    EXPECT_EQ(1, stamp.nextFileName(name));
    EXPECT_STREQ("virusdef.zpk", name);
}

TEST(NameList, HoldsTwentyNamesOf31CharactersAndRefusesMore)
{
    UpdateStamp stamp;
    EXPECT_EQ(0, stamp.addFileName(std::string(32, 'x').c_str()));
    EXPECT_EQ(1, stamp.addFileName(("C:\\" + std::string(31, 'y')).c_str()));
    for (int i = 1; i < UpdateStamp::kMaxNames; ++i)
        EXPECT_EQ(1, stamp.addFileName(("F" + std::to_string(i)).c_str()));
    EXPECT_EQ(0, stamp.addFileName("ONE.MORE"));
    const std::vector<std::string> names = namesFrom(stamp, 0);
    ASSERT_EQ(20u, names.size());
    EXPECT_EQ(std::string(31, 'y'), names.front());
    EXPECT_EQ("F19", names.back());
}

TEST(Stamping, GivesTheFileTheUpdateTimeAsItsTimes)
{
    ScratchDir dir;
    const FILETIME update = utcTime(1997, 12, 6, 1, 0);
    UpdateStamp stamp;
    stamp.setUpdateTime(update);
    ASSERT_TRUE(writeFile(dir / "A.DAT", "content"));
    stamp.stampFile((dir / "A.DAT").c_str());
    const FileTimes times = timesOf(dir / "A.DAT");
    EXPECT_EQ(ticksOf(update), ticksOf(times.write));
    EXPECT_EQ(ticksOf(update), ticksOf(times.access));
    if (platformKeepsCreationTime(dir / "probe")) {
        EXPECT_EQ(ticksOf(update), ticksOf(times.creation));
    }
    EXPECT_EQ("content", readFile(dir / "A.DAT"));
}

TEST(Stamping, AMissingFileIsPassedOverAndAnUnknownTimeChangesNothing)
{
    ScratchDir dir;
    BoxRecorder boxes;
    UpdateStamp stamp;
    stamp.setUpdateTime(utcTime(1997, 12, 6));
    stamp.stampFile((dir / "missing.dat").c_str());
    EXPECT_FALSE(fileExistsAt(dir / "missing.dat"));

    const FILETIME before = utcTime(1996, 3, 4, 5, 6);
    ASSERT_TRUE(writeFile(dir / "A.DAT", "x"));
    ASSERT_TRUE(setFileTimes(dir / "A.DAT", before));
    stamp.setUpdateTime(FILETIME{0, 0});
    stamp.stampFile((dir / "A.DAT").c_str());
    EXPECT_EQ(ticksOf(before), lastWriteTicks(dir / "A.DAT"));
    EXPECT_EQ(ticksOf(before), ticksOf(timesOf(dir / "A.DAT").access));
    EXPECT_TRUE(boxes.boxes().empty());
}

} // namespace
