// A small program for the driver's own tests: it shows the windows its command
// line asks for, one after the other, and ends with an exit code that tells how
// they were answered.
//   box:CAPTION   a message box (OK only) with the text "Child text"
//   stop:CAPTION  the same with the stop icon
//   dialog        a modeless dialog "Child dialog" (OK default, Cancel, check box
//                 1005) with its own IsDialogMessageA loop, like the program's
//   dialogbox     the same dialog, which shows the box "Child box" over itself
//                 once it is up (as a dialog that complains while it paints)
//   hang          waits for ever
// Exit code: 100 + 10 * (command that ended the last dialog) + (box ticked), or
// 7 when no dialog ran.
#include <windows.h>

#include <cstring>

namespace {

int dialogResult = 7;

INT_PTR CALLBACK childDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_APP)
        MessageBoxA(nullptr, "Over the dialog", "Child box", MB_OK);
    if (message == WM_COMMAND && (wParam == IDOK || wParam == IDCANCEL)) {
        dialogResult = 100 + 10 * static_cast<int>(wParam) + (IsDlgButtonChecked(window, 1005) ? 1 : 0);
        PostQuitMessage(0);
    }
    return FALSE;
}

void runDialog(HINSTANCE instance, bool withBox)
{
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(200), nullptr, childDlgProc, 0);
    if (!dialog)
        ExitProcess(3);
    if (withBox)
        PostMessageA(dialog, WM_APP, 0, 0);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0))
        IsDialogMessageA(dialog, &message);
    DestroyWindow(dialog);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    char words[1024];
    lstrcpynA(words, commandLine, sizeof words);
    for (char* word = std::strtok(words, " "); word; word = std::strtok(nullptr, " ")) {
        if (std::strncmp(word, "box:", 4) == 0)
            MessageBoxA(nullptr, "Child text", word + 4, MB_OK);
        else if (std::strncmp(word, "stop:", 5) == 0)
            MessageBoxA(nullptr, "Child text", word + 5, MB_ICONERROR);
        else if (std::strcmp(word, "dialog") == 0)
            runDialog(instance, false);
        else if (std::strcmp(word, "dialogbox") == 0)
            runDialog(instance, true);
        else if (std::strcmp(word, "hang") == 0)
            Sleep(INFINITE);
    }
    return dialogResult;
}
