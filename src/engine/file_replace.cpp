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

// Copies `source` to a new file next to `destination`, under a name of its own:
// "~" and two hex digits in place of the file name, so that the new copy's path
// is at most two characters longer than the destination's and always within
// what the system takes. (GetTempFileNameA's names take 11 characters; in a
// deep folder the system then mangles them.) A file already there is never
// overwritten. Returns false when no copy was made; `newCopy` then names what
// the failed copy left, or is empty.
bool copyBeside(const char* source, const char* destination, char (&newCopy)[MAX_PATH])
{
    PathBuffer folder;
    if (!copyText(folder, destination))
        return false;
    char* name = const_cast<char*>(afterLastBackslash(folder));
    if (name == folder || textIsEmpty(name))
        return false;
    *name = '\0';
    for (int number = 0; number < 256 && formatText(newCopy, "%s~%02X", folder, number); ++number) {
        if (CopyFileA(source, newCopy, TRUE))
            return true;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return false; // what the copy left is ours: the name was free
    }
    newCopy[0] = '\0';
    return false;
}

} // namespace

const char* replaceFailure(unsigned long error)
{
    switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return "it is in use";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return "the disk is full";
    case ERROR_ACCESS_DENIED:
        return "access is denied";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "its copy is missing";
    default:
        return "it cannot be written";
    }
}

bool replaceFileSafely(const char* source, const char* destination)
{
    const DWORD attributes = GetFileAttributesA(destination);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }

    // The new copy is made next to the destination, so that the final step is
    // a rename within one volume.
    char newCopy[MAX_PATH] = "";
    DWORD error = ERROR_SUCCESS;
    if (!copyBeside(source, destination, newCopy))
        error = GetLastError();
    else if (!sameSize(source, newCopy))
        error = ERROR_DISK_FULL; // the volume took fewer bytes than the copy reported
    else if (!MoveFileExA(newCopy, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS && !textIsEmpty(newCopy)) {
        SetFileAttributesA(newCopy, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(newCopy);
    }
    SetLastError(error);
    return error == ERROR_SUCCESS;
}
