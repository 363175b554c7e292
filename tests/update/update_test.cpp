// A whole silent update, end to end: the real DefPatch.exe and zunpck32.dll,
// copied into a release folder with the update's time, update two fake product
// installs from a package made by the package writer. Then the faults: no
// package, no library, a corrupt package, a volume too small, a full volume.
#include <gtest/gtest.h>

#include <map>

#include "environment/small_volume.h"
#include "harness/products.h"
#include "harness/registry.h"
#include "update/release_folder.h"

namespace {

// 12:00 UTC on 5 December 1997: the date text 12/5/1997.
const FILETIME kUpdateTime = utcTime(1997, 12, 5, 12, 0);
const std::string kSharedKey = "Software\\Zorvane\\Shared";
const std::string kAgentSettings = "Software\\Zorvane\\Tendwise\\CurrentVersion\\Twagent.exe";
const std::string kAgentAppPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\TWAgent.exe";

bool anythingWritten()
{
    return keyExists(HKEY_LOCAL_MACHINE, kSharedKey) || keyExists(HKEY_LOCAL_MACHINE, kAgentSettings) ||
           keyExists(HKEY_LOCAL_MACHINE, kAgentAppPath);
}

// A definition file as it stands, to compare byte for byte and time for time.
struct Snapshot {
    std::string content;
    unsigned long long written = 0;
};

Snapshot snapshot(const std::string& path)
{
    Snapshot shot;
    shot.written = lastWriteTicks(path);
    shot.content = readFile(path);
    return shot;
}

// Fake installs of both products and a temporary directory of the test's own,
// with the machine's product keys put aside.
class SilentUpdate : public ::testing::Test {
protected:
    void installDefinition(const std::string& path, const std::string& content, long long offset)
    {
        ASSERT_TRUE(writeFile(path, content));
        ASSERT_TRUE(setFileTimes(path, plusTicks(kUpdateTime, offset)));
    }

    RegistryGuard registry_;
    ScratchDir temp_;
    ScratchDir installs_;
};

// The package: four definition files, one of them big.
const std::vector<ZpkInput> kPackage = {
    {"A.DAT", "this month's A\n"},
    {"B.DAT", "this month's B\n"},
    {"C.DAT", "this month's C\n"},
    {"VIRSCAN.DAT", noise(300000, 1)},
};

std::string packaged(const std::string& name)
{
    for (const auto& file : kPackage)
        if (file.name == name)
            return file.data;
    return {};
}

struct DateRuleCase {
    const char* name;
    const char* commandLine;
    int forced;
};

void PrintTo(const DateRuleCase& c, std::ostream* out)
{
    *out << c.name;
}

class SilentUpdateRule : public SilentUpdate, public ::testing::WithParamInterface<DateRuleCase> {};

TEST_P(SilentUpdateRule, ReplacesWhatIsNotNewerStampsCleansUpAndRegisters)
{
    const bool forced = GetParam().forced;
    FakeGlimOn glimOn(installs_.path());
    FakeDravomire dravomire(installs_.path());
    const std::string shared = glimOn.sharedDir();
    const std::string drav = dravomire.directory();
    // GlimOn AV: A a day older, B exactly as old as the update, C one 100 ns step
    // newer, VIRSCAN.DAT missing. Dravomire: A a day newer, B one step older.
    installDefinition(shared + "A.DAT", "old A\n", -kTicksPerDay);
    installDefinition(shared + "B.DAT", "old B\n", 0);
    installDefinition(shared + "C.DAT", "newer C\n", 1);
    installDefinition(drav + "A.DAT", "newer A\n", kTicksPerDay);
    installDefinition(drav + "B.DAT", "old B\n", -1);
    const Snapshot keptC = snapshot(shared + "C.DAT");
    const Snapshot keptA = snapshot(drav + "A.DAT");

    ReleaseFolder release(kUpdateTime);
    ASSERT_TRUE(release.ready());
    ASSERT_TRUE(release.writePackage(kPackage));
    std::vector<Answer> script;
    if (forced)
        script.push_back({"Forced update"});
    RunResult result = release.run(GetParam().commandLine, temp_.path(), script);
    ASSERT_RUN_OK(result);
    EXPECT_EQ(1u, result.exitCode);

    std::vector<std::string> updated = {shared + "A.DAT", shared + "B.DAT", shared + "VIRSCAN.DAT",
                                        drav + "B.DAT", drav + "C.DAT", drav + "VIRSCAN.DAT"};
    if (forced) {
        updated.push_back(shared + "C.DAT");
        updated.push_back(drav + "A.DAT");
    } else {
        EXPECT_EQ(keptC.content, readFile(shared + "C.DAT"));
        EXPECT_EQ(keptC.written, lastWriteTicks(shared + "C.DAT"));
        EXPECT_EQ(keptA.content, readFile(drav + "A.DAT"));
        EXPECT_EQ(keptA.written, lastWriteTicks(drav + "A.DAT"));
    }
    const bool creationKept = platformKeepsCreationTime(temp_ / "probe");
    for (const auto& path : updated) {
        // The times first: reading the content moves the last-access time.
        const FileTimes times = timesOf(path);
        ASSERT_TRUE(times.read) << path;
        EXPECT_EQ(ticksOf(kUpdateTime), ticksOf(times.write)) << path;
        EXPECT_EQ(ticksOf(kUpdateTime), ticksOf(times.access)) << path;
        if (creationKept) {
            EXPECT_EQ(ticksOf(kUpdateTime), ticksOf(times.creation)) << path;
        }
        EXPECT_TRUE(readFile(path) == packaged(path.substr(path.find_last_of('\\') + 1))) << path;
    }
    // A silent run makes no backup, and leaves no stray copy behind.
    EXPECT_FALSE(directoryExistsAt(shared + "Backup\\"));
    EXPECT_EQ(4u, filesIn(shared).size());
    EXPECT_EQ(5u, filesIn(drav).size()); // dv95.exe and the four files

    // The package copy and the unpacked files are gone from the temporary
    // directory; the shipped package stays.
    EXPECT_TRUE(filesIn(temp_.path()).empty());
    EXPECT_TRUE(fileExistsAt(release.package()));

    // The library date: 10 bytes of the date text, here 9 characters and a zero.
    expectValue(kSharedKey, "DravomLibraryDate", REG_SZ, std::string("12/5/1997\0", 10));
    expectValue(kAgentSettings, "Download Day", REG_DWORD, dwordBytes(0xFFFFFFFF));
    expectValue(kAgentSettings, "Download Hour", REG_DWORD, dwordBytes(0xFFFFFFFF));
    expectValue(kAgentSettings, "Prompt Download", REG_DWORD, dwordBytes(1));
    expectValue(kAgentSettings, "Prompt Install", REG_DWORD, dwordBytes(1));
    expectValue(kAgentSettings, "WebSite", REG_SZ, fixedText(DEFPATCH_UPDATE_SERVER "/cgi-bin/iou.cgi"));
    // The agent is registered in the last definition directory, Dravomire's.
    expectValue(kAgentAppPath, "Path", REG_SZ, fixedText(drav));
    expectValue(kAgentAppPath, "", REG_SZ, fixedText(drav + "TWAGent.exe"));
}

INSTANTIATE_TEST_SUITE_P(Runs, SilentUpdateRule,
                         ::testing::Values(DateRuleCase{"ByDate", "/S", 0}, DateRuleCase{"Forced", "/S /F", 1}),
                         [](const ::testing::TestParamInfo<DateRuleCase>& info) { return std::string(info.param.name); });

TEST_F(SilentUpdate, NoPackageAnywhereTouchesNothing)
{
    FakeGlimOn glimOn(installs_.path());
    installDefinition(glimOn.sharedDir() + "A.DAT", "old A\n", -kTicksPerDay);
    const Snapshot before = snapshot(glimOn.sharedDir() + "A.DAT");
    ReleaseFolder release(kUpdateTime);
    ASSERT_TRUE(release.ready());

    RunResult result = release.run("/S", temp_.path(), {{"Debugging"}});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(1u, result.exitCode);
    EXPECT_EQ("Could not copy zpk file to " + temp_.path() + "virusdef.zpk", result.windows[0].text);
    EXPECT_EQ(before.content, readFile(glimOn.sharedDir() + "A.DAT"));
    EXPECT_EQ(before.written, lastWriteTicks(glimOn.sharedDir() + "A.DAT"));
    EXPECT_TRUE(filesIn(temp_.path()).empty());
    EXPECT_FALSE(anythingWritten());
}

TEST_F(SilentUpdate, WithoutTheUnpackerLibraryNothingIsTouched)
{
    FakeGlimOn glimOn(installs_.path());
    installDefinition(glimOn.sharedDir() + "A.DAT", "old A\n", -kTicksPerDay);
    const Snapshot before = snapshot(glimOn.sharedDir() + "A.DAT");
    ReleaseFolder release(kUpdateTime, false);
    ASSERT_TRUE(release.ready());
    ASSERT_TRUE(release.writePackage(kPackage));

    RunResult result = release.run("/S", temp_.path(), {{"Debugging"}, {"Debugging"}});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(1u, result.exitCode);
    EXPECT_EQ("No", result.windows[0].text);
    EXPECT_EQ("Could not get address of zunpack_init", result.windows[1].text);
    EXPECT_EQ(before.content, readFile(glimOn.sharedDir() + "A.DAT"));
    EXPECT_EQ(before.written, lastWriteTicks(glimOn.sharedDir() + "A.DAT"));
    EXPECT_TRUE(filesIn(temp_.path()).empty());
    EXPECT_FALSE(anythingWritten());
}

struct CorruptCase {
    const char* name;
    // Turns a good package into the corrupt one.
    std::string (*spoil)(std::string package);
};

void PrintTo(const CorruptCase& c, std::ostream* out)
{
    *out << c.name;
}

class CorruptPackage : public SilentUpdate, public ::testing::WithParamInterface<CorruptCase> {};

TEST_P(CorruptPackage, InstallsNothingAndSaysWhy)
{
    FakeGlimOn glimOn(installs_.path());
    installDefinition(glimOn.sharedDir() + "VIRSCAN.DAT", "old scanner\n", -kTicksPerDay);
    const Snapshot before = snapshot(glimOn.sharedDir() + "VIRSCAN.DAT");
    ReleaseFolder release(kUpdateTime);
    ASSERT_TRUE(release.ready());
    ASSERT_TRUE(release.writePackage({{"VIRSCAN.DAT", noise(100000, 7)}}));
    ASSERT_TRUE(writeFile(release.package(), GetParam().spoil(readFile(release.package()))));

    RunResult result = release.run("/S", temp_.path(), {{"Debugging"}});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(1u, result.exitCode);
    // The unpacker's failure number, never one of its ordinary statuses.
    const std::string status = result.windows[0].text;
    EXPECT_TRUE(status == "12" || status == "18" || status == "19") << status;
    EXPECT_EQ(before.content, readFile(glimOn.sharedDir() + "VIRSCAN.DAT"));
    EXPECT_EQ(before.written, lastWriteTicks(glimOn.sharedDir() + "VIRSCAN.DAT"));
    EXPECT_EQ(std::vector<std::string>{"VIRSCAN.DAT"}, filesIn(glimOn.sharedDir()));
    EXPECT_TRUE(filesIn(temp_.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Spoilt, CorruptPackage,
    ::testing::Values(CorruptCase{"NotAnArchive", [](std::string) { return std::string(5000, 'x'); }},
                      CorruptCase{"Truncated", [](std::string p) { return p.substr(0, p.size() / 2); }},
                      // A byte in the middle of the stored data: caught by its CRC.
                      CorruptCase{"DamagedData",
                                  [](std::string p) {
                                      p[p.size() / 2] = static_cast<char>(p[p.size() / 2] ^ 0x5A);
                                      return p;
                                  }}),
    [](const ::testing::TestParamInfo<CorruptCase>& info) { return std::string(info.param.name); });

TEST_F(SilentUpdate, ADefinitionDirectoryOnAVolumeTooSmallStopsTheRunWithExitCode4)
{
    SKIP_WITHOUT_SMALL_VOLUME();
    ScratchDir small(kSmallVolume);
    FakeGlimOn glimOn(installs_.path());
    FakeDravomire dravomire(small.path());
    VolumeFiller filler(dravomire.directory(), 100000);
    ReleaseFolder release(kUpdateTime);
    ASSERT_TRUE(release.ready());
    ASSERT_TRUE(release.writePackage(kPackage));

    RunResult result = release.run("/S", temp_.path(), {{"Fatal"}});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(4u, result.exitCode);
    const WindowSeen& box = result.windows[0];
    EXPECT_EQ("DefPatch could not find enough space on drive " + dravomire.directory() +
                  ": for the update files. Please free 195k and re run DefPatch",
              box.text);
    EXPECT_TRUE(box.stopIcon);
    EXPECT_EQ(1, box.buttons);
    // GlimOn AV, updated first, keeps its new files; Dravomire got none.
    EXPECT_EQ(ticksOf(kUpdateTime), lastWriteTicks(glimOn.sharedDir() + "A.DAT"));
    EXPECT_TRUE(readFile(glimOn.sharedDir() + "VIRSCAN.DAT") == packaged("VIRSCAN.DAT"));
    EXPECT_FALSE(fileExistsAt(dravomire.directory() + "A.DAT"));
    EXPECT_FALSE(anythingWritten());
}

TEST_F(SilentUpdate, AReplacementThatFillsTheVolumeLeavesTheInstalledFileIntact)
{
    SKIP_WITHOUT_SMALL_VOLUME();
    ScratchDir small(kSmallVolume);
    FakeGlimOn glimOn(small.path());
    const std::string installed = glimOn.sharedDir() + "VIRSCAN.DAT";
    installDefinition(installed, noise(400 * 1024, 3), -kTicksPerDay);
    const Snapshot before = snapshot(installed);
    ASSERT_GT(freeBytesOn(small.path()), 200000u);
    ReleaseFolder release(kUpdateTime);
    ASSERT_TRUE(release.ready());
    ASSERT_TRUE(release.writePackage({{"VIRSCAN.DAT", noise(700 * 1024, 4)}}));

    RunResult result = release.run("/S", temp_.path());
    ASSERT_RUN_OK(result);
    EXPECT_EQ(1u, result.exitCode);
    EXPECT_EQ(before.written, lastWriteTicks(installed));
    EXPECT_TRUE(readFile(installed) == before.content);
    EXPECT_EQ(std::vector<std::string>{"VIRSCAN.DAT"}, filesIn(glimOn.sharedDir()));
    EXPECT_TRUE(filesIn(temp_.path()).empty());
}

} // namespace
