// The one way the program shows a message box: each box is logged, caption and
// text, before it is shown, and its answer after, so that the last line of a
// run that never ended names the box it is waiting on.
#pragma once

#include <windows.h>

// MessageBoxA with no owner window; returns its answer.
int showBox(const char* text, const char* caption, UINT style);
