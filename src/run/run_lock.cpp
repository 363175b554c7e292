// One run at a time (see run_lock.h).
#include "run/run_lock.h"

#include <stdlib.h>

#include "environment/access.h"
#include "run/handles.h"
#include "run/run_log.h"
#include "run/text.h"

namespace {

const char kLockName[] = "DefPatch.lock";
constexpr DWORD kPollMs = 100;

bool lockPath(bool inWindowsDirectory, PathBuffer& path)
{
    PathBuffer directory;
    const DWORD length = inWindowsDirectory ? GetWindowsDirectoryA(directory, sizeof directory)
                                            : GetTempPathA(sizeof directory, directory);
    return length > 0 && length < sizeof directory &&
           formatText(path, "%s%s%s", directory, endsWithBackslash(directory) ? "" : "\\", kLockName);
}

HANDLE open(const char* path)
{
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, protectedAccess(Protection::File),
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The holder writes its process id into the lock: a run that finds the lock
// held by one that has just died (killed, its handles about to close) does not
// wait for it, nor say so.
void writeHolder(HANDLE file)
{
    char text[16];
    DWORD written = 0;
    if (formatText(text, "%lu\r\n", GetCurrentProcessId()) && SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0) {
        WriteFile(file, text, static_cast<DWORD>(textLength(text)), &written, nullptr);
        SetEndOfFile(file);
    }
}

bool holderAlive(const char* path)
{
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    char text[16] = {};
    DWORD read = 0;
    if (!file.valid() || !ReadFile(file.get(), text, sizeof text - 1, &read, nullptr))
        return true;
    const unsigned long id = strtoul(text, nullptr, 10);
    FileHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    // No such process: gone. A process this account may not open is taken as going.
    if (!process.valid())
        return id == 0 || GetLastError() != ERROR_INVALID_PARAMETER;
    return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

} // namespace

RunLock::RunLock(unsigned long waitSeconds)
{
    PathBuffer path;
    bool inWindows = lockPath(true, path);
    if (!inWindows && !lockPath(false, path)) {
        logLine("the run lock cannot be taken: no folder for it");
        return;
    }
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG deadline = start + static_cast<ULONGLONG>(waitSeconds) * 1000;
    bool said = false;
    for (;;) {
        file_ = open(path);
        if (held()) {
            writeHolder(file_);
            return;
        }
        if (GetLastError() != ERROR_SHARING_VIOLATION) {
            // Not this account's to open, or no Windows directory to make it
            // in: the lock of a run that is not an administrator's.
            if (inWindows && lockPath(false, path)) {
                inWindows = false;
                continue;
            }
            logLine("the run lock %s cannot be taken", path);
            return;
        }
        const ULONGLONG now = GetTickCount64();
        const bool alive = holderAlive(path);
        if (now >= deadline) {
            logLine("gave up waiting for another DefPatch run on this machine after %lu s",
                    static_cast<unsigned long>((now - start) / 1000));
            return;
        }
        if (alive && !said) {
            logLine("waiting for another DefPatch run on this machine to end");
            said = true;
        }
        const ULONGLONG left = deadline - now;
        Sleep(left < kPollMs ? static_cast<DWORD>(left) : kPollMs);
    }
}

RunLock::~RunLock()
{
    if (held())
        CloseHandle(file_);
}
