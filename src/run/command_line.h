// The command-line switches: /S silent, /D diagnostic, /F forced.
#pragma once

#include <cstddef>

// Scans the whole text: a slash followed by S, D or F (either case) anywhere in
// it is a switch, and every occurrence acts. /D and /F show their boxes in the
// order they stand and set diagnosticMode and forceUpdate. Returns 1 when /S
// was seen (silent mode), else 0.
int scanCommandLine(const char* commandLine);

// The switches of the text, in order, as "/S /D" ("none" without any), cut
// to fit `size` characters; for the log.
void describeSwitches(const char* commandLine, char* text, std::size_t size);
