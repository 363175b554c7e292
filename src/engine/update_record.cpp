// The restore record (see update_record.h).
#include "engine/update_record.h"

#include <cstring>

#include "engine/file_names.h"
#include "run/handles.h"

namespace {

const char kHeader[] = "DefPatch restore record";
// A record of 19 files takes less than 1 KiB; anything longer is not one.
constexpr DWORD kMaxRecordBytes = 1024;

// The line that starts at `at`, ended by CR LF, terminated in place; null when
// no whole line is left.
char* nextLine(char* text, std::size_t length, std::size_t& at)
{
    for (std::size_t i = at; i + 1 < length; ++i) {
        if (text[i] == '\r' && text[i + 1] == '\n') {
            char* line = text + at;
            text[i] = '\0';
            at = i + 2;
            return line;
        }
    }
    return nullptr;
}

// The rest of `line` after `prefix`, or null.
const char* after(const char* line, const char* prefix)
{
    const std::size_t length = textLength(prefix);
    return std::strncmp(line, prefix, length) == 0 ? line + length : nullptr;
}

// A name a definition file can have: a plain name of 1 to 31 printable
// characters, none of those Windows forbids in names.
bool isDefinitionFileName(const char* name)
{
    if (!isPlainFileName(name) || textLength(name) >= UpdateRecord::kTextSize)
        return false;
    for (const char* p = name; *p; ++p)
        if (*p < ' ' || *p > '~' || std::strchr("*?\"<>|", *p))
            return false;
    return true;
}

// "12/5/1997 01BD01C6A0A5E000": a date of digits and slashes, then the time.
bool parseUpdate(const char* text, UpdateRecord& record)
{
    const char* space = text ? std::strrchr(text, ' ') : nullptr;
    const std::size_t dateLength = space ? static_cast<std::size_t>(space - text) : 0;
    if (dateLength == 0 || dateLength > 10 || std::strspn(text, "0123456789/") != dateLength ||
        textLength(space + 1) != 16 || std::strspn(space + 1, "0123456789ABCDEF") != 16)
        return false;
    std::memcpy(record.updateDate, text, dateLength);
    record.updateDate[dateLength] = '\0';
    unsigned long long time = 0;
    for (const char* p = space + 1; *p; ++p)
        time = time << 4 | static_cast<unsigned>(*p <= '9' ? *p - '0' : *p - 'A' + 10);
    record.updateTime.dwHighDateTime = static_cast<DWORD>(time >> 32);
    record.updateTime.dwLowDateTime = static_cast<DWORD>(time);
    return true;
}

bool parseLibraryDate(const char* line, UpdateRecord& record)
{
    if (line && std::strcmp(line, "no-library-date") == 0)
        return true;
    const char* date = line ? after(line, "library-date ") : nullptr;
    record.hadLibraryDate = true;
    return date && !textIsEmpty(date) && copyText(record.libraryDate, date);
}

} // namespace

bool UpdateRecord::add(const char* name, bool isAdded)
{
    if (count >= kMaxFiles || !copyText(entries[count].name, name))
        return false;
    entries[count].added = isAdded;
    entries[count].done = false;
    ++count;
    return true;
}

RecordState readRecord(const char* path, UpdateRecord& record)
{
    char text[kMaxRecordBytes + 1];
    DWORD length = 0;
    {
        FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? RecordState::Missing
                                                                                   : RecordState::Damaged;
        }
        if (!ReadFile(file.get(), text, sizeof text, &length, nullptr) || length > kMaxRecordBytes)
            return RecordState::Damaged;
    }
    text[length] = '\0';
    if (textLength(text) != length) // a zero inside: not text
        return RecordState::Damaged;
    record = UpdateRecord{};
    std::size_t at = 0;
    const char* line = nextLine(text, length, at);
    if (!line || std::strcmp(line, kHeader) != 0)
        return RecordState::Damaged;
    line = nextLine(text, length, at);
    if (!line || !parseUpdate(after(line, "update "), record) || !parseLibraryDate(nextLine(text, length, at), record))
        return RecordState::Damaged;
    while ((line = nextLine(text, length, at)) != nullptr && std::strcmp(line, "end") != 0) {
        const char* replaced = after(line, "replaced ");
        const char* name = replaced ? replaced : after(line, "added ");
        if (!name || !isDefinitionFileName(name))
            return RecordState::Damaged;
        for (int i = 0; i < record.count; ++i)
            if (equalIgnoringAsciiCase(record.entries[i].name, name))
                return RecordState::Damaged;
        if (!record.add(name, replaced == nullptr))
            return RecordState::Damaged;
    }
    return line && at == length ? RecordState::Read : RecordState::Damaged;
}

bool writeRecord(const char* path, const UpdateRecord& record)
{
    char text[kMaxRecordBytes];
    bool fits = formatText(text, "%s\r\nupdate %s %08lX%08lX\r\n", kHeader, record.updateDate,
                           record.updateTime.dwHighDateTime, record.updateTime.dwLowDateTime);
    if (record.hadLibraryDate)
        fits = fits && appendText(text, "library-date ") && appendText(text, record.libraryDate) &&
               appendText(text, "\r\n");
    else
        fits = fits && appendText(text, "no-library-date\r\n");
    for (int i = 0; i < record.count; ++i)
        if (!record.entries[i].done)
            fits = fits && appendText(text, record.entries[i].added ? "added " : "replaced ") &&
                   appendText(text, record.entries[i].name) && appendText(text, "\r\n");
    PathBuffer newPath;
    if (!fits || !appendText(text, "end\r\n") || !joinText(newPath, path, "~"))
        return false;

    // Written whole beside the old record, then put in its place: a record is
    // never left cut short.
    {
        FileHandle file(CreateFileA(newPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        const DWORD length = static_cast<DWORD>(textLength(text));
        if (!file.valid() || !WriteFile(file.get(), text, length, &written, nullptr) || written != length) {
            file.reset();
            DeleteFileA(newPath);
            return false;
        }
    }
    if (MoveFileExA(newPath, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(newPath);
    return false;
}

bool recordPath(const char* directory, PathBuffer& path)
{
    return formatText(path, "%s%s%s", directory, kBackupFolder, kRecordName);
}
