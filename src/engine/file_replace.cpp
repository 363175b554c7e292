// Putting a new copy of a file in place (see file_replace.h).
//
// CopyFileA straight onto an installed file is not safe: on a volume that fills
// up it fails half-way and leaves a partial file, the old content already gone.
// Nor is CopyFileA onto a name of our choosing: it would overwrite, or its
// failure make us delete, a file of that name that was not ours. So the new
// copy is a file this program created itself, filled by its own hand.
#include "engine/file_replace.h"

#include "run/text.h"

namespace {

// The attributes a copy may carry over: read-only never (it would stop the
// next run), nor anything that is not a plain file's.
DWORD copiedAttributes(DWORD attributes)
{
    attributes &= FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

// Fills `out` with every byte of `in`, with the CRC-32 of what was written.
bool copyBytes(HANDLE in, HANDLE out, FileIdentity& copied)
{
    static char buffer[64 * 1024];
    copied.size = 0;
    copied.crc = 0;
    for (;;) {
        DWORD got = 0, written = 0;
        if (!ReadFile(in, buffer, sizeof buffer, &got, nullptr))
            return false;
        if (got == 0)
            return true;
        // A volume that fills can report success with fewer bytes than asked.
        if (!WriteFile(out, buffer, got, &written, nullptr) || written != got) {
            if (written != got && GetLastError() == ERROR_SUCCESS)
                SetLastError(ERROR_DISK_FULL);
            return false;
        }
        copied.crc = crc32Update(copied.crc, buffer, got);
        copied.size += got;
    }
}

// Copies `source` into a new file beside `destination`, with the source's
// times. Returns false when no whole copy was made; nothing of it is left then.
bool copyBeside(const char* source, const char* destination, char (&newCopy)[MAX_PATH], FileIdentity& copied,
                FILETIME& lastAccess, SECURITY_ATTRIBUTES* access)
{
    FileHandle in(CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                              nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!in.valid() || !GetFileInformationByHandle(in.get(), &info))
        return false;
    FileHandle out;
    if (!createFileBeside(destination, copiedAttributes(info.dwFileAttributes), out, newCopy, access))
        return false;
    LARGE_INTEGER size;
    const bool whole = copyBytes(in.get(), out.get(), copied) && GetFileSizeEx(out.get(), &size) &&
                       static_cast<ULONGLONG>(size.QuadPart) == copied.size &&
                       SetFileTime(out.get(), &info.ftCreationTime, &info.ftLastAccessTime, &info.ftLastWriteTime) &&
                       FlushFileBuffers(out.get());
    copied.lastWrite = info.ftLastWriteTime;
    lastAccess = info.ftLastAccessTime;
    if (whole)
        return true;
    const DWORD error = GetLastError();
    out.reset();
    DeleteFileA(newCopy); // ours: createFileBeside made it
    newCopy[0] = '\0';
    SetLastError(error);
    return false;
}

// Some volumes give a renamed file the time of the rename, and what they
// report just after it may still be the time from before: the copy's own
// times are set again, always, both (FUSE volumes may take a time left
// unchanged for the present one).
void keepTimes(const char* path, const FILETIME& lastAccess, const FILETIME& lastWrite)
{
    FileHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.valid())
        SetFileTime(file.get(), nullptr, &lastAccess, &lastWrite);
}

} // namespace

bool createFileBeside(const char* beside, DWORD flags, FileHandle& file, char (&path)[MAX_PATH],
                      SECURITY_ATTRIBUTES* access)
{
    PathBuffer folder;
    path[0] = '\0';
    if (!copyText(folder, beside))
        return false;
    char* name = const_cast<char*>(afterLastBackslash(folder));
    if (name == folder)
        return false;
    *name = '\0';
    // "~" and two hex digits: at most two characters longer than the file's
    // own path, so always within what the system takes.
    DWORD error = ERROR_FILE_EXISTS;
    for (int number = 0; number < 256 && formatText(path, "%s~%02X", folder, number); ++number) {
        const HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, access, CREATE_NEW, flags, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            file.reset(handle);
            return true;
        }
        error = GetLastError();
        // A file of that name, or a folder (refused as access denied): another name.
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED)
            break;
    }
    path[0] = '\0';
    SetLastError(error);
    return false;
}

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
    case ERROR_CRC:
        return "its copy is not the one that was kept";
    default:
        return "it cannot be written";
    }
}

bool replaceFileSafely(const char* source, const char* destination, const FileIdentity* expected,
                       SECURITY_ATTRIBUTES* access)
{
    const DWORD attributes = GetFileAttributesA(destination);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }

    char newCopy[MAX_PATH];
    FileIdentity copied;
    FILETIME lastAccess;
    if (!copyBeside(source, destination, newCopy, copied, lastAccess, access))
        return false;
    DWORD error = ERROR_SUCCESS;
    if (expected && !sameBytes(copied, *expected))
        error = ERROR_CRC;
    else if (!MoveFileExA(newCopy, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileA(newCopy);
        SetLastError(error);
        return false;
    }
    keepTimes(destination, lastAccess, copied.lastWrite);
    return true;
}
