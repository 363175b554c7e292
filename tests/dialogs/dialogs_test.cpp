// Every way through the dialogs of an interactive run of the real DefPatch.exe,
// driven from outside: the welcome dialog's ways out, the files-found dialog's
// backup choice and Cancel, and the two result dialogs with the readme.
#include <gtest/gtest.h>

#include <optional>

#include "damaged_copy.h"
#include "editor_windows.h"
#include "harness/products.h"
#include "harness/registry.h"
#include "update/release_folder.h"

namespace {

const char kWelcome[] = "Zorvane Virus Definition Update";
const char kFilesFound[] = "Virus Definition Files Found";
const char kUpdateComplete[] = "Update Complete";
const char kNoFilesUpdated[] = "No Files Were Updated";
constexpr int kBackupBox = 1005;
constexpr int kViewReadme = 1006;

// 12:00 UTC on 5 December 1997.
const FILETIME kUpdateTime = utcTime(1997, 12, 5, 12, 0);

const std::vector<ZpkInput> kPackage = {
    {"A.DAT", "this month's A\n"},
    {"VIRSCAN.DAT", "this month's scanner\n"},
};

Answer press(const char* caption, int id)
{
    Answer answer;
    answer.caption = caption;
    answer.action = Action::Press;
    answer.id = id;
    return answer;
}

Answer act(const char* caption, Action action, std::vector<int> tick = {}, int focus = 0)
{
    Answer answer;
    answer.caption = caption;
    answer.action = action;
    answer.tick = std::move(tick);
    answer.focus = focus;
    return answer;
}

// Both products installed with last month's files (a day older than the update),
// in a folder of the test's own, with the machine's product keys put aside.
class InteractiveRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(release_.ready());
        ASSERT_TRUE(release_.writePackage(kPackage));
    }

    void installLastMonths(const std::string& directory)
    {
        for (const char* name : {"A.DAT", "VIRSCAN.DAT"}) {
            ASSERT_TRUE(writeFile(directory + name, std::string("last month's ") + name + "\n"));
            ASSERT_TRUE(setFileTimes(directory + name, plusTicks(kUpdateTime, -kTicksPerDay)));
        }
    }

    // Whether every definition file in `directory` is still last month's.
    bool untouched(const std::string& directory)
    {
        return readFile(directory + "A.DAT") == "last month's A.DAT\n" &&
               readFile(directory + "VIRSCAN.DAT") == "last month's VIRSCAN.DAT\n";
    }

    bool updated(const std::string& directory)
    {
        return readFile(directory + "A.DAT") == "this month's A\n" &&
               readFile(directory + "VIRSCAN.DAT") == "this month's scanner\n";
    }

    RunResult run(const std::vector<Answer>& script, const std::string& commandLine = "", int showWindow = -1)
    {
        return release_.run(commandLine, temp_.path(), script, showWindow);
    }

    RegistryGuard registry_;
    ScratchDir temp_;
    ScratchDir installs_;
    ReleaseFolder release_{kUpdateTime};
};

// ---- The welcome dialog ----

struct WelcomeExit {
    const char* name;
    Answer answer;
};

void PrintTo(const WelcomeExit& c, std::ostream* out)
{
    *out << c.name;
}

class WelcomeAbort : public InteractiveRun, public ::testing::WithParamInterface<WelcomeExit> {};

TEST_P(WelcomeAbort, EndsWithExitCode2BeforeDiscovery)
{
    // The shared directory is missing: discovery would create it, had it run.
    GlimOnOptions options;
    options.createShared = false;
    FakeGlimOn glimOn(installs_.path(), options);

    RunResult result = run({GetParam().answer});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(2u, result.exitCode);
    EXPECT_EQ(std::vector<std::string>{kWelcome}, result.captions());
    EXPECT_FALSE(directoryExistsAt(glimOn.sharedDir())) << "discovery ran";
    // The copy of the program in the temporary directory is left alone too.
    EXPECT_TRUE(fileExistsAt(release_.exe()));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, WelcomeAbort,
    ::testing::Values(WelcomeExit{"Cancel", press(kWelcome, IDCANCEL)},
                      WelcomeExit{"Escape", act(kWelcome, Action::Escape)},
                      WelcomeExit{"CloseBox", act(kWelcome, Action::CloseBox)},
                      WelcomeExit{"EnterOnCancel", act(kWelcome, Action::Enter, {}, IDCANCEL)}),
    [](const ::testing::TestParamInfo<WelcomeExit>& info) { return std::string(info.param.name); });

TEST_F(InteractiveRun, EnterOnOkGoesOnToTheFilesFoundDialogAndItsCancelEndsWithExitCode3)
{
    GlimOnOptions options;
    options.createShared = false;
    FakeGlimOn glimOn(installs_.path(), options);

    // Enter with the focus where the dialog puts it, on OK.
    RunResult result = run({act(kWelcome, Action::Enter), press(kFilesFound, IDCANCEL)});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(3u, result.exitCode);
    EXPECT_EQ((std::vector<std::string>{kWelcome, kFilesFound}), result.captions());
    EXPECT_TRUE(directoryExistsAt(glimOn.sharedDir())) << "discovery made the shared directory";
}

TEST_F(InteractiveRun, OkWithoutAnyProductReportsItAndEndsWithExitCode12)
{
    RunResult result = run({press(kWelcome, IDOK), {"Unable to Find Zorvane AV Program"}});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(12u, result.exitCode);
    ASSERT_EQ(2u, result.windows.size());
    EXPECT_TRUE(result.windows[1].stopIcon);
}

// ---- The files-found dialog ----

struct FilesFoundWay {
    const char* name;
    Answer answer;
    bool goesOn;     // the update runs (else exit code 3, nothing touched)
    bool backedUp;   // the old files are kept in Backup\ first
};

void PrintTo(const FilesFoundWay& c, std::ostream* out)
{
    *out << c.name;
}

class FilesFoundChoice : public InteractiveRun, public ::testing::WithParamInterface<FilesFoundWay> {};

TEST_P(FilesFoundChoice, BacksUpOnlyWhenTickedAtOk)
{
    const FilesFoundWay& way = GetParam();
    FakeGlimOn glimOn(installs_.path());
    FakeDravomire dravomire(installs_.path());
    installLastMonths(glimOn.sharedDir());
    installLastMonths(dravomire.directory());

    std::vector<Answer> script = {press(kWelcome, IDOK), way.answer};
    if (way.goesOn)
        script.push_back(press(kUpdateComplete, IDCLOSE));
    RunResult result = run(script);
    ASSERT_RUN_OK(result);

    for (const std::string& directory : {glimOn.sharedDir(), dravomire.directory()}) {
        SCOPED_TRACE(directory);
        const std::string backup = directory + "Backup\\";
        if (!way.goesOn) {
            EXPECT_EQ(3u, result.exitCode);
            EXPECT_TRUE(untouched(directory));
            EXPECT_FALSE(directoryExistsAt(backup));
            continue;
        }
        EXPECT_EQ(1u, result.exitCode);
        EXPECT_TRUE(updated(directory));
        EXPECT_EQ(way.backedUp, directoryExistsAt(backup));
        if (way.backedUp) {
            EXPECT_TRUE(untouched(backup));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ways, FilesFoundChoice,
    ::testing::Values(FilesFoundWay{"Ok", press(kFilesFound, IDOK), true, false},
                      FilesFoundWay{"TickedOk", [] {
                                        Answer a = press(kFilesFound, IDOK);
                                        a.tick = {kBackupBox};
                                        return a;
                                    }(),
                                    true, true},
                      FilesFoundWay{"TickedUntickedOk", [] {
                                        Answer a = press(kFilesFound, IDOK);
                                        a.tick = {kBackupBox, kBackupBox};
                                        return a;
                                    }(),
                                    true, false},
                      // OK is the default button: Enter on the ticked box is OK.
                      FilesFoundWay{"TickedEnter", act(kFilesFound, Action::Enter, {kBackupBox}), true, true},
                      FilesFoundWay{"TickedCancel", [] {
                                        Answer a = press(kFilesFound, IDCANCEL);
                                        a.tick = {kBackupBox};
                                        return a;
                                    }(),
                                    false, false},
                      FilesFoundWay{"TickedEscape", act(kFilesFound, Action::Escape, {kBackupBox}), false, false},
                      FilesFoundWay{"CloseBox", act(kFilesFound, Action::CloseBox), false, false},
                      FilesFoundWay{"EnterOnCancel", act(kFilesFound, Action::Enter, {}, IDCANCEL), false,
                                    false}),
    [](const ::testing::TestParamInfo<FilesFoundWay>& info) { return std::string(info.param.name); });

// ---- The result dialogs ----

// Each definition directory holds a readme of its own, so the one the editor
// shows tells which directory it was opened from.
class ResultDialog : public InteractiveRun {
protected:
    void SetUp() override
    {
        InteractiveRun::SetUp();
        glimOn_.emplace(installs_.path());
        dravomire_.emplace(installs_.path());
        installLastMonths(glimOn_->sharedDir());
        installLastMonths(dravomire_->directory());
        ASSERT_TRUE(writeFile(glimOn_->sharedDir() + "zvreadme.txt", glimOnReadme_));
        ASSERT_TRUE(writeFile(dravomire_->directory() + "zvreadme.txt", dravomireReadme_));
    }

    // Installed files a day newer than the update: nothing is replaced.
    void makeInstalledNewer()
    {
        for (const std::string& directory : {glimOn_->sharedDir(), dravomire_->directory()})
            for (const char* name : {"A.DAT", "VIRSCAN.DAT"})
                ASSERT_TRUE(setFileTimes(directory + name, plusTicks(kUpdateTime, kTicksPerDay)));
    }

    const std::string glimOnReadme_ = "GlimOn AV readme " + std::to_string(GetCurrentProcessId()) + "\r\n";
    const std::string dravomireReadme_ = "Dravomire readme " + std::to_string(GetCurrentProcessId()) + "\r\n";
    std::optional<FakeGlimOn> glimOn_;
    std::optional<FakeDravomire> dravomire_;
    EditorCleanup glimOnEditor_{glimOnReadme_};
    EditorCleanup dravomireEditor_{dravomireReadme_};
};

TEST_F(ResultDialog, ViewReadmeOpensTheReadmeOfTheLastDefinitionDirectory)
{
    RunResult result = run({press(kWelcome, IDOK), press(kFilesFound, IDOK), press(kUpdateComplete, kViewReadme)});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(1u, result.exitCode);
    EXPECT_TRUE(updated(dravomire_->directory()));

    // The editor outlives the program; the engine left it in Dravomire's directory.
    EditorWindow editor;
    ASSERT_TRUE(findEditorShowing(dravomireReadme_, editor, 20000)) << "no editor shows Dravomire's readme";
    EXPECT_NE(std::string::npos, editor.title.find("zvreadme")) << editor.title;
    EXPECT_FALSE(editorShowing(glimOnReadme_));
    closeEditor(editor);
    EXPECT_FALSE(editorShowing(dravomireReadme_));
}

TEST_F(ResultDialog, EnterOpensTheReadmeAsItsDefaultButton)
{
    RunResult result = run({press(kWelcome, IDOK), press(kFilesFound, IDOK), act(kUpdateComplete, Action::Enter)});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(1u, result.exitCode);
    EditorWindow editor;
    ASSERT_TRUE(findEditorShowing(dravomireReadme_, editor, 20000));
    closeEditor(editor);
}

struct QuietEnd {
    const char* name;
    Answer answer;
};

void PrintTo(const QuietEnd& c, std::ostream* out)
{
    *out << c.name;
}

class UpdateCompleteQuietEnd : public ResultDialog, public ::testing::WithParamInterface<QuietEnd> {};

TEST_P(UpdateCompleteQuietEnd, EndsTheRunWithoutOpeningTheReadme)
{
    RunResult result = run({press(kWelcome, IDOK), press(kFilesFound, IDOK), GetParam().answer});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(1u, result.exitCode);
    EXPECT_TRUE(updated(glimOn_->sharedDir()));
    EXPECT_FALSE(editorShowing(dravomireReadme_));
    EXPECT_FALSE(editorShowing(glimOnReadme_));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, UpdateCompleteQuietEnd,
    ::testing::Values(QuietEnd{"Exit", press(kUpdateComplete, IDCLOSE)},
                      QuietEnd{"Escape", act(kUpdateComplete, Action::Escape)},
                      QuietEnd{"CloseBox", act(kUpdateComplete, Action::CloseBox)},
                      QuietEnd{"EnterOnExit", act(kUpdateComplete, Action::Enter, {}, IDCLOSE)}),
    [](const ::testing::TestParamInfo<QuietEnd>& info) { return std::string(info.param.name); });

class NoFilesUpdatedEnd : public ResultDialog, public ::testing::WithParamInterface<QuietEnd> {};

TEST_P(NoFilesUpdatedEnd, SaysSoWhenEveryInstalledFileIsNewer)
{
    makeInstalledNewer();
    RunResult result = run({press(kWelcome, IDOK), press(kFilesFound, IDOK), GetParam().answer});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(1u, result.exitCode);
    ASSERT_EQ(3u, result.windows.size());
    EXPECT_EQ("The Virus Definition files currently on your system are more recent than the files in this "
              "update.  No files were updated. ",
              result.windows[2].text);
    EXPECT_TRUE(untouched(glimOn_->sharedDir()));
    EXPECT_TRUE(untouched(dravomire_->directory()));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, NoFilesUpdatedEnd,
    ::testing::Values(QuietEnd{"Ok", press(kNoFilesUpdated, IDOK)},
                      QuietEnd{"Enter", act(kNoFilesUpdated, Action::Enter)},
                      QuietEnd{"Escape", act(kNoFilesUpdated, Action::Escape)},
                      QuietEnd{"CloseBox", act(kNoFilesUpdated, Action::CloseBox)}),
    [](const ::testing::TestParamInfo<QuietEnd>& info) { return std::string(info.param.name); });

} // namespace

namespace {

// Damages a template in the release folder's copy of the program, and gives the
// copy its update time back.
bool damageTemplate(const ReleaseFolder& release, int templateId)
{
    return damageDialogTemplate(release.exe(), templateId) && setFileTimes(release.exe(), kUpdateTime);
}

// A dialog that cannot be created ends its Run at once. The run then must not
// update anything the user never agreed to: it ends as if cancelled.
TEST_F(InteractiveRun, AWelcomeThatCannotBeShownIsNoGoAhead)
{
    GlimOnOptions options;
    options.createShared = false;
    FakeGlimOn glimOn(installs_.path(), options);
    ASSERT_TRUE(damageTemplate(release_, 101));

    RunResult result = run({});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(2u, result.exitCode);
    EXPECT_TRUE(result.windows.empty());
    EXPECT_FALSE(directoryExistsAt(glimOn.sharedDir())) << "discovery ran";
}

TEST_F(InteractiveRun, AFilesFoundDialogThatCannotBeShownIsNoGoAhead)
{
    FakeGlimOn glimOn(installs_.path());
    installLastMonths(glimOn.sharedDir());
    ASSERT_TRUE(damageTemplate(release_, 102));

    RunResult result = run({press(kWelcome, IDOK)});
    ASSERT_RUN_OK(result);
    EXPECT_EQ(3u, result.exitCode);
    EXPECT_TRUE(untouched(glimOn.sharedDir()));
}

// A launcher that starts the program hidden (as a deployment tool may, having
// forgotten /S) must not leave it waiting for ever behind dialogs nobody can
// see: the dialogs show all the same.
TEST_F(InteractiveRun, DialogsShowEvenWhenTheProgramIsStartedHidden)
{
    FakeGlimOn glimOn(installs_.path());
    installLastMonths(glimOn.sharedDir());

    RunResult result = run({press(kWelcome, IDOK), press(kFilesFound, IDOK), press(kUpdateComplete, IDCLOSE)}, "",
                           SW_HIDE);
    ASSERT_RUN_OK(result);
    EXPECT_EQ(1u, result.exitCode);
    EXPECT_TRUE(updated(glimOn.sharedDir()));
}

} // namespace
