// Message boxes (see message_box.h).
#include "ui/message_box.h"

#include "run/run_log.h"

int showBox(const char* text, const char* caption, UINT style)
{
    logLine("window %s: %s", caption, text);
    const int answer = MessageBoxA(nullptr, text, caption, style);
    logLine("answer %s", answer == IDOK ? "OK" : "none: the box could not be shown");
    return answer;
}
