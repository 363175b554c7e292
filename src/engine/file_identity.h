// What a file is, so that a later run can tell whether it is still the same
// file: its last-write time, its size and the CRC-32 of its bytes.
#pragma once

#include <windows.h>

struct FileIdentity {
    FILETIME lastWrite;
    ULONGLONG size;
    DWORD crc;
};

enum class FileState {
    Read,       // the file is there and was read
    Missing,    // there is no file of that name (nor its folder)
    Unreadable, // it is there, or may be, but cannot be read: GetLastError says why
};

// The file's last-write time only, as the transfer rule needs it first. A file
// that exists but cannot be opened for reading (its permissions, a sharing
// violation, a folder of that name) is Unreadable, never Missing: only "not
// there" may be taken for "no copy".
FileState fileTime(const char* path, FILETIME& lastWrite);

// Reads the whole file for its identity.
FileState identifyFile(const char* path, FileIdentity& identity);

// The same bytes: size and CRC-32 agree; times aside.
bool sameBytes(const FileIdentity& a, const FileIdentity& b);

// The CRC-32 of ZIP, carried over `length` more bytes; begin with 0.
DWORD crc32Update(DWORD crc, const void* data, DWORD length);
