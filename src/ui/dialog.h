// The program's screens: each is a modeless dialog made from a template in the
// resources, owned by a dialog object that shows it and runs a message loop of
// its own until the dialog procedure posts a quit message. The program has no
// main window; the objects are run one after the other on the one thread.
#pragma once

#include <windows.h>

#include "resource.h"

// Window procedure of the class "ResMBR" that every Run registers.
LRESULT CALLBACK DialogClassWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog procedures, one per template.
INT_PTR CALLBACK WelcomeDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FilesFoundDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK UpdateCompleteDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK NoFilesUpdatedDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// What Run returns when the dialog could not be created (for instance a missing
// template, or no desktop to show it on) or its loop could not go on: the user
// has decided nothing through it.
constexpr int kDialogFailed = -1;

// Ends the running dialog: records what the user answered, for the log, and
// posts the quit message that ends its loop.
void endDialog(const char* answer);

// Registers "ResMBR", creates the dialog `templateId` with `procedure`, shows it
// and dispatches the thread's messages to it until WM_QUIT. `window` receives the
// dialog as soon as it exists. Returns the quit message's exit code, or
// kDialogFailed.
int runModelessDialog(HINSTANCE instance, int showCommand, int templateId, DLGPROC procedure,
                      HWND& window);

// The common shape of the four dialog objects: the dialog window is all they
// hold; what the user decides goes out through the process-wide flags.
template <int TemplateId, DLGPROC Procedure> class ModelessDialog {
public:
    static constexpr int templateId = TemplateId;

    ModelessDialog() = default;
    ~ModelessDialog() { Destroy(); }
    ModelessDialog(const ModelessDialog&) = delete;
    ModelessDialog& operator=(const ModelessDialog&) = delete;

    int Run(HINSTANCE instance, int showCommand)
    {
        return runModelessDialog(instance, showCommand, TemplateId, Procedure, dialogWindow);
    }

    // The window stays on the screen after Run until this is called.
    void Destroy()
    {
        if (dialogWindow)
            DestroyWindow(dialogWindow);
        dialogWindow = nullptr;
    }

    HWND dialogWindow = nullptr;
};

class WelcomeDialog : public ModelessDialog<IDD_WELCOME, WelcomeDlgProc> {};
class FilesFoundDialog : public ModelessDialog<IDD_FILES_FOUND, FilesFoundDlgProc> {};
class UpdateCompleteDialog : public ModelessDialog<IDD_UPDATE_COMPLETE, UpdateCompleteDlgProc> {};
class NoFilesUpdatedDialog : public ModelessDialog<IDD_NO_FILES_UPDATED, NoFilesUpdatedDlgProc> {};
