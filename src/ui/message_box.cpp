// Message boxes (see message_box.h).
#include "ui/message_box.h"

#include "run/run_log.h"

namespace {

bool quiet = false;

} // namespace

void keepBoxesInLog()
{
    quiet = true;
}

int showBox(const char* text, const char* caption, UINT style)
{
    // A run nobody watches (a deployment as SYSTEM, whose boxes reach no
    // desktop) must never wait for an OK: every box the program shows has one,
    // and the run goes on as after it.
    if (quiet) {
        logLine("not shown (quiet): %s: %s", caption, text);
        logLine("answer OK (quiet)");
        return IDOK;
    }
    logLine("window %s: %s", caption, text);
    const int answer = MessageBoxA(nullptr, text, caption, style);
    logLine("answer %s", answer == IDOK ? "OK" : "none: the box could not be shown");
    return answer;
}
