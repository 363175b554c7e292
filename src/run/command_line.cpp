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
    return letter == 'S' || letter == 'Q' || letter == 'D' || letter == 'F' || letter == 'B' || letter == 'R' ||
                   letter == 'W'
               ? letter
               : 0;
}

} // namespace

Switches scanCommandLine(const char* commandLine)
{
    Switches switches;
    for (const char* p = commandLine; p && *p; ++p) {
        switches.restore = switches.restore || switchAt(p) == 'R';
        switches.quiet = switches.quiet || switchAt(p) == 'Q';
    }
    // A quiet run shows nothing, also before its /Q has been read.
    if (switches.quiet) {
        switches.silent = true;
        keepBoxesInLog();
    }
    for (const char* p = commandLine; p && *p; ++p) {
        switch (switchAt(p)) {
        case 'S':
            switches.silent = true;
            break;
        case 'B':
            switches.backup = !switches.restore;
            break;
        case 'D':
            showBox("In diagnostic mode", "Diagnostic:", MB_OK);
            diagnosticMode = 1;
            break;
        case 'F':
            if (switches.restore)
                break;
            showBox("All files will be updated", "Forced update", MB_OK);
            forceUpdate = 1;
            break;
        default:
            break;
        }
    }
    return switches;
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

unsigned long lockWaitSeconds(const char* commandLine)
{
    unsigned long seconds = kDefaultLockWait;
    for (const char* p = commandLine; p && *p; ++p) {
        if (switchAt(p) != 'W')
            continue;
        // The digits straight after the letter; without any, the default.
        const char* digit = p + 2;
        if (*digit < '0' || *digit > '9')
            continue;
        // Held at the longest at each digit, so that no number of digits overflows.
        seconds = 0;
        for (; *digit >= '0' && *digit <= '9'; ++digit) {
            seconds = seconds * 10 + static_cast<unsigned long>(*digit - '0');
            if (seconds > kLongestLockWait)
                seconds = kLongestLockWait;
        }
    }
    return seconds;
}
