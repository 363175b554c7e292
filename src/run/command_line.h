// The command-line switches: /S silent, /Q quiet, /D diagnostic, /F forced,
// /B backups, /R restore, /W how long to wait for another run.
#pragma once

#include <cstddef>

struct Switches {
    bool silent = false;  // /S: no dialogs (also with /Q)
    bool quiet = false;   // /Q: as /S, and no box either: each goes to the log
    bool backup = false;  // /B: keep backups, as the ticked box does
    bool restore = false; // /R: undo the last update instead of updating
};

// Scans the whole text: a slash followed by S, Q, D, F, B or R (either case)
// anywhere in it is a switch, and every occurrence acts. /D and /F show their
// boxes in the order they stand and set diagnosticMode and forceUpdate; in a
// restore /F (and /B) do nothing, and show nothing. /Q, wherever it stands,
// sends every box of the run to the log from the start, those of /D and /F
// too.
Switches scanCommandLine(const char* commandLine);

// The switches of the text, in order, as "/S /D" ("none" without any), cut
// to fit `size` characters; for the log.
void describeSwitches(const char* commandLine, char* text, std::size_t size);

// How long a run waits for another run of the machine to end, in seconds: the
// digits straight after /W (/W0 does not wait, /W3600 waits an hour; the last
// /W with digits counts), else 600. At most a week.
constexpr unsigned long kDefaultLockWait = 600;
constexpr unsigned long kLongestLockWait = 7 * 24 * 3600;
unsigned long lockWaitSeconds(const char* commandLine);
