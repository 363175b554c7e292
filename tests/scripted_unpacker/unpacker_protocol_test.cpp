// The engine's side of the unpacker protocol against the scripted library:
// loading and the look-ups with their boxes, the calls and their arguments, and
// which announced files are stamped and recorded (one call late).
#include <gtest/gtest.h>

#include "engine/test_times.h"
#include "engine/unpacker_interface.h"
#include "engine/update_stamp.h"
#include "harness/box_recorder.h"
#include "harness/scratch.h"
#include "scripted_unpacker/scripted_library.h"

namespace {

const FILETIME kUpdateTime = utcTime(1997, 12, 6, 1, 0);

struct ProtocolCase {
    const char* name;
    std::vector<std::string> script;
    std::vector<std::string> recorded;  // the names after the package's, in order
    std::vector<std::string> boxes;     // texts of the "Debugging" boxes
    std::vector<std::string> stamped;   // files in the target folder that carry the update time
    std::vector<std::string> unstamped; // files in the target folder that do not
    std::vector<std::string> removed;   // announced files the engine removed again
};

void PrintTo(const ProtocolCase& c, std::ostream* out)
{
    *out << c.name;
}

std::vector<std::string> recordedNames(UpdateStamp& stamp)
{
    std::vector<std::string> names;
    stamp.setCursor(1);
    char name[UpdateStamp::kNameSize];
    while (stamp.nextFileName(name))
        names.push_back(name);
    return names;
}

// Runs a whole unpacking in `target`, which is also the current directory, as
// in the engine's run.
class Unpacking : public ::testing::TestWithParam<ProtocolCase> {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof savedDir_, savedDir_);
        SetCurrentDirectoryA(target_.path().c_str());
        writeFile(target_ / "virusdef.zpk", "the package\n");
        stamp_.setUpdateTime(kUpdateTime);
        stamp_.addFileName("virusdef.zpk");
    }
    void TearDown() override { SetCurrentDirectoryA(savedDir_); }

    ScratchDir target_;
    UpdateStamp stamp_;
    char savedDir_[MAX_PATH] = "";
};

TEST_P(Unpacking, StampsAndRecordsEachFileWhenTheNextIsAnnouncedOrTheEnd)
{
    const ProtocolCase& c = GetParam();
    ScriptedLibrary library("full", c.script);
    BoxRecorder boxes;
    UnpackerLibrary unpacker;
    ASSERT_TRUE(unpacker.load());
    unpacker.unpack(target_.path().c_str(), stamp_);

    EXPECT_EQ(c.recorded, recordedNames(stamp_));
    std::vector<std::string> debugging;
    for (const auto& box : boxes.boxes()) {
        EXPECT_EQ("Debugging", box.caption);
        debugging.push_back(box.text);
    }
    EXPECT_EQ(c.boxes, debugging);
    for (const auto& name : c.stamped) {
        const FileTimes times = timesOf(target_ / name);
        ASSERT_TRUE(times.read) << name;
        EXPECT_EQ(ticksOf(kUpdateTime), ticksOf(times.write)) << name;
        EXPECT_EQ(ticksOf(kUpdateTime), ticksOf(times.access)) << name;
    }
    for (const auto& name : c.unstamped) {
        ASSERT_TRUE(fileExistsAt(target_ / name)) << name;
        EXPECT_NE(ticksOf(kUpdateTime), lastWriteTicks(target_ / name)) << name;
    }
    for (const auto& name : c.removed)
        EXPECT_FALSE(fileExistsAt(target_ / name)) << name;

    // init once with the package's name, the target and 0 10 0 10; exec once per
    // line of the script; exit once; and the library released.
    const std::vector<std::string> calls = library.calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ("init virusdef.zpk|" + target_.path() + "|0 10 0 10|the package", calls.front());
    EXPECT_EQ("exit", calls.back());
    EXPECT_EQ(c.script.size(), calls.size() - 2);
    EXPECT_FALSE(ScriptedLibrary::loaded());
}

std::vector<std::string> twentyFiles()
{
    std::vector<std::string> script;
    for (int i = 1; i <= 20; ++i)
        script.push_back("2 F" + std::to_string(i) + ".DAT");
    script.push_back("0");
    return script;
}

std::vector<std::string> nineteenNames()
{
    std::vector<std::string> names;
    for (int i = 1; i <= 19; ++i)
        names.push_back("F" + std::to_string(i) + ".DAT");
    return names;
}

const std::string kLongName(32, 'L');

INSTANTIATE_TEST_SUITE_P(
    Statuses, Unpacking,
    ::testing::Values(
        ProtocolCase{"ThreeFilesThenDone", {"2 P.DAT", "2 Q.DAT", "2 R.DAT", "0"}, {"P.DAT", "Q.DAT", "R.DAT"}, {},
                     {"P.DAT", "Q.DAT", "R.DAT"}, {}, {}},
        ProtocolCase{"WorkingStatusesRecordNothing", {"2 P.DAT", "3", "3", "2 Q.DAT", "3", "0"}, {"P.DAT", "Q.DAT"},
                     {}, {"P.DAT", "Q.DAT"}, {}, {}},
        ProtocolCase{"DoneAtOnce", {"0"}, {}, {}, {}, {}, {}},
        ProtocolCase{"ErrorAbandonsTheFileAnnouncedLast", {"2 P.DAT", "3", "5"}, {}, {"5"}, {}, {"P.DAT"}, {}},
        ProtocolCase{"ErrorAfterThreeKeepsTheFirstTwo", {"2 A.DAT", "2 B.DAT", "2 C.DAT", "3", "7"},
                     {"A.DAT", "B.DAT"}, {"7"}, {"A.DAT", "B.DAT"}, {"C.DAT"}, {}},
        ProtocolCase{"StatusOneIsAnError", {"1"}, {}, {"1"}, {}, {}, {}},
        ProtocolCase{"NegativeStatusShownSigned", {"2 P.DAT", "-4"}, {}, {"-4"}, {}, {"P.DAT"}, {}},
        ProtocolCase{"AnnouncedWithTheTargetPath", {"2 %TA.DAT", "0"}, {"A.DAT"}, {}, {"A.DAT"}, {}, {}},
        ProtocolCase{"TwentiethFileIsRemovedNotLost", twentyFiles(), nineteenNames(),
                     {"Could not record F20.DAT"}, {"F1.DAT", "F19.DAT"}, {}, {"F20.DAT"}},
        ProtocolCase{"NameLongerThan31IsRemoved", {"2 " + kLongName, "2 OK.DAT", "0"}, {"OK.DAT"},
                     {"Could not record " + kLongName}, {"OK.DAT"}, {}, {kLongName}},
        ProtocolCase{"NameNamingAnotherFolderIsRefused", {"2 sub/X.DAT", "2 ..", "0"}, {},
                     {"Could not record sub/X.DAT", "Could not record .."}, {}, {}, {}}),
    [](const ::testing::TestParamInfo<ProtocolCase>& info) { return std::string(info.param.name); });

struct LoadCase {
    const char* name;
    std::string variant;
    std::vector<std::string> boxes;
};

void PrintTo(const LoadCase& c, std::ostream* out)
{
    *out << c.name;
}

class Loading : public ::testing::TestWithParam<LoadCase> {};

TEST_P(Loading, AnUnusableLibraryIsReportedAndNeverCalled)
{
    ScriptedLibrary library(GetParam().variant, {"2 P.DAT", "0"});
    BoxRecorder boxes;
    UnpackerLibrary unpacker;
    EXPECT_FALSE(unpacker.load());
    std::vector<std::string> texts;
    for (const auto& box : boxes.boxes()) {
        EXPECT_EQ("Debugging", box.caption);
        EXPECT_EQ(1, box.buttons);
        texts.push_back(box.text);
    }
    EXPECT_EQ(GetParam().boxes, texts);
    EXPECT_TRUE(library.calls().empty());
    EXPECT_FALSE(ScriptedLibrary::loaded());
}

INSTANTIATE_TEST_SUITE_P(
    Variants, Loading,
    ::testing::Values(LoadCase{"Absent", "absent", {"No", "Could not get address of zunpack_init"}},
                      LoadCase{"WithoutInit", "no-init", {"Could not get address of zunpack_init"}},
                      LoadCase{"WithoutExec", "no-exec", {"Could not get address of zunpack_exec"}},
                      LoadCase{"WithoutExit", "no-exit", {"Could not get address of zunpack_exit"}}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST(LoadingComplete, AWholeLibraryLoadsWithoutABox)
{
    ScriptedLibrary library("full", {"0"});
    BoxRecorder boxes;
    UnpackerLibrary unpacker;
    EXPECT_TRUE(unpacker.load());
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(ScriptedLibrary::loaded());
}

} // namespace
