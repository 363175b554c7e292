// The run spine, end to end: the real DefPatch.exe started with a command line,
// its windows answered from outside, its exit code read. Each test gives the run
// a start directory and a temporary directory (TMP) of its own, and puts the
// machine's product keys aside.
#include <gtest/gtest.h>

#include "harness/driver.h"
#include "harness/products.h"
#include "harness/registry.h"
#include "harness/scratch.h"
#include "zpk_writer.h"

namespace {

const char kWelcome[] = "Zorvane Virus Definition Update";
const char kFilesFound[] = "Virus Definition Files Found";
const char kNoProduct[] = "Unable to Find Zorvane AV Program";
const char kNoProductText[] =
    "DefPatch could not find any Zorvane AV programs on your computer.  "
    "Please reinstall the application and try again.";

class Spine : public ::testing::Test {
protected:
    RunResult run(const std::string& commandLine, const std::vector<Answer>& script, bool stopAfterScript = false)
    {
        RunOptions options;
        options.startDir = start.path();
        options.env = {"TMP=" + temp.path(), "TEMP=" + temp.path()};
        options.stopAfterScript = stopAfterScript;
        return runDefPatch(commandLine, script, options);
    }

    // A small update in the start directory, so that a run which reaches the
    // update engine goes through it without a complaint.
    void placePackage()
    {
        std::string error;
        ASSERT_TRUE(zpkWriteFile(start / "virusdef.zpk", {{"virscan1.dat", "definitions"}}, &error)) << error;
    }

    // The copies an installer leaves in the temporary directory, which a
    // finished run deletes, and a file of someone else's, which it must not.
    void placeTemporaryCopies()
    {
        ASSERT_TRUE(writeFile(temp / "zunpck32.dll", "library copy"));
        ASSERT_TRUE(writeFile(temp / "DefPatch.exe", "program copy"));
        ASSERT_TRUE(writeFile(temp / "other.txt", "not ours"));
    }
    void expectTemporaryCopies(bool present)
    {
        EXPECT_EQ(present, fileExistsAt(temp / "zunpck32.dll"));
        EXPECT_EQ(present, fileExistsAt(temp / "DefPatch.exe"));
        EXPECT_TRUE(fileExistsAt(temp / "other.txt"));
    }

    ScratchDir start;
    ScratchDir temp;
    ScratchDir installs;
    RegistryGuard guard;
};

TEST_F(Spine, NoProductInteractiveShowsTheStopBoxAndEndsWith12)
{
    placeTemporaryCopies();
    RunResult result = run("", {{kWelcome}, {kNoProduct}});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(12u, result.exitCode);
    ASSERT_EQ(2u, result.windows.size());
    const WindowSeen& box = result.windows[1];
    EXPECT_EQ(kNoProductText, box.text);
    EXPECT_TRUE(box.stopIcon);
    EXPECT_EQ(1, box.buttons);
    expectTemporaryCopies(true);
}

// A minus sign or another letter is no switch: the run is an ordinary
// interactive one, without the boxes of /D or /F.
class NotASwitch : public Spine, public ::testing::WithParamInterface<const char*> {};

TEST_P(NotASwitch, ShowsNoSwitchBox)
{
    RunResult result = run(GetParam(), {{kWelcome}, {kNoProduct}});
    EXPECT_RUN_OK(result);
    EXPECT_EQ(12u, result.exitCode);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, NotASwitch, ::testing::Values("-d", "/x", "-s -f", "D F S"));

TEST_F(Spine, SwitchBoxesComeInTheirOrderAlsoWhenSilent)
{
    RunResult result = run("/s/D/f", {{"Diagnostic:"}, {"Forced update"}}, true);
    ASSERT_RUN_OK(result);
    ASSERT_GE(result.windows.size(), 2u);
    EXPECT_EQ("In diagnostic mode", result.windows[0].text);
    EXPECT_EQ("All files will be updated", result.windows[1].text);
    EXPECT_FALSE(result.windows[0].stopIcon);
    EXPECT_EQ(1, result.windows[1].buttons);
}

TEST_F(Spine, SwitchBoxesComeBeforeTheWelcome)
{
    RunResult result = run("/F /d", {{"Forced update"}, {"Diagnostic:"}, {kWelcome, Action::Press, IDCANCEL}});
    EXPECT_RUN_OK(result);
    EXPECT_EQ(2u, result.exitCode);
}

// A silent run shows nothing when there is no product: no dialog and no error
// box. The run goes through the update engine all the same, which finds its
// package in the start directory.
TEST_F(Spine, SilentWithoutProductShowsNothingAndFinishes)
{
    placePackage();
    placeTemporaryCopies();
    RunResult result = run("/S", {});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(1u, result.exitCode);
    expectTemporaryCopies(false);
}

// When the system gives no usable temporary directory, the deletions at the end
// must not fall back on bare names: that would delete the library and the
// program in the current directory, which is where the user started them.
TEST_F(Spine, WithoutATemporaryDirectoryNothingIsDeletedElsewhere)
{
    ASSERT_TRUE(writeFile(start / "zunpck32.dll", "the user's library"));
    ASSERT_TRUE(writeFile(start / "DefPatch.exe", "the user's program"));
    RunOptions options;
    options.startDir = start.path();
    const std::string tooLong = "C:\\" + std::string(300, 't');
    options.env = {"TMP=" + tooLong, "TEMP=" + tooLong};
    // The engine, too, has no temporary directory to place the package in, and
    // may say so: the run must still reach its end.
    Answer debugging("Debugging");
    debugging.optional = true;
    RunResult result = runDefPatch("/S", {debugging, debugging, debugging, debugging}, options);
    EXPECT_RUN_OK(result);
    EXPECT_TRUE(fileExistsAt(start / "zunpck32.dll"));
    EXPECT_TRUE(fileExistsAt(start / "DefPatch.exe"));
}

TEST_F(Spine, CancelInTheWelcomeEndsWith2BeforeDiscovery)
{
    GlimOnOptions options;
    options.createShared = false;
    FakeGlimOn glimOn(installs.path(), options);
    placeTemporaryCopies();
    RunResult result = run("", {{kWelcome, Action::Press, IDCANCEL}});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(2u, result.exitCode);
    EXPECT_FALSE(directoryExistsAt(glimOn.sharedDir())) << "discovery must not have run";
    expectTemporaryCopies(true);
}

TEST_F(Spine, CancelInTheFilesFoundDialogEndsWith3)
{
    FakeGlimOn glimOn(installs.path());
    placeTemporaryCopies();
    RunResult result = run("", {{kWelcome}, {kFilesFound, Action::Press, IDCANCEL}});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(3u, result.exitCode);
    expectTemporaryCopies(true);
}

TEST_F(Spine, DiagnosticRunShowsAndCreatesTheMissingSharedDirectory)
{
    GlimOnOptions options;
    options.createShared = false;
    FakeGlimOn glimOn(installs.path(), options);
    RunResult result = run("/S /D", {{"Diagnostic:"}, {"Defpatch Could not find:"}}, true);
    ASSERT_RUN_OK(result);
    EXPECT_EQ(glimOn.sharedDir(), result.windows[1].text);
    EXPECT_TRUE(directoryExistsAt(glimOn.sharedDir()));
}

TEST_F(Spine, EachProductAloneIsEnoughToGoOn)
{
    {
        FakeDravomire dravomire(installs.path());
        RunResult result = run("", {{kWelcome}, {kFilesFound, Action::Press, IDCANCEL}});
        EXPECT_RUN_OK(result);
        EXPECT_EQ(3u, result.exitCode);
    }
    {
        FakeGlimOn glimOn(installs.path(), GlimOnLookup::InstallPath);
        RunResult result = run("", {{kWelcome}, {kFilesFound, Action::Press, IDCANCEL}});
        EXPECT_RUN_OK(result);
        EXPECT_EQ(3u, result.exitCode);
    }
}

} // namespace
