// The restore record (see update_record.h).
#include "engine/update_record.h"

#include <cstring>

#include "engine/file_names.h"
#include "engine/file_replace.h"
#include "environment/access.h"
#include "run/handles.h"

namespace {

const char kHeader[] = "DefPatch restore record";
// A record of 19 files and the longest library date takes less than 4 KiB;
// anything longer is not one.
constexpr DWORD kMaxRecordBytes = 4096;

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
    return line && std::strncmp(line, prefix, length) == 0 ? line + length : nullptr;
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

int hexDigit(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// Exactly `digits` upper-case hex digits at `text`, as a number.
bool parseHex(const char* text, std::size_t digits, unsigned long long& value)
{
    value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0)
            return false;
        value = value << 4 | static_cast<unsigned>(digit);
    }
    return true;
}

// A decimal number of 1 to 19 digits, at most `limit`, at `text`; `text` moves past it.
bool parseNumber(const char*& text, unsigned long long& value, unsigned long long limit = 0xFFFFFFFFull)
{
    value = 0;
    std::size_t digits = 0;
    for (; *text >= '0' && *text <= '9' && digits < 20; ++text, ++digits)
        value = value * 10 + static_cast<unsigned>(*text - '0');
    return digits > 0 && digits < 20 && value <= limit;
}

FILETIME fileTimeOf(unsigned long long time)
{
    return FILETIME{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
}

// "12/5/1997 01BD01C6A0A5E000": a date of digits and slashes, then the time.
bool parseUpdate(const char* text, UpdateRecord& record)
{
    const char* space = text ? std::strrchr(text, ' ') : nullptr;
    const std::size_t dateLength = space ? static_cast<std::size_t>(space - text) : 0;
    unsigned long long time;
    if (dateLength == 0 || dateLength > 10 || std::strspn(text, "0123456789/") != dateLength ||
        textLength(space + 1) != 16 || !parseHex(space + 1, 16, time))
        return false;
    std::memcpy(record.updateDate, text, dateLength);
    record.updateDate[dateLength] = '\0';
    record.updateTime = fileTimeOf(time);
    return true;
}

// "none", "unknown", or "TYPE SIZE HEX" (no hex for a size of 0).
bool parseLibraryDate(const char* text, LibraryDate& date)
{
    date.state = LibraryDate::State::Absent;
    date.type = REG_NONE;
    date.size = 0;
    if (!text)
        return false;
    if (std::strcmp(text, "none") == 0)
        return true;
    if (std::strcmp(text, "unknown") == 0) {
        date.state = LibraryDate::State::Unknown;
        return true;
    }
    unsigned long long type, size;
    if (!parseNumber(text, type) || *text++ != ' ' || !parseNumber(text, size))
        return false;
    // No bytes: the line ends with the size; else a blank and two hex digits a byte.
    if (size == 0 ? *text != '\0' : *text != ' ' || size > LibraryDate::kMaxBytes || textLength(++text) != 2 * size)
        return false;
    for (std::size_t i = 0; i < size; ++i) {
        unsigned long long byte;
        if (!parseHex(text + 2 * i, 2, byte))
            return false;
        date.data[i] = static_cast<BYTE>(byte);
    }
    date.state = LibraryDate::State::Present;
    date.type = static_cast<DWORD>(type);
    date.size = static_cast<DWORD>(size);
    return true;
}

// "A.DAT 01BCDE2F5C4B8000 11 0A1B2C3D": the name (which may hold blanks), then
// the copy's last-write time, size and CRC-32.
bool parseReplaced(const char* text, UpdateRecord::Entry& entry)
{
    const std::size_t length = textLength(text);
    // At least a name, the time (16), the size (1) and the CRC (8), and blanks between.
    if (length < 1 + 1 + 16 + 1 + 1 + 1 + 8)
        return false;
    const char* crc = text + length - 8;
    unsigned long long value;
    if (crc[-1] != ' ' || !parseHex(crc, 8, value))
        return false;
    entry.original.crc = static_cast<DWORD>(value);
    const char* size = crc - 1;
    while (size > text && size[-1] >= '0' && size[-1] <= '9')
        --size;
    const char* sizeEnd = size;
    if (size == text || size[-1] != ' ' || !parseNumber(sizeEnd, value, ~0ull) || sizeEnd != crc - 1)
        return false;
    entry.original.size = value;
    const char* time = size - 1 - 16;
    if (time - 1 <= text || time[-1] != ' ' || !parseHex(time, 16, value))
        return false;
    entry.original.lastWrite = fileTimeOf(value);
    const std::size_t nameLength = static_cast<std::size_t>(time - 1 - text);
    if (nameLength >= UpdateRecord::kTextSize)
        return false;
    std::memcpy(entry.name, text, nameLength);
    entry.name[nameLength] = '\0';
    return true;
}

bool parseEntry(const char* line, UpdateRecord::Entry& entry)
{
    entry = UpdateRecord::Entry{};
    const char* name = nullptr;
    if (const char* rest = after(line, "replaced ")) {
        entry.kind = UpdateRecord::Kind::Replaced;
        if (!parseReplaced(rest, entry))
            return false;
        name = entry.name;
    } else if ((name = after(line, "added ")) != nullptr) {
        entry.kind = UpdateRecord::Kind::Added;
    } else if ((name = after(line, "no-copy ")) != nullptr) {
        entry.kind = UpdateRecord::Kind::NoCopy;
    }
    return name && isDefinitionFileName(name) && copyText(entry.name, name);
}

// "TYPE SIZE HEX" of the library date, or "none" or "unknown".
bool appendLibraryDate(char (&text)[kMaxRecordBytes], const LibraryDate& date)
{
    if (date.state != LibraryDate::State::Present)
        return appendText(text, date.state == LibraryDate::State::Absent ? "none" : "unknown");
    char number[32];
    if (date.size > LibraryDate::kMaxBytes || !formatText(number, "%lu %lu", date.type, date.size) ||
        !appendText(text, number))
        return false;
    if (date.size > 0 && !appendText(text, " "))
        return false;
    for (DWORD i = 0; i < date.size; ++i)
        if (!formatText(number, "%02X", date.data[i]) || !appendText(text, number))
            return false;
    return true;
}

bool appendEntry(char (&text)[kMaxRecordBytes], const UpdateRecord::Entry& entry)
{
    char line[128];
    switch (entry.kind) {
    case UpdateRecord::Kind::Replaced:
        return formatText(line, "replaced %s %08lX%08lX %llu %08lX\r\n", entry.name, entry.original.lastWrite.dwHighDateTime,
                          entry.original.lastWrite.dwLowDateTime, entry.original.size, entry.original.crc) &&
               appendText(text, line);
    case UpdateRecord::Kind::Added:
        return formatText(line, "added %s\r\n", entry.name) && appendText(text, line);
    case UpdateRecord::Kind::NoCopy:
        return formatText(line, "no-copy %s\r\n", entry.name) && appendText(text, line);
    }
    return false;
}

} // namespace

const UpdateRecord::Entry* UpdateRecord::find(const char* name) const
{
    for (int i = 0; i < count; ++i)
        if (equalIgnoringAsciiCase(entries[i].name, name))
            return &entries[i];
    return nullptr;
}

bool UpdateRecord::put(const Entry& entry)
{
    if (const Entry* same = find(entry.name)) {
        entries[same - entries] = entry;
        return true;
    }
    if (count >= kMaxFiles)
        return false;
    entries[count++] = entry;
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
    if (!parseUpdate(after(line, "update "), record) ||
        !parseLibraryDate(after(nextLine(text, length, at), "library-date "), record.libraryDate))
        return RecordState::Damaged;
    while ((line = nextLine(text, length, at)) != nullptr && std::strcmp(line, "end") != 0) {
        UpdateRecord::Entry entry;
        if (!parseEntry(line, entry) || record.find(entry.name) || !record.put(entry))
            return RecordState::Damaged;
    }
    if (!line || at != length)
        return RecordState::Damaged;
    return ownedByAdministrators(path) ? RecordState::Read : RecordState::Untrusted;
}

bool writeRecord(const char* path, const UpdateRecord& record)
{
    char text[kMaxRecordBytes];
    char head[128];
    bool fits = formatText(head, "%s\r\nupdate %s %08lX%08lX\r\nlibrary-date ", kHeader, record.updateDate,
                           record.updateTime.dwHighDateTime, record.updateTime.dwLowDateTime) &&
                copyText(text, head) && appendLibraryDate(text, record.libraryDate) && appendText(text, "\r\n");
    for (int i = 0; fits && i < record.count; ++i)
        fits = appendEntry(text, record.entries[i]);
    if (!fits || !appendText(text, "end\r\n"))
        return false;

    char newPath[MAX_PATH];
    FileHandle file;
    if (!createFileBeside(path, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, file, newPath,
                          protectedAccess(Protection::File)))
        return false;
    DWORD written = 0;
    const DWORD length = static_cast<DWORD>(textLength(text));
    const bool whole = WriteFile(file.get(), text, length, &written, nullptr) && written == length &&
                       FlushFileBuffers(file.get());
    file.reset();
    if (whole && MoveFileExA(newPath, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(newPath);
    return false;
}

bool backupFolderUsable(const char* directory)
{
    // Asked without its trailing backslash, the system tells of the link itself.
    PathBuffer folder;
    return formatText(folder, "%sBackup", directory) && !isReparsePoint(folder);
}

bool recordPath(const char* directory, PathBuffer& path)
{
    return formatText(path, "%s%s%s", directory, kBackupFolder, kRecordName);
}
