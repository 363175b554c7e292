// The command-line scan (see command_line.h).
#include "run/command_line.h"

#include "run/flags.h"
#include "run/text.h"
#include "ui/message_box.h"

namespace {

// The switch that starts at `p`, as its upper-case letter, or 0: only the one
// letter after a slash counts.
char switchAt(const char* p)
{
    if (p[0] != '/')
        return 0;
    const char letter = p[1] >= 'a' && p[1] <= 'z' ? static_cast<char>(p[1] - 'a' + 'A') : p[1];
    return letter == 'S' || letter == 'D' || letter == 'F' ? letter : 0;
}

} // namespace

int scanCommandLine(const char* commandLine)
{
    int silentMode = 0;
    for (const char* p = commandLine; p && *p; ++p) {
        switch (switchAt(p)) {
        case 'S':
            silentMode = 1;
            break;
        case 'D':
            showBox("In diagnostic mode", "Diagnostic:", MB_OK);
            diagnosticMode = 1;
            break;
        case 'F':
            showBox("All files will be updated", "Forced update", MB_OK);
            forceUpdate = 1;
            break;
        default:
            break;
        }
    }
    return silentMode;
}

void describeSwitches(const char* commandLine, char* text, std::size_t size)
{
    if (!copyText(text, size, "none"))
        return;
    bool first = true;
    for (const char* p = commandLine; p && *p; ++p) {
        const char letter = switchAt(p);
        const char one[] = {' ', '/', letter, '\0'};
        if (letter && !(first ? copyText(text, size, one + 1) : appendText(text, size, one)))
            return;
        first = first && !letter;
    }
}
