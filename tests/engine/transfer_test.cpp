// The transfer rule for one file and one definition directory: the decision by
// date or /F, backups, read-only marks, the diagnostic boxes, and that an
// installed copy is never lost when its replacement fails.
#include <gtest/gtest.h>

#include "engine/test_times.h"
#include "engine/transfer.h"
#include "engine/update_stamp.h"
#include "environment/small_volume.h"
#include "harness/box_recorder.h"
#include "harness/scratch.h"
#include "run/flags.h"

namespace {

const FILETIME kUpdateTime = utcTime(1997, 12, 6, 1, 0);
const std::string kNewContent = "new definitions\n";
const std::string kOldContent = "installed definitions\n";

// An unpacked file in a temporary folder, a definition folder with its backup
// folder, and a stamp with a fixed update time; the flags cleared afterwards.
class Transfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        stamp_.setUpdateTime(kUpdateTime);
        ASSERT_TRUE(writeFile(temp_ / "A.DAT", kNewContent));
        ASSERT_TRUE(setFileTimes(temp_ / "A.DAT", kUpdateTime));
        CreateDirectoryA(backup_.c_str(), nullptr);
        makeBackup = forceUpdate = diagnosticMode = filesUpdated = 0;
    }
    void TearDown() override { makeBackup = forceUpdate = diagnosticMode = filesUpdated = 0; }

    void installOld(long long offset)
    {
        ASSERT_TRUE(writeFile(installed(), kOldContent));
        ASSERT_TRUE(setFileTimes(installed(), plusTicks(kUpdateTime, offset)));
    }
    void transfer(const char* backupDir = nullptr)
    {
        transferDefinitionFile(stamp_, temp_.path().c_str(), "A.DAT", dir_.path().c_str(),
                               backupDir ? backupDir : backup_.c_str());
    }
    std::string installed() const { return dir_ / "A.DAT"; }

    ScratchDir temp_;
    ScratchDir dir_;
    std::string backup_ = dir_ / "Backup\\";
    UpdateStamp stamp_;
};

struct RuleCase {
    const char* name;
    bool installedBefore;
    long long offset; // installed copy's last-write time, in ticks from the update time
    int force;
    int backup;
    bool replaced;
    std::vector<std::string> captions; // in diagnostic mode
};

void PrintTo(const RuleCase& c, std::ostream* out)
{
    *out << c.name;
}

class TransferRule : public Transfer, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(TransferRule, ReplacesWhatIsNotNewerOrEverythingWhenForced)
{
    const RuleCase& c = GetParam();
    if (c.installedBefore)
        installOld(c.offset);
    forceUpdate = c.force;
    makeBackup = c.backup;
    diagnosticMode = 1;
    BoxRecorder boxes;

    transfer();

    EXPECT_EQ(c.captions, boxes.captions());
    EXPECT_EQ(c.replaced ? 1 : 0, filesUpdated);
    if (c.replaced) {
        // Times first: reading the content moves the last-access time.
        const FileTimes times = timesOf(installed());
        EXPECT_EQ(ticksOf(kUpdateTime), ticksOf(times.write));
        EXPECT_EQ(ticksOf(kUpdateTime), ticksOf(times.access));
        EXPECT_EQ(kNewContent, readFile(installed()));
    } else {
        EXPECT_EQ(kOldContent, readFile(installed()));
        EXPECT_EQ(ticksOf(plusTicks(kUpdateTime, c.offset)), lastWriteTicks(installed()));
    }
    // A backup only of a copy that was there and is replaced; it keeps its own time.
    const bool backedUp = c.backup && c.installedBefore && c.replaced;
    EXPECT_EQ(backedUp, fileExistsAt(backup_ + "A.DAT"));
    if (backedUp) {
        EXPECT_EQ(kOldContent, readFile(backup_ + "A.DAT"));
        EXPECT_EQ(ticksOf(plusTicks(kUpdateTime, c.offset)), lastWriteTicks(backup_ + "A.DAT"));
    }
    EXPECT_EQ(std::vector<std::string>{"A.DAT"}, filesIn(dir_.path()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransferRule,
    ::testing::Values(
        RuleCase{"NoCopyYet", false, 0, 0, 0, true, {"Transfering - no copy exists"}},
        RuleCase{"NoCopyYetIsNotBackedUp", false, 0, 0, 1, true, {"Transfering - no copy exists"}},
        RuleCase{"SameTimeAsTheUpdate", true, 0, 0, 0, true, {"Xfering: 12/6/1997"}},
        RuleCase{"OneStepOlder", true, -1, 0, 0, true, {"Xfering: 12/6/1997"}},
        RuleCase{"OneStepNewer", true, 1, 0, 0, false, {"Not Xfering"}},
        RuleCase{"NewerButForced", true, kTicksPerDay, 1, 0, true, {"Xfering: 12/7/1997"}},
        RuleCase{"OlderWithBackup", true, -kTicksPerDay, 0, 1, true, {"Copying backup file to:", "Xfering: 12/5/1997"}},
        RuleCase{"NewerWithBackup", true, kTicksPerDay, 0, 1, false, {"Not Xfering"}}),
    [](const ::testing::TestParamInfo<RuleCase>& info) { return std::string(info.param.name); });

TEST_F(Transfer, OutsideDiagnosticModeNothingIsShown)
{
    for (long long offset : {-1LL, 1LL}) {
        installOld(offset);
        BoxRecorder boxes;
        transfer();
        EXPECT_TRUE(boxes.boxes().empty());
    }
}

TEST_F(Transfer, DiagnosticTextsGiveTheInstalledCopysUtcDate)
{
    diagnosticMode = 1;
    makeBackup = 1;
    ASSERT_TRUE(writeFile(installed(), kOldContent));
    ASSERT_TRUE(setFileTimes(installed(), utcTime(1998, 1, 3, 23, 30)));
    {
        BoxRecorder boxes;
        transfer();
        ASSERT_EQ(1u, boxes.boxes().size());
        EXPECT_EQ("Not Xfering", boxes.boxes()[0].caption);
        EXPECT_EQ("A.DAT is dated 1/3/1998", boxes.boxes()[0].text);
    }
    stamp_.setUpdateTime(utcTime(1998, 2, 1));
    BoxRecorder boxes;
    transfer();
    ASSERT_EQ(2u, boxes.boxes().size());
    EXPECT_EQ(backup_ + "A.DAT", boxes.boxes()[0].text);
    EXPECT_EQ("Xfering: 1/3/1998", boxes.boxes()[1].caption);
    EXPECT_EQ("A.DAT", boxes.boxes()[1].text);
}

TEST_F(Transfer, ABackupReplacesTheEarlierBackupOfTheSameFile)
{
    makeBackup = 1;
    installOld(-1);
    ASSERT_TRUE(writeFile(backup_ + "A.DAT", "last month's backup\n"));
    transfer();
    EXPECT_EQ(kOldContent, readFile(backup_ + "A.DAT"));
    EXPECT_EQ(kNewContent, readFile(installed()));
}

TEST_F(Transfer, WhenTheBackupCannotBeMadeTheInstalledCopyIsKeptAndTheUserTold)
{
    makeBackup = 1;
    installOld(-1);
    removeTree(backup_); // the backup folder could not be made
    for (const char* backupDir : {backup_.c_str(), static_cast<const char*>(nullptr)}) {
        BoxRecorder boxes;
        transferDefinitionFile(stamp_, temp_.path().c_str(), "A.DAT", dir_.path().c_str(), backupDir);
        ASSERT_EQ(1u, boxes.boxes().size());
        EXPECT_EQ("Backup failed", boxes.boxes()[0].caption);
        EXPECT_EQ("Could not back up " + installed() + "; the file was kept as it is.", boxes.boxes()[0].text);
        EXPECT_EQ(kOldContent, readFile(installed()));
        EXPECT_EQ(0, filesUpdated);
    }
}

TEST_F(Transfer, AReadOnlyInstalledCopyStaysAsItIs)
{
    makeBackup = 1;
    installOld(-kTicksPerDay);
    ASSERT_TRUE(SetFileAttributesA(installed().c_str(), FILE_ATTRIBUTE_READONLY));
    BoxRecorder boxes;
    transfer();
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(kOldContent, readFile(installed()));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
              GetFileAttributesA(installed().c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0, filesUpdated);
    EXPECT_FALSE(fileExistsAt(backup_ + "A.DAT"));
}

TEST_F(Transfer, AReadOnlyMarkOnTheUnpackedCopyIsClearedAndTheOtherAttributesKept)
{
    installOld(-1);
    ASSERT_TRUE(SetFileAttributesA((temp_ / "A.DAT").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    transfer();
    const DWORD attributes = GetFileAttributesA((temp_ / "A.DAT").c_str());
    EXPECT_EQ(0u, attributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(0u, attributes & FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(kNewContent, readFile(installed()));
    EXPECT_EQ(1, filesUpdated);
}

TEST_F(Transfer, AnInstalledCopyInUseIsNotReplaced)
{
    installOld(-1);
    HANDLE inUse = CreateFileA(installed().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, inUse);
    transfer();
    CloseHandle(inUse);
    EXPECT_EQ(kOldContent, readFile(installed()));
    EXPECT_EQ(0, filesUpdated);
    EXPECT_EQ(std::vector<std::string>{"A.DAT"}, filesIn(dir_.path()));
}

TEST_F(Transfer, APathThatWouldNotFitIsSkippedWithAMessage)
{
    const std::string deep = dir_.path() + std::string(250 - dir_.path().size(), 'd') + "\\";
    BoxRecorder boxes;
    transferDefinitionFile(stamp_, temp_.path().c_str(), "A.DAT", deep.c_str(), nullptr);
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Path too long", boxes.boxes()[0].caption);
    EXPECT_EQ(deep + "A.DAT", boxes.boxes()[0].text);
    EXPECT_EQ(0, filesUpdated);
    EXPECT_TRUE(filesIn(dir_.path()).empty());
}

TEST_F(Transfer, AnUnknownUpdateTimeKeepsEveryInstalledCopyUnlessForced)
{
    stamp_.setUpdateTime(FILETIME{0, 0});
    installOld(-kTicksPerDay);
    transfer();
    EXPECT_EQ(kOldContent, readFile(installed()));
    forceUpdate = 1;
    transfer();
    EXPECT_EQ(kNewContent, readFile(installed()));
    EXPECT_EQ(1, filesUpdated);
}

TEST_F(Transfer, AReplacementThatFillsTheVolumeLeavesTheInstalledCopyIntact)
{
    SKIP_WITHOUT_SMALL_VOLUME();
    ScratchDir dir(kSmallVolume);
    const std::string installedCopy(400 * 1024, 'o');
    ASSERT_TRUE(writeFile(dir / "A.DAT", installedCopy));
    ASSERT_TRUE(setFileTimes(dir / "A.DAT", plusTicks(kUpdateTime, -1)));
    ASSERT_TRUE(writeFile(temp_ / "A.DAT", std::string(700 * 1024, 'n')));
    ASSERT_GT(freeBytesOn(dir.path()), 200000u);
    ASSERT_LT(freeBytesOn(dir.path()), 700u * 1024);

    transferDefinitionFile(stamp_, temp_.path().c_str(), "A.DAT", dir.path().c_str(), nullptr);

    EXPECT_EQ(0, filesUpdated);
    EXPECT_TRUE(readFile(dir / "A.DAT") == installedCopy);
    EXPECT_EQ(ticksOf(plusTicks(kUpdateTime, -1)), lastWriteTicks(dir / "A.DAT"));
    EXPECT_EQ(std::vector<std::string>{"A.DAT"}, filesIn(dir.path()));
}

TEST_F(Transfer, ANewFileThatDoesNotFitIsNotLeftHalfWritten)
{
    SKIP_WITHOUT_SMALL_VOLUME();
    ScratchDir dir(kSmallVolume);
    ASSERT_TRUE(writeFile(temp_ / "A.DAT", std::string(1200 * 1024, 'n')));

    transferDefinitionFile(stamp_, temp_.path().c_str(), "A.DAT", dir.path().c_str(), nullptr);

    EXPECT_EQ(0, filesUpdated);
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

} // namespace
