// What the engine accepts as the name of a definition file (see file_names.h).
#include "engine/file_names.h"

#include "run/text.h"

bool isPlainFileName(const char* name)
{
    if (textIsEmpty(name) || equalIgnoringAsciiCase(name, ".") || equalIgnoringAsciiCase(name, ".."))
        return false;
    for (const char* p = name; *p; ++p) {
        if (*p == '\\' || *p == '/' || *p == ':')
            return false;
    }
    return true;
}
