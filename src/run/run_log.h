// The run log: one plain-text file per machine, "DefPatch.log" in the Windows
// directory (in the temporary directory where that cannot be written), to
// which every run appends its own block of lines. Each line starts with the
// UTC time and the process id, so that an administrator can tell what a run
// did, and what a run that never ended is waiting for.
//
// The log never changes the run: a log that cannot be opened or written is
// passed over without a word.
#pragma once

// Appends one line. Texts that come from outside (paths, registry values,
// names) are cut to fit and never break the line.
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Begins this run's block, once the run has the machine to itself: from here
// on the run may keep the log within its bound of 1 MiB, and first keeps a log
// that its block might push past the bound as "DefPatch.old.log". Lines
// written before (a run waiting for another) never move the log aside.
void beginLogBlock();
