// The welcome dialog: tells the user what the program is about to do, before
// anything is looked up or changed. OK goes on; Cancel, Escape and the close
// box clear continueUpdate and the program ends.
#include "run/flags.h"
#include "ui/dialog.h"

INT_PTR CALLBACK WelcomeDlgProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE; // the focus goes to "OK", the first tab stop
    case WM_COMMAND:
        // The whole wParam is compared, so only clicks and the dialog manager's
        // Enter and Escape commands (notification code 0) match.
        if (wParam == IDOK) {
            endDialog("OK");
        } else if (wParam == IDCANCEL) {
            continueUpdate = 0;
            endDialog("Cancel");
        }
        return FALSE;
    default:
        return FALSE;
    }
}
