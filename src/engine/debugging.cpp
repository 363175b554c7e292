// The engine's "Debugging" box (see debugging.h).
#include "engine/debugging.h"

#include "ui/message_box.h"

void showDebugging(const char* text)
{
    showBox(text, "Debugging", MB_OK);
}
