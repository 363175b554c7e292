// The run log (see run_log.h).
//
// Each line is appended with a file handle of its own, opened for appending
// only and shared, so that the line of a run waiting for another lands whole
// between the other run's lines, and a viewer may keep the log open.
#include "run/run_log.h"

#include <windows.h>

#include <stdio.h>

#include <cstdarg>

#include "environment/access.h"
#include "run/handles.h"
#include "run/text.h"

namespace {

const char kLogName[] = "DefPatch.log";
const char kOldLogName[] = "DefPatch.old.log";
// The bound of the log, and the room a block is given before it begins: a
// block rarely takes more than a few kilobytes.
constexpr ULONGLONG kLogLimit = 1024 * 1024;
constexpr ULONGLONG kBlockRoom = 64 * 1024;

struct LogState {
    bool chosen = false;    // the file has been looked for
    bool usable = false;    // and one can be written
    bool ownsBlock = false; // the run has begun its block and may move the log aside
    PathBuffer path;
    PathBuffer oldPath;
};

LogState state;

FileHandle openForAppending(const char* path)
{
    // A log this run makes gives access to administrators and SYSTEM, and lets users read it.
    return FileHandle(CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  protectedAccess(Protection::Log), OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Whether an administrator's run may write to the log at `path`: one an
// administrator owns, under no other name (a hard link) and no link to
// elsewhere. In a temporary directory an ordinary account could have made the
// file first, to have SYSTEM append lines to a file of its choosing.
bool trustworthy(const char* path)
{
    if (!runIsAdministrators())
        return true;
    FileHandle file(CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    return file.valid() && GetFileInformationByHandle(file.get(), &info) && info.nNumberOfLinks == 1 &&
           ownedByAdministrators(path);
}

// The log in `directory`, when a line can be appended there.
bool tryDirectory(const char* directory)
{
    if (textIsEmpty(directory))
        return false;
    const char* separator = endsWithBackslash(directory) ? "" : "\\";
    if (!formatText(state.path, "%s%s%s", directory, separator, kLogName) ||
        !formatText(state.oldPath, "%s%s%s", directory, separator, kOldLogName))
        return false;
    return openForAppending(state.path).valid() && trustworthy(state.path);
}

void chooseFile()
{
    state.chosen = true;
    PathBuffer directory;
    const UINT length = GetWindowsDirectoryA(directory, sizeof directory);
    if (length > 0 && length < sizeof directory && tryDirectory(directory)) {
        state.usable = true;
        return;
    }
    const DWORD tempLength = GetTempPathA(sizeof directory, directory);
    state.usable = tempLength > 0 && tempLength < sizeof directory && tryDirectory(directory);
}

ULONGLONG sizeOf(const FileHandle& file)
{
    LARGE_INTEGER size;
    return GetFileSizeEx(file.get(), &size) ? static_cast<ULONGLONG>(size.QuadPart) : 0;
}

// Keeps the log so far as the one older copy and starts a new one. A log that
// cannot be moved aside is written no more in this run: its bound holds.
bool moveAside()
{
    if (MoveFileExA(state.path, state.oldPath, MOVEFILE_REPLACE_EXISTING))
        return true;
    state.usable = false;
    return false;
}

} // namespace

void beginLogBlock()
{
    if (!state.chosen)
        chooseFile();
    state.ownsBlock = true;
    if (!state.usable)
        return;
    // A log made before it was protected gets the same access.
    protect(state.path, Protection::Log);
    ULONGLONG size;
    {
        FileHandle file = openForAppending(state.path);
        if (!file.valid())
            return;
        size = sizeOf(file);
    }
    if (size > kLogLimit - kBlockRoom)
        moveAside();
}

void logLine(const char* format, ...)
{
    if (!state.chosen)
        chooseFile();
    if (!state.usable)
        return;

    // "YYYY-MM-DD hh:mm:ss PID " and the text, cut to fit; no character of the
    // text may end the line early.
    char line[1024];
    SYSTEMTIME now;
    GetSystemTime(&now);
    if (!formatText(line, "%04u-%02u-%02u %02u:%02u:%02u %lu ", now.wYear, now.wMonth, now.wDay, now.wHour,
                    now.wMinute, now.wSecond, GetCurrentProcessId()))
        return;
    const std::size_t prefix = textLength(line);
    char* text = line + prefix;
    const std::size_t room = sizeof line - prefix - 2; // and CR LF
    std::va_list args;
    va_start(args, format);
    _vsnprintf(text, room, format, args); // a text that does not fit is cut, unterminated
    va_end(args);
    text[room - 1] = '\0';
    std::size_t end = prefix;
    for (; line[end] != '\0'; ++end) {
        const unsigned char c = static_cast<unsigned char>(line[end]);
        if (c < 0x20 || c == 0x7F)
            line[end] = '?';
    }
    line[end++] = '\r';
    line[end++] = '\n';

    DWORD written = 0;
    {
        FileHandle file = openForAppending(state.path);
        if (!file.valid())
            return;
        if (sizeOf(file) + end <= kLogLimit) {
            WriteFile(file.get(), line, static_cast<DWORD>(end), &written, nullptr);
            return;
        }
    }
    // Only the run that owns its block moves the log aside; a line that would
    // pass the bound before that is left out.
    if (!state.ownsBlock || !moveAside())
        return;
    FileHandle file = openForAppending(state.path);
    if (file.valid())
        WriteFile(file.get(), line, static_cast<DWORD>(end), &written, nullptr);
}
