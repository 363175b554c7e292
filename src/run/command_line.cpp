// The command-line scan (see command_line.h).
#include "run/command_line.h"

#include <windows.h>

#include "run/flags.h"

int scanCommandLine(const char* commandLine)
{
    int silentMode = 0;
    if (!commandLine)
        return silentMode;
    for (const char* p = commandLine; *p; ++p) {
        if (*p != '/')
            continue;
        switch (p[1]) {
        case 'S':
        case 's':
            silentMode = 1;
            break;
        case 'D':
        case 'd':
            MessageBoxA(nullptr, "In diagnostic mode", "Diagnostic:", MB_OK);
            diagnosticMode = 1;
            break;
        case 'F':
        case 'f':
            MessageBoxA(nullptr, "All files will be updated", "Forced update", MB_OK);
            forceUpdate = 1;
            break;
        default:
            break;
        }
    }
    return silentMode;
}
