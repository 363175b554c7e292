// The one way the program shows a message box: each box is logged, caption and
// text, before it is shown, and its answer after, so that the last line of a
// run that never ended names the box it is waiting on. In a quiet run no box
// is shown at all: each goes to the log with the answer it is given.
#pragma once

#include <windows.h>

// From now on no box is shown: showBox writes the box to the log and answers
// OK, as its only button would have been pressed. For the quiet switch (/Q).
void keepBoxesInLog();

// MessageBoxA with no owner window; returns its answer.
int showBox(const char* text, const char* caption, UINT style);
