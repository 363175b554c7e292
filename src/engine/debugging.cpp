// The engine's "Debugging" box (see debugging.h).
#include "engine/debugging.h"

#include <windows.h>

void showDebugging(const char* text)
{
    MessageBoxA(nullptr, text, "Debugging", MB_OK);
}
