// File times for tests: building UTC times, reading and setting a file's times,
// and stepping a time by 100-nanosecond ticks.
#pragma once

#include <windows.h>

#include <string>

inline unsigned long long ticksOf(FILETIME time)
{
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

inline FILETIME fileTimeOfTicks(unsigned long long ticks)
{
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

inline FILETIME plusTicks(FILETIME time, long long ticks)
{
    return fileTimeOfTicks(ticksOf(time) + static_cast<unsigned long long>(ticks));
}

constexpr long long kTicksPerDay = 24LL * 3600 * 10000000;

inline FILETIME utcTime(int year, int month, int day, int hour = 0, int minute = 0)
{
    SYSTEMTIME system = {};
    system.wYear = static_cast<WORD>(year);
    system.wMonth = static_cast<WORD>(month);
    system.wDay = static_cast<WORD>(day);
    system.wHour = static_cast<WORD>(hour);
    system.wMinute = static_cast<WORD>(minute);
    FILETIME time = {};
    SystemTimeToFileTime(&system, &time);
    return time;
}

struct FileTimes {
    bool read = false;
    FILETIME creation{}, access{}, write{};
};

inline FileTimes timesOf(const std::string& path)
{
    FileTimes times;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return times;
    times.read = GetFileTime(file, &times.creation, &times.access, &times.write) != 0;
    CloseHandle(file);
    return times;
}

inline unsigned long long lastWriteTicks(const std::string& path)
{
    return ticksOf(timesOf(path).write);
}

// Sets the last-access and last-write times (creation too, where the platform keeps it).
inline bool setFileTimes(const std::string& path, FILETIME time)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = false;
    if (file != INVALID_HANDLE_VALUE) {
        ok = SetFileTime(file, &time, &time, &time) != 0;
        CloseHandle(file);
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path.c_str(), attributes);
    return ok;
}

// Whether this platform keeps a creation time that SetFileTime can set (Wine
// does not: it reports the last-write time as the creation time).
inline bool platformKeepsCreationTime(const std::string& probe)
{
    const FILETIME write = utcTime(2001, 2, 3);
    const FILETIME creation = utcTime(1999, 1, 2);
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    SetFileTime(file, &creation, nullptr, &write);
    CloseHandle(file);
    const bool kept = ticksOf(timesOf(probe).creation) == ticksOf(creation);
    DeleteFileA(probe.c_str());
    return kept;
}

// The last-write time of the running program's own file: the update time of
// an engine run inside this test program.
inline FILETIME ownLastWriteTime()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return timesOf(path).write;
}
