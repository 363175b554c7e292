// The process-wide flags through which the dialogs and the engine report back
// to the program entry. All are 0 when the program is loaded.
#pragma once

extern int continueUpdate; // 1 while the user has not cancelled
extern int diagnosticMode; // /D: a message box at every step
extern int forceUpdate;    // /F: transfer every file, whatever the dates
extern int makeBackup;     // the user ticked the backup box
extern int filesUpdated;   // definition files installed in this run
