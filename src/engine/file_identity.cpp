// File identities (see file_identity.h).
#include "engine/file_identity.h"

#include "run/handles.h"

namespace {

FileState openFailure()
{
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    SetLastError(error);
    return missing ? FileState::Missing : FileState::Unreadable;
}

HANDLE openForReading(const char* path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                       nullptr);
}

} // namespace

DWORD crc32Update(DWORD crc, const void* data, DWORD length)
{
    static DWORD table[256];
    if (table[1] == 0) {
        for (DWORD n = 0; n < 256; ++n) {
            DWORD c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    crc = ~crc;
    for (DWORD i = 0; i < length; ++i)
        crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

FileState fileTime(const char* path, FILETIME& lastWrite)
{
    FileHandle file(openForReading(path));
    if (!file.valid())
        return openFailure();
    return GetFileTime(file.get(), nullptr, nullptr, &lastWrite) ? FileState::Read : FileState::Unreadable;
}

FileState identifyFile(const char* path, FileIdentity& identity)
{
    FileHandle file(openForReading(path));
    if (!file.valid())
        return openFailure();
    if (!GetFileTime(file.get(), nullptr, nullptr, &identity.lastWrite))
        return FileState::Unreadable;
    // One run reads one file at a time: the buffer is the program's own, not the stack's.
    static char buffer[64 * 1024];
    identity.size = 0;
    identity.crc = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr))
            return FileState::Unreadable;
        if (got == 0)
            return FileState::Read;
        identity.crc = crc32Update(identity.crc, buffer, got);
        identity.size += got;
    }
}

bool sameBytes(const FileIdentity& a, const FileIdentity& b)
{
    return a.size == b.size && a.crc == b.crc;
}
