// The run's working folder (see working_folder.h).
#include "engine/working_folder.h"

#include <windows.h>

#include <ntsecapi.h>

#include "environment/access.h"
#include "run/handles.h"

namespace {

// 64 bits from the system's random source, as 16 hex digits.
bool randomName(char (&name)[17])
{
    unsigned char bytes[8];
    if (!RtlGenRandom(bytes, sizeof bytes))
        return false;
    for (int i = 0; i < 8; ++i) {
        name[2 * i] = "0123456789ABCDEF"[bytes[i] >> 4];
        name[2 * i + 1] = "0123456789ABCDEF"[bytes[i] & 15];
    }
    name[16] = '\0';
    return true;
}

} // namespace

bool WorkingFolder::create(const char* tempDir)
{
    remove();
    for (int attempt = 0; attempt < 8; ++attempt) {
        char name[17];
        if (!randomName(name) || !formatText(path_, "%sDefPatch-%s\\", tempDir, name))
            break;
        // A folder that is there already is someone else's: never used.
        if (CreateDirectoryA(path_, protectedAccess(Protection::Folder))) {
            copyText(parent_, tempDir);
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    path_[0] = '\0';
    return false;
}

void WorkingFolder::remove()
{
    if (textIsEmpty(path_))
        return;
    PathBuffer current;
    const DWORD length = GetCurrentDirectoryA(sizeof current, current);
    if (length > 0 && length < sizeof current && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, current, -1,
                                                                path_, static_cast<int>(textLength(path_)) - 1) ==
                                                      CSTR_EQUAL)
        SetCurrentDirectoryA(parent_);

    PathBuffer pattern, file;
    WIN32_FIND_DATAA found;
    if (joinText(pattern, path_, "*")) {
        FindHandle search(FindFirstFileA(pattern, &found));
        for (bool more = search.valid(); more; more = FindNextFileA(search.get(), &found)) {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !joinText(file, path_, found.cFileName))
                continue;
            if (!DeleteFileA(file) && SetFileAttributesA(file, FILE_ATTRIBUTE_NORMAL))
                DeleteFileA(file);
        }
    }
    RemoveDirectoryA(path_);
    path_[0] = '\0';
}
