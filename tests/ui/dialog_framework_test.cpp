// The dialog objects' life: Run creates, shows and loops until the procedure's
// quit message; the window stays until Destroy; the class "ResMBR".
#include <gtest/gtest.h>

#include "dialog_script.h"
#include "harness/registry.h"
#include "run/flags.h"
#include "ui/dialog.h"

namespace {

bool quitMessageWaiting()
{
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

class DialogFramework : public ::testing::Test {
protected:
    void SetUp() override
    {
        continueUpdate = 1;
        makeBackup = 0;
    }
    void TearDown() override
    {
        continueUpdate = 0;
        makeBackup = 0;
    }
    RegistryGuard guard; // the files-found dialog runs discovery when it paints
};

TEST_F(DialogFramework, ConstructionAndDestroyWithoutRunDoNothing)
{
    NoFilesUpdatedDialog dialog;
    EXPECT_EQ(nullptr, dialog.dialogWindow);
    dialog.Destroy();
    dialog.Destroy();
    EXPECT_EQ(nullptr, dialog.dialogWindow);
    EXPECT_FALSE(quitMessageWaiting());
}

TEST_F(DialogFramework, WindowStaysAfterRunUntilDestroy)
{
    WelcomeDialog dialog;
    EXPECT_EQ(0, runScripted(dialog, "Zorvane Virus Definition Update", {click(IDOK)}));
    HWND window = dialog.dialogWindow;
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));

    dialog.Destroy();
    EXPECT_EQ(nullptr, dialog.dialogWindow);
    EXPECT_FALSE(IsWindow(window));
    // A dialog is of the system's dialog class: its end posts no quit message
    // that could end the next dialog's loop.
    EXPECT_FALSE(quitMessageWaiting());
    dialog.Destroy();
    EXPECT_EQ(nullptr, dialog.dialogWindow);
}

TEST_F(DialogFramework, DestructionDestroysTheWindow)
{
    HWND window = nullptr;
    {
        NoFilesUpdatedDialog dialog;
        EXPECT_EQ(0, runScripted(dialog, "No Files Were Updated", {click(IDOK)}));
        window = dialog.dialogWindow;
        EXPECT_TRUE(IsWindow(window));
    }
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(DialogFramework, DialogsRunOneAfterAnotherLikeTheProgramsRun)
{
    // The second and later Runs find "ResMBR" registered already; each dialog
    // still opens, works and waits for its own procedure's quit message.
    WelcomeDialog welcome;
    FilesFoundDialog filesFound;
    UpdateCompleteDialog updateComplete;
    NoFilesUpdatedDialog noFilesUpdated;

    EXPECT_EQ(0, runScripted(welcome, "Zorvane Virus Definition Update", {click(IDOK)}));
    welcome.Destroy();
    EXPECT_EQ(0, runScripted(filesFound, "Virus Definition Files Found", {click(IDOK)}));
    filesFound.Destroy();
    EXPECT_EQ(0, runScripted(updateComplete, "Update Complete", {click(IDCLOSE)}));
    updateComplete.Destroy();
    EXPECT_EQ(0, runScripted(noFilesUpdated, "No Files Were Updated", {click(IDOK)}));
    noFilesUpdated.Destroy();
    EXPECT_EQ(1, continueUpdate);
}

TEST_F(DialogFramework, TheClassResMbrIsRegisteredAsTheProgramDescribesIt)
{
    WelcomeDialog dialog;
    runScripted(dialog, "Zorvane Virus Definition Update", {click(IDOK)});
    dialog.Destroy();

    WNDCLASSA windowClass = {};
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "ResMBR", &windowClass));
    EXPECT_EQ(static_cast<UINT>(CS_HREDRAW | CS_VREDRAW), windowClass.style);
    EXPECT_EQ(DialogClassWndProc, windowClass.lpfnWndProc);
    EXPECT_EQ(0, windowClass.cbClsExtra);
    EXPECT_EQ(DLGWINDOWEXTRA, windowClass.cbWndExtra);
    EXPECT_EQ(nullptr, windowClass.hIcon);
    EXPECT_EQ(nullptr, windowClass.hCursor);
    EXPECT_EQ(nullptr, windowClass.hbrBackground);
    EXPECT_EQ(nullptr, windowClass.lpszMenuName);
}

TEST_F(DialogFramework, ResMbrWindowPostsQuitWhenDestroyedAndPassesTheRestOn)
{
    NoFilesUpdatedDialog dialog;
    runScripted(dialog, "No Files Were Updated", {click(IDOK)}); // registers the class
    dialog.Destroy();

    HWND window = CreateWindowA("ResMBR", "probe", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    // Left to DefWindowProcA: the title is set as for any window.
    EXPECT_TRUE(SetWindowTextA(window, "renamed"));
    EXPECT_EQ("renamed", windowText(window));
    EXPECT_FALSE(quitMessageWaiting());

    DestroyWindow(window);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, message.wParam);
}

TEST_F(DialogFramework, RunReturnsTheQuitMessagesExitCode)
{
    // Every procedure posts 0; the loop hands on whatever the quit message carries.
    NoFilesUpdatedDialog dialog;
    EXPECT_EQ(7, runScripted(dialog, "No Files Were Updated", {[](HWND) { PostQuitMessage(7); }}));
}

// A template that the resources do not hold.
constexpr int kMissingTemplate = 999;
class MissingDialog : public ModelessDialog<kMissingTemplate, NoFilesUpdatedDlgProc> {};

TEST_F(DialogFramework, ADialogThatCannotBeCreatedEndsItsRunAtOnce)
{
    MissingDialog dialog;
    // Nothing could ever post the quit message: were Run to wait for it, the
    // watchdog would end it with kWatchdogExit instead.
    EXPECT_EQ(kDialogFailed, runScripted(dialog, "none", {}));
    EXPECT_EQ(nullptr, dialog.dialogWindow);
    dialog.Destroy();
    EXPECT_FALSE(quitMessageWaiting());
}

} // namespace
