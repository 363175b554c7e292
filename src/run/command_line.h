// The command-line switches: /S silent, /D diagnostic, /F forced.
#pragma once

// Scans the whole text: a slash followed by S, D or F (either case) anywhere in
// it is a switch, and every occurrence acts. /D and /F show their boxes in the
// order they stand and set diagnosticMode and forceUpdate. Returns 1 when /S
// was seen (silent mode), else 0.
int scanCommandLine(const char* commandLine);
