// The two result dialogs that end an interactive run: "Update Complete", which
// offers the readme, and "No Files Were Updated". Neither sets any flag.
#include "ui/dialog.h"

namespace {

// The readme is named without a directory: the editor opens it from the
// current directory, which the update engine leaves at the last definition
// directory it handled.
const char kReadmeCommand[] = "notepad zvreadme.txt";

} // namespace

INT_PTR CALLBACK UpdateCompleteDlgProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE; // the focus goes to "View README", the default button
    case WM_COMMAND:
        if (wParam == IDC_VIEW_README) {
            // Whatever the editor makes of a missing readme is its own to say.
            WinExec(kReadmeCommand, SW_SHOW);
            endDialog("View README");
        } else if (wParam == IDCLOSE || wParam == IDCANCEL) {
            endDialog("Exit"); // Exit, Escape or the close box
        }
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK NoFilesUpdatedDlgProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (wParam == IDOK || wParam == IDCANCEL)
            endDialog("OK");
        return FALSE;
    default:
        return FALSE;
    }
}
