// What each dialog does with the user's buttons and keys: how its Run ends and
// what it leaves in continueUpdate and makeBackup. Each case runs the real
// dialog from the program's resources and acts through the dialog manager.
#include <gtest/gtest.h>

#include "dialog_script.h"
#include "harness/registry.h"
#include "run/flags.h"
#include "ui/dialog.h"

namespace {

enum class Screen { Welcome, FilesFound, UpdateComplete, NoFilesUpdated };

struct ProcedureCase {
    const char* name;
    Screen screen;
    std::vector<DialogStep> steps;
    int continueAfter; // continueUpdate starts at 1
    int backupAfter;   // makeBackup starts at 0
};

const DialogStep kTab = key(VK_TAB);
const DialogStep kEnter = key(VK_RETURN);
const DialogStep kEscape = key(VK_ESCAPE);

std::vector<ProcedureCase> procedureCases()
{
    return {
        // The welcome dialog: OK goes on, every other way out aborts; neither
        // button is the default, so Enter acts on the focused one.
        {"WelcomeOk", Screen::Welcome, {click(IDOK)}, 1, 0},
        {"WelcomeCancel", Screen::Welcome, {click(IDCANCEL)}, 0, 0},
        {"WelcomeEscape", Screen::Welcome, {kEscape}, 0, 0},
        {"WelcomeCloseBox", Screen::Welcome, {closeBox()}, 0, 0},
        {"WelcomeEnterOnOk", Screen::Welcome, {kEnter}, 1, 0},
        {"WelcomeEnterOnCancel", Screen::Welcome, {kTab, kEnter}, 0, 0},
        // The files-found dialog: OK is the default button; the box decides
        // makeBackup only as it stands at OK.
        {"FilesFoundOk", Screen::FilesFound, {click(IDOK)}, 1, 0},
        {"FilesFoundTickedOk", Screen::FilesFound, {click(IDC_CREATE_BACKUP), click(IDOK)}, 1, 1},
        {"FilesFoundTickedUntickedOk", Screen::FilesFound,
         {click(IDC_CREATE_BACKUP), click(IDC_CREATE_BACKUP), click(IDOK)}, 1, 0},
        {"FilesFoundTickedEnter", Screen::FilesFound, {click(IDC_CREATE_BACKUP), kEnter}, 1, 1},
        {"FilesFoundEnter", Screen::FilesFound, {kEnter}, 1, 0},
        {"FilesFoundTickedCancel", Screen::FilesFound, {click(IDC_CREATE_BACKUP), click(IDCANCEL)}, 0, 0},
        {"FilesFoundTickedEscape", Screen::FilesFound, {click(IDC_CREATE_BACKUP), kEscape}, 0, 0},
        {"FilesFoundTickedCloseBox", Screen::FilesFound, {click(IDC_CREATE_BACKUP), closeBox()}, 0, 0},
        {"FilesFoundEnterOnCancel", Screen::FilesFound, {kTab, kEnter}, 0, 0},
        // The result dialogs set no flag, however they end. (View README is
        // left to the end-to-end tests, where the editor it starts is closed.)
        {"UpdateCompleteExit", Screen::UpdateComplete, {click(IDCLOSE)}, 1, 0},
        {"UpdateCompleteEscape", Screen::UpdateComplete, {kEscape}, 1, 0},
        {"UpdateCompleteCloseBox", Screen::UpdateComplete, {closeBox()}, 1, 0},
        {"UpdateCompleteEnterOnExit", Screen::UpdateComplete, {kTab, kEnter}, 1, 0},
        {"NoFilesUpdatedOk", Screen::NoFilesUpdated, {click(IDOK)}, 1, 0},
        {"NoFilesUpdatedEnter", Screen::NoFilesUpdated, {kEnter}, 1, 0},
        {"NoFilesUpdatedEscape", Screen::NoFilesUpdated, {kEscape}, 1, 0},
        {"NoFilesUpdatedCloseBox", Screen::NoFilesUpdated, {closeBox()}, 1, 0},
    };
}

template <typename Dialog> int runAndDestroy(const char* caption, std::vector<DialogStep> steps, bool& stayed)
{
    Dialog dialog;
    int result = runScripted(dialog, caption, std::move(steps));
    stayed = IsWindow(dialog.dialogWindow) && IsWindowVisible(dialog.dialogWindow);
    dialog.Destroy();
    return result;
}

class DialogProcedure : public ::testing::TestWithParam<ProcedureCase> {
protected:
    void SetUp() override
    {
        continueUpdate = 1;
        makeBackup = 0;
        filesUpdated = 5;
    }
    void TearDown() override
    {
        continueUpdate = 0;
        makeBackup = 0;
        filesUpdated = 0;
    }
    RegistryGuard guard; // no product: the files-found dialog paints no line
};

TEST_P(DialogProcedure, EndsTheDialogAndLeavesTheFlags)
{
    const ProcedureCase& c = GetParam();
    bool stayed = false;
    int result = -2;
    switch (c.screen) {
    case Screen::Welcome:
        result = runAndDestroy<WelcomeDialog>("Zorvane Virus Definition Update", c.steps, stayed);
        break;
    case Screen::FilesFound:
        result = runAndDestroy<FilesFoundDialog>("Virus Definition Files Found", c.steps, stayed);
        break;
    case Screen::UpdateComplete:
        result = runAndDestroy<UpdateCompleteDialog>("Update Complete", c.steps, stayed);
        break;
    case Screen::NoFilesUpdated:
        result = runAndDestroy<NoFilesUpdatedDialog>("No Files Were Updated", c.steps, stayed);
        break;
    }
    EXPECT_EQ(0, result) << "the dialog did not end by its own quit message";
    EXPECT_TRUE(stayed) << "the dialog must stay on the screen until Destroy";
    EXPECT_EQ(c.continueAfter, continueUpdate);
    EXPECT_EQ(c.backupAfter, makeBackup);
    EXPECT_EQ(5, filesUpdated);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogProcedure, ::testing::ValuesIn(procedureCases()),
                         [](const ::testing::TestParamInfo<ProcedureCase>& info) {
                             return std::string(info.param.name);
                         });

// A command whose notification code is not 0 is not a button click: the whole
// wParam is compared, and nothing happens.
TEST(DialogProcedureCommands, OnlyPlainCommandsMatch)
{
    RegistryGuard guard;
    continueUpdate = 1;
    makeBackup = 0;
    FilesFoundDialog dialog;
    int result = runScripted(dialog, "Virus Definition Files Found",
                             {click(IDC_CREATE_BACKUP),
                              [](HWND window) { PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 1), 0); },
                              [](HWND window) { PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_DBLCLK), 0); },
                              check([](HWND) {
                                  EXPECT_EQ(1, continueUpdate);
                                  EXPECT_EQ(0, makeBackup);
                              }),
                              click(IDOK)});
    dialog.Destroy();
    EXPECT_EQ(0, result);
    EXPECT_EQ(1, continueUpdate);
    EXPECT_EQ(1, makeBackup);
    continueUpdate = makeBackup = 0;
}

// The first tab stop has the focus when each dialog opens.
TEST(DialogProcedureFocus, FirstTabStopHasTheFocus)
{
    RegistryGuard guard;
    struct Expected {
        int welcome = 0, filesFound = 0, updateComplete = 0, noFiles = 0;
    } seen;
    {
        WelcomeDialog dialog;
        runScripted(dialog, "Zorvane Virus Definition Update",
                    {check([&](HWND) { seen.welcome = GetDlgCtrlID(GetFocus()); }), click(IDOK)});
    }
    {
        FilesFoundDialog dialog;
        runScripted(dialog, "Virus Definition Files Found",
                    {check([&](HWND) { seen.filesFound = GetDlgCtrlID(GetFocus()); }), click(IDOK)});
    }
    {
        UpdateCompleteDialog dialog;
        runScripted(dialog, "Update Complete",
                    {check([&](HWND) { seen.updateComplete = GetDlgCtrlID(GetFocus()); }), click(IDCLOSE)});
    }
    {
        NoFilesUpdatedDialog dialog;
        runScripted(dialog, "No Files Were Updated",
                    {check([&](HWND) { seen.noFiles = GetDlgCtrlID(GetFocus()); }), click(IDOK)});
    }
    EXPECT_EQ(IDOK, seen.welcome);
    EXPECT_EQ(IDOK, seen.filesFound);
    EXPECT_EQ(IDC_VIEW_README, seen.updateComplete);
    EXPECT_EQ(IDOK, seen.noFiles);
    continueUpdate = makeBackup = 0;
}

} // namespace
