// The common dialog pattern: the window class every Run registers and the
// message loop each dialog object runs until its procedure posts a quit message.
#include "ui/dialog.h"

#include "run/run_log.h"

namespace {

const char kDialogClassName[] = "ResMBR";

// What the user answered the running dialog.
const char* answer = "none";

void registerDialogClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = DialogClassWndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kDialogClassName;
    // From the second Run of the process on the class exists already and the
    // registration fails; that changes nothing.
    RegisterClassA(&windowClass);
}

} // namespace

LRESULT CALLBACK DialogClassWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void endDialog(const char* text)
{
    answer = text;
    PostQuitMessage(0);
}

int runModelessDialog(HINSTANCE instance, int showCommand, int templateId, DLGPROC procedure,
                      HWND& window)
{
    registerDialogClass(instance);

    window = CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), nullptr, procedure, 0);
    // Without a dialog no procedure can ever post the quit message the loop
    // waits for: end at once.
    if (!window) {
        logLine("dialog %d cannot be shown", templateId);
        return kDialogFailed;
    }
    char caption[128] = "";
    GetWindowTextA(window, caption, sizeof caption);
    logLine("window %s", caption);
    answer = "none";

    ShowWindow(window, showCommand);
    // A launcher may start the program hidden; a dialog nobody can see would
    // wait for ever for an answer, so it is shown all the same. (Unattended
    // runs use /S, which shows no dialog.)
    if (!IsWindowVisible(window))
        ShowWindow(window, SW_SHOWNORMAL);

    // IsDialogMessageA dispatches everything that belongs to the dialog and its
    // controls, and the thread has no other window of its own.
    MSG message;
    for (;;) {
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            logLine("answer %s", answer);
            return static_cast<int>(message.wParam);
        }
        if (got == -1)
            return kDialogFailed;
        IsDialogMessageA(window, &message);
    }
}
