// Whole engine runs in-process against the scripted unpacker library: which
// package is placed, what reaches the definition directories, what is cleaned
// up and written, and where the run stops.
#include <gtest/gtest.h>

#include <cctype>

#include "engine/run_update.h"
#include "engine/update_stamp.h"
#include "engine/test_times.h"
#include "environment/small_volume.h"
#include "harness/box_recorder.h"
#include "harness/registry.h"
#include "harness/scratch.h"
#include "run/flags.h"
#include "scripted_unpacker/scripted_library.h"

namespace {

const std::string kSharedKey = "Software\\Zorvane\\Shared";
const std::string kAgentSettings = "Software\\Zorvane\\Tendwise\\CurrentVersion\\Twagent.exe";
const std::string kAgentAppPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\TWAgent.exe";

std::string currentDirectory()
{
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    std::string text = directory;
    if (!text.empty() && text.back() != '\\')
        text += '\\';
    return text;
}

bool anythingWritten()
{
    return keyExists(HKEY_LOCAL_MACHINE, kSharedKey) || keyExists(HKEY_LOCAL_MACHINE, kAgentSettings) ||
           keyExists(HKEY_LOCAL_MACHINE, kAgentAppPath);
}

// A start folder, a temporary folder and two definition folders of the test's
// own; the program's flags cleared; the current directory and registry restored.
class EngineRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = currentDirectory();
        for (const auto& dir : {start_, temp_, glimOn_, dravomire_})
            CreateDirectoryA(dir.c_str(), nullptr);
        SetCurrentDirectoryA(start_.c_str());
        copyText(context_.tempDir, temp_.c_str());
        useDirectories({glimOn_, dravomire_});
        makeBackup = forceUpdate = diagnosticMode = 0;
        filesUpdated = -7;
        updateTime_ = ownLastWriteTime();
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(saved_.c_str());
        makeBackup = forceUpdate = diagnosticMode = filesUpdated = 0;
    }

    void useDirectories(const std::vector<std::string>& directories)
    {
        context_.foundCount = 0;
        for (int slot = 0; slot < UpdateContext::kSlotCount; ++slot) {
            const std::string dir = slot < static_cast<int>(directories.size()) ? directories[slot] : "";
            copyText(context_.definitionDirs[slot], dir.c_str());
            context_.foundCount += dir.empty() ? 0 : 1;
        }
    }

    // A definition file whose last-write time is `offset` ticks from the update time.
    void install(const std::string& path, const std::string& content, long long offset)
    {
        ASSERT_TRUE(writeFile(path, content));
        ASSERT_TRUE(setFileTimes(path, plusTicks(updateTime_, offset)));
    }

    bool carriesUpdateTime(const std::string& path) { return lastWriteTicks(path) == ticksOf(updateTime_); }

    RegistryGuard registry_;
    ScratchDir root_;
    std::string start_ = root_ / "start\\";
    std::string temp_ = root_ / "temp\\";
    std::string glimOn_ = root_ / "glimon\\";
    std::string dravomire_ = root_ / "dravomire\\";
    std::string saved_;
    UpdateContext context_;
    FILETIME updateTime_{};
};

TEST_F(EngineRun, UpdatesEachDirectoryByTheDateRuleCleansUpAndRegisters)
{
    writeFile(start_ + "virusdef.zpk", "package from the start folder\n");
    install(glimOn_ + "A.DAT", "old A\n", -kTicksPerDay);
    install(dravomire_ + "A.DAT", "newer A\n", 1);
    ScriptedLibrary library("full", {"2 A.DAT", "3", "2 B.DAT", "3", "0"});
    BoxRecorder boxes;

    EXPECT_EQ(kUpdateFinished, RunUpdate(context_));

    EXPECT_TRUE(boxes.boxes().empty());
    // A replaces the older copy only; B is new to both folders and counts twice.
    EXPECT_EQ(3, filesUpdated);
    EXPECT_EQ("begins A.DAT\nmore\n", readFile(glimOn_ + "A.DAT"));
    EXPECT_EQ("newer A\n", readFile(dravomire_ + "A.DAT"));
    EXPECT_EQ(ticksOf(plusTicks(updateTime_, 1)), lastWriteTicks(dravomire_ + "A.DAT"));
    for (const auto& path : {glimOn_ + "A.DAT", glimOn_ + "B.DAT", dravomire_ + "B.DAT"}) {
        EXPECT_EQ("begins " + path.substr(path.size() - 5) + "\nmore\n", readFile(path)) << path;
        EXPECT_TRUE(carriesUpdateTime(path)) << path;
    }
    EXPECT_FALSE(directoryExistsAt(glimOn_ + "Backup\\"));

    // The package from the start folder was unpacked, and everything placed in
    // the temporary folder is gone again; the start folder keeps its package.
    EXPECT_EQ("init virusdef.zpk|" + temp_ + "|0 10 0 10|package from the start folder", library.calls().front());
    for (const char* name : {"virusdef.zpk", "A.DAT", "B.DAT"})
        EXPECT_FALSE(fileExistsAt(temp_ + name)) << name;
    EXPECT_TRUE(fileExistsAt(start_ + "virusdef.zpk"));

    EXPECT_EQ(10u, readValue(kSharedKey, "DravomLibraryDate").data.size());
    EXPECT_EQ(REG_SZ, readValue(kAgentAppPath, "Path").type);
    EXPECT_EQ(dravomire_, readValue(kAgentAppPath, "Path").data.c_str());
    EXPECT_EQ(dravomire_, currentDirectory());
}

struct PackageCase {
    const char* name;
    std::string inStart;    // content of a package in the start folder ("" for none)
    std::string inTemp;     // content of a package left in the temporary folder ("" for none)
    std::string unpacked;   // the package the library was given
};

void PrintTo(const PackageCase& c, std::ostream* out)
{
    *out << c.name;
}

class PackagePlacement : public EngineRun, public ::testing::WithParamInterface<PackageCase> {};

TEST_P(PackagePlacement, TheStartFoldersPackageWinsAndEveryCopyIsCleanedUp)
{
    const PackageCase& c = GetParam();
    if (!c.inStart.empty())
        writeFile(start_ + "virusdef.zpk", c.inStart + "\n");
    if (!c.inTemp.empty())
        writeFile(temp_ + "virusdef.zpk", c.inTemp + "\n");
    ScriptedLibrary library("full", {"2 A.DAT", "0"});
    BoxRecorder boxes;

    EXPECT_EQ(kUpdateFinished, RunUpdate(context_));
    EXPECT_TRUE(boxes.boxes().empty());
    ASSERT_FALSE(library.calls().empty());
    EXPECT_EQ("init virusdef.zpk|" + temp_ + "|0 10 0 10|" + c.unpacked, library.calls().front());
    EXPECT_FALSE(fileExistsAt(temp_ + "virusdef.zpk"));
    EXPECT_EQ(2, filesUpdated);
}

INSTANTIATE_TEST_SUITE_P(
    Packages, PackagePlacement,
    ::testing::Values(PackageCase{"OnlyInTheStartFolder", "this month", "", "this month"},
                      PackageCase{"OnlyInTheTemporaryFolder", "", "left behind", "left behind"},
                      PackageCase{"StartFolderOverAStaleCopy", "this month", "left behind", "this month"}),
    [](const ::testing::TestParamInfo<PackageCase>& info) { return std::string(info.param.name); });

TEST_F(EngineRun, APackageInTheTemporaryFolderThatIsTheStartFolderIsUsedInPlace)
{
    writeFile(temp_ + "virusdef.zpk", "started here\n");
    // The same folder, spelt in capitals.
    std::string upper = temp_;
    for (char& ch : upper)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    SetCurrentDirectoryA(upper.c_str());
    ScriptedLibrary library("full", {"2 A.DAT", "0"});

    EXPECT_EQ(kUpdateFinished, RunUpdate(context_));
    EXPECT_EQ("init virusdef.zpk|" + temp_ + "|0 10 0 10|started here", library.calls().front());
    EXPECT_FALSE(fileExistsAt(temp_ + "virusdef.zpk"));
}

TEST_F(EngineRun, AReadOnlyPackageIsPlacedAgainAndCleanedUpEachRun)
{
    writeFile(start_ + "virusdef.zpk", "from a CD\n");
    SetFileAttributesA((start_ + "virusdef.zpk").c_str(), FILE_ATTRIBUTE_READONLY);
    for (int run = 0; run < 2; ++run) {
        // The first run's copy is left behind, marked read-only, as a stopped run would.
        if (run == 1) {
            writeFile(temp_ + "virusdef.zpk", "stale\n");
            SetFileAttributesA((temp_ + "virusdef.zpk").c_str(), FILE_ATTRIBUTE_READONLY);
        }
        ScriptedLibrary library("full", {"2 A.DAT", "0"});
        BoxRecorder boxes;
        EXPECT_EQ(kUpdateFinished, RunUpdate(context_)) << "run " << run;
        EXPECT_TRUE(boxes.boxes().empty()) << "run " << run;
        EXPECT_EQ("init virusdef.zpk|" + temp_ + "|0 10 0 10|from a CD", library.calls().front());
        EXPECT_FALSE(fileExistsAt(temp_ + "virusdef.zpk")) << "run " << run;
        SetCurrentDirectoryA(start_.c_str());
    }
    SetFileAttributesA((start_ + "virusdef.zpk").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(EngineRun, NoPackageAnywhereChangesNothing)
{
    install(glimOn_ + "A.DAT", "old A\n", -kTicksPerDay);
    ScriptedLibrary library("full", {"2 A.DAT", "0"});
    BoxRecorder boxes;

    EXPECT_EQ(kUpdatePackageNotPlaced, RunUpdate(context_));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Debugging", boxes.boxes()[0].caption);
    EXPECT_EQ("Could not copy zpk file to " + temp_ + "virusdef.zpk", boxes.boxes()[0].text);
    EXPECT_TRUE(library.calls().empty());
    EXPECT_EQ("old A\n", readFile(glimOn_ + "A.DAT"));
    EXPECT_EQ(0, filesUpdated);
    EXPECT_FALSE(anythingWritten());
    EXPECT_EQ(start_, currentDirectory());
}

TEST_F(EngineRun, AnErrorStatusTransfersAndDeletesOnlyTheFilesFinishedBeforeIt)
{
    writeFile(start_ + "virusdef.zpk", "package\n");
    ScriptedLibrary library("full", {"2 A.DAT", "2 B.DAT", "3", "5"});
    BoxRecorder boxes;

    EXPECT_EQ(kUpdateFinished, RunUpdate(context_));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("5", boxes.boxes()[0].text);
    EXPECT_EQ(2, filesUpdated);
    EXPECT_TRUE(fileExistsAt(glimOn_ + "A.DAT"));
    EXPECT_FALSE(fileExistsAt(glimOn_ + "B.DAT"));
    EXPECT_FALSE(fileExistsAt(temp_ + "A.DAT"));
    EXPECT_TRUE(fileExistsAt(temp_ + "B.DAT")); // abandoned: never recorded, so not deleted
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, kSharedKey));
}

struct UnusableCase {
    const char* name;
    std::string variant;
    std::vector<std::string> boxes;
};

void PrintTo(const UnusableCase& c, std::ostream* out)
{
    *out << c.name;
}

class UnusableLibrary : public EngineRun, public ::testing::WithParamInterface<UnusableCase> {};

TEST_P(UnusableLibrary, EndsTheRunWithoutTouchingThePackage)
{
    writeFile(start_ + "virusdef.zpk", "package\n");
    install(glimOn_ + "A.DAT", "old A\n", -kTicksPerDay);
    ScriptedLibrary library(GetParam().variant, {"2 A.DAT", "0"});
    BoxRecorder boxes;

    EXPECT_EQ(kUpdateFinished, RunUpdate(context_));
    std::vector<std::string> texts;
    for (const auto& box : boxes.boxes())
        texts.push_back(box.text);
    EXPECT_EQ(GetParam().boxes, texts);
    EXPECT_EQ(0, filesUpdated);
    EXPECT_FALSE(fileExistsAt(temp_ + "virusdef.zpk"));
    EXPECT_EQ("old A\n", readFile(glimOn_ + "A.DAT"));
    EXPECT_FALSE(anythingWritten());
}

INSTANTIATE_TEST_SUITE_P(
    Variants, UnusableLibrary,
    ::testing::Values(UnusableCase{"Absent", "absent", {"No", "Could not get address of zunpack_init"}},
                      UnusableCase{"WithoutExit", "no-exit", {"Could not get address of zunpack_exit"}}),
    [](const ::testing::TestParamInfo<UnusableCase>& info) { return std::string(info.param.name); });

TEST_F(EngineRun, ARunWithoutDefinitionDirectoryUnpacksCleansUpAndRegistersNoAgent)
{
    useDirectories({});
    writeFile(start_ + "virusdef.zpk", "package\n");
    ScriptedLibrary library("full", {"2 A.DAT", "0"});

    EXPECT_EQ(kUpdateFinished, RunUpdate(context_));
    EXPECT_EQ(0, filesUpdated);
    EXPECT_FALSE(fileExistsAt(temp_ + "virusdef.zpk"));
    EXPECT_FALSE(fileExistsAt(temp_ + "A.DAT"));
    EXPECT_EQ(10u, readValue(kSharedKey, "DravomLibraryDate").data.size());
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kAgentSettings));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kAgentAppPath));
    EXPECT_EQ(temp_, currentDirectory());
}

TEST_F(EngineRun, DiagnosticModeShowsTheUpdateDateFirst)
{
    diagnosticMode = 1;
    writeFile(start_ + "virusdef.zpk", "package\n");
    ScriptedLibrary library("full", {"0"});
    BoxRecorder boxes;

    EXPECT_EQ(kUpdateFinished, RunUpdate(context_));
    ASSERT_FALSE(boxes.boxes().empty());
    EXPECT_EQ("DefPatch dated:", boxes.boxes()[0].caption);
    UpdateStamp reference;
    EXPECT_EQ(reference.dateText, boxes.boxes()[0].text);
}

TEST_F(EngineRun, BackupsGoIntoABackupFolderOfEachDirectory)
{
    makeBackup = 1;
    writeFile(start_ + "virusdef.zpk", "package\n");
    install(glimOn_ + "A.DAT", "old A\n", -kTicksPerDay);
    ScriptedLibrary library("full", {"2 A.DAT", "0"});

    EXPECT_EQ(kUpdateFinished, RunUpdate(context_));
    EXPECT_EQ("old A\n", readFile(glimOn_ + "Backup\\A.DAT"));
    EXPECT_EQ("begins A.DAT\n", readFile(glimOn_ + "A.DAT"));
    EXPECT_TRUE(directoryExistsAt(dravomire_ + "Backup\\"));
    EXPECT_FALSE(fileExistsAt(dravomire_ + "Backup\\A.DAT")); // nothing was installed there before
    EXPECT_EQ(2, filesUpdated);
}

TEST_F(EngineRun, ATemporaryFolderOnAFullVolumeStopsTheRunBeforeTheLibrary)
{
    SKIP_WITHOUT_SMALL_VOLUME();
    ScratchDir smallTemp(kSmallVolume);
    copyText(context_.tempDir, smallTemp.path().c_str());
    writeFile(start_ + "virusdef.zpk", "package\n");
    ScriptedLibrary library("full", {"2 A.DAT", "0"});
    BoxRecorder boxes;

    EXPECT_EQ(kUpdateFatal, RunUpdate(context_));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Fatal", boxes.boxes()[0].caption);
    EXPECT_EQ("DefPatch could not find enough space on drive S:\\: for the update files. "
              "Please free 2734k and re run DefPatch",
              boxes.boxes()[0].text);
    EXPECT_TRUE(library.calls().empty());
    EXPECT_FALSE(fileExistsAt(smallTemp / "virusdef.zpk"));
    EXPECT_FALSE(anythingWritten());
}

struct FullDirectoryCase {
    const char* name;
    int backup;
    unsigned long long leave;  // bytes left free on the second directory's volume
    int result;
    std::string amount;        // the amount the box asks for ("" for no box)
};

void PrintTo(const FullDirectoryCase& c, std::ostream* out)
{
    *out << c.name;
}

class SecondDirectorySpace : public EngineRun, public ::testing::WithParamInterface<FullDirectoryCase> {};

TEST_P(SecondDirectorySpace, AShortVolumeStopsTheRunThereKeepingTheFirstDirectorysFiles)
{
    SKIP_WITHOUT_SMALL_VOLUME();
    const FullDirectoryCase& c = GetParam();
    ScratchDir small(kSmallVolume);
    VolumeFiller filler(small.path(), c.leave);
    useDirectories({glimOn_, small.path()});
    makeBackup = c.backup;
    writeFile(start_ + "virusdef.zpk", "package\n");
    ScriptedLibrary library("full", {"2 A.DAT", "0"});
    BoxRecorder boxes;

    EXPECT_EQ(c.result, RunUpdate(context_));
    EXPECT_TRUE(fileExistsAt(glimOn_ + "A.DAT"));
    if (c.amount.empty()) {
        EXPECT_TRUE(boxes.boxes().empty());
        EXPECT_TRUE(fileExistsAt(small / "A.DAT"));
        EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, kSharedKey));
        return;
    }
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("DefPatch could not find enough space on drive " + small.path() +
                  ": for the update files. Please free " + c.amount + " and re run DefPatch",
              boxes.boxes()[0].text);
    EXPECT_FALSE(fileExistsAt(small / "A.DAT"));
    // Stopped before the clean-up: the placed files stay, nothing is registered.
    EXPECT_TRUE(fileExistsAt(temp_ + "virusdef.zpk"));
    EXPECT_TRUE(fileExistsAt(temp_ + "A.DAT"));
    EXPECT_FALSE(anythingWritten());
    EXPECT_EQ(1, filesUpdated);
}

INSTANTIATE_TEST_SUITE_P(
    Requirements, SecondDirectorySpace,
    ::testing::Values(FullDirectoryCase{"WithoutBackupTooShort", 0, 150000, kUpdateFatal, "195k"},
                      FullDirectoryCase{"WithoutBackupEnough", 0, 600000, kUpdateFinished, ""},
                      FullDirectoryCase{"WithBackupTooShort", 1, 600000, kUpdateFatal, "1367k"}),
    [](const ::testing::TestParamInfo<FullDirectoryCase>& info) { return std::string(info.param.name); });

} // namespace
