// UpdateContext construction and the walk over its definition directories.
#include "run/update_context.h"

#include <windows.h>

UpdateContext::UpdateContext() : foundCount(0), dirCursor(0)
{
    for (auto& slot : definitionDirs)
        slot[0] = '\0';
    programDir[0] = '\0';
    tempDir[0] = '\0';

    char moduleName[kPathSize];
    DWORD length = GetModuleFileNameA(nullptr, moduleName, sizeof moduleName - 1);
    if (length > 0 && length < sizeof moduleName - 1) {
        moduleName[length] = '\0';
        char* lastSlash = nullptr;
        for (char* p = moduleName; *p; ++p)
            if (*p == '\\')
                lastSlash = p;
        if (lastSlash)
            *lastSlash = '\0';
        copyText(programDir, moduleName);
    }

    // GetTempPathA's answer is used only when it fits with its trailing backslash;
    // otherwise tempDir stays empty and the engine refuses to place the package.
    char temp[sizeof tempDir];
    length = GetTempPathA(sizeof temp, temp);
    if (length > 0 && length < sizeof temp) {
        if (endsWithBackslash(temp) || appendText(temp, "\\"))
            copyText(tempDir, temp);
    }
}

int UpdateContext::nextDirectory(PathBuffer& buffer)
{
    while (dirCursor < kSlotCount && textIsEmpty(definitionDirs[dirCursor]))
        ++dirCursor;
    if (dirCursor >= kSlotCount)
        return 0;
    copyText(buffer, definitionDirs[dirCursor]);
    ++dirCursor;
    return 1;
}

void UpdateContext::rewindDirectories()
{
    dirCursor = 0;
}

int UpdateContext::getFoundCount() const
{
    return foundCount;
}
