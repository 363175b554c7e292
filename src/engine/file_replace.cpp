// Putting a new copy of a file in place (see file_replace.h).
//
// CopyFileA straight onto an installed file is not safe: on a volume that fills
// up it fails half-way and leaves a partial file, the old content already gone.
#include "engine/file_replace.h"

#include <windows.h>

#include "run/text.h"

namespace {

bool fileSize(const char* path, ULONGLONG* size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    *size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

// A volume that fills can let a write report success with fewer bytes than
// asked, so the new copy is measured before it replaces anything.
bool sameSize(const char* first, const char* second)
{
    ULONGLONG firstSize, secondSize;
    return fileSize(first, &firstSize) && fileSize(second, &secondSize) && firstSize == secondSize;
}

} // namespace

bool replaceFileSafely(const char* source, const char* destination)
{
    const DWORD attributes = GetFileAttributesA(destination);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;

    // The new copy is made next to the destination, so that the final step is
    // a rename within one volume.
    char folder[MAX_PATH];
    if (!copyText(folder, destination))
        return false;
    char* name = const_cast<char*>(afterLastBackslash(folder));
    if (name == folder)
        return false;
    *name = '\0';
    char newCopy[MAX_PATH];
    if (!GetTempFileNameA(folder, "dpn", 0, newCopy))
        return false;

    const bool replaced = CopyFileA(source, newCopy, FALSE) && sameSize(source, newCopy) &&
                          MoveFileExA(newCopy, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!replaced) {
        SetFileAttributesA(newCopy, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(newCopy);
    }
    return replaced;
}
