// Update dating and the list of files placed in the temporary directory (see
// update_stamp.h).
#include "engine/update_stamp.h"

#include <cstring>

#include "engine/debugging.h"
#include "run/flags.h"
#include "run/handles.h"
#include "run/text.h"
#include "ui/message_box.h"

namespace {

const char kSharedKey[] = "Software\\Zorvane\\Shared";
const char kLibraryDateValue[] = "DravomLibraryDate";
// The products read the date as a fixed field of this many bytes.
constexpr DWORD kLibraryDateBytes = 10;

} // namespace

OwnFileTime readOwnFileTime(FILETIME* time)
{
    char path[kPathSize];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path - 1);
    if (length == 0 || length >= sizeof path - 1)
        return OwnFileTime::NoFile;
    path[length] = '\0';
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return OwnFileTime::NoFile;
    return GetFileTime(file.get(), nullptr, nullptr, time) ? OwnFileTime::Read : OwnFileTime::NoTime;
}

Date dateOf(FILETIME fileTime)
{
    unsigned char day, month, yearOffset;
    fileTimeToDayMonthYear(fileTime, &day, &month, &yearOffset);
    return Date{month, day, yearOffset + 1980};
}

int fileTimeToDayMonthYear(FILETIME fileTime, unsigned char* day, unsigned char* month,
                           unsigned char* yearOffset)
{
    WORD dosDate = 0, dosTime = 0;
    if (!FileTimeToDosDateTime(&fileTime, &dosDate, &dosTime))
        dosDate = 0;
    *day = static_cast<unsigned char>(dosDate & 0x1F);
    *month = static_cast<unsigned char>((dosDate >> 5) & 0x0F);
    *yearOffset = static_cast<unsigned char>((dosDate >> 9) & 0x7F);
    return 1;
}

UpdateStamp::UpdateStamp() : updateTime{0, 0}, fileCount(0), cursor(0), day(0), month(0), year(0)
{
    std::memset(fileNames, 0, sizeof fileNames);
    // A file whose time cannot be read is said; one that cannot be opened is not.
    FILETIME ownTime{0, 0};
    const OwnFileTime read = readOwnFileTime(&ownTime);
    if (read == OwnFileTime::NoTime)
        showDebugging("Failed to retrieve File time");
    if (read != OwnFileTime::Read)
        ownTime = FILETIME{0, 0};
    setUpdateTime(ownTime);
    if (diagnosticMode)
        showBox(dateText, "DefPatch dated:", MB_OK);
}

void UpdateStamp::setUpdateTime(FILETIME time)
{
    updateTime = time;
    unsigned char dosDay, dosMonth, dosYearOffset;
    fileTimeToDayMonthYear(updateTime, &dosDay, &dosMonth, &dosYearOffset);
    day = dosDay;
    month = dosMonth;
    year = dosYearOffset + 1980;
    // Zero-filled: the registry receives 10 bytes whatever the text's length.
    std::memset(dateText, 0, sizeof dateText);
    formatText(dateText, "%d/%d/%4d", month, day, year);
}

void UpdateStamp::stampFile(const char* fileName) const
{
    FileHandle file(CreateFileA(fileName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return;
    SetFileTime(file.get(), &updateTime, &updateTime, &updateTime);
}

int UpdateStamp::addFileName(const char* path)
{
    if (textIsEmpty(path))
        return 1;
    if (fileCount >= kMaxNames)
        return 0;
    if (!copyText(fileNames[fileCount], kNameSize, afterLastBackslash(path)))
        return 0;
    ++fileCount;
    return 1;
}

int UpdateStamp::nextFileName(char* buffer)
{
    if (cursor >= fileCount)
        return 0;
    copyText(buffer, kNameSize, fileNames[cursor]);
    ++cursor;
    return 1;
}

void UpdateStamp::setCursor(int index)
{
    // A negative cursor would hand out memory before the list.
    cursor = index < 0 ? 0 : index;
}

int UpdateStamp::isNotNewer(FILETIME fileTime) const
{
    return CompareFileTime(&fileTime, &updateTime) <= 0 ? 1 : 0;
}

void UpdateStamp::writeLibraryDate() const
{
    setLibraryDate(dateText);
}

void setLibraryDate(const char* text)
{
    RegKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, key.receive(), nullptr) != ERROR_SUCCESS)
        return;
    if (text == nullptr) {
        RegDeleteValueA(key.get(), kLibraryDateValue);
        return;
    }
    // Zero-filled: the registry receives 10 bytes whatever the text's length.
    char field[32] = {};
    for (std::size_t i = 0; i + 1 < sizeof field && text[i]; ++i)
        field[i] = text[i];
    RegSetValueExA(key.get(), kLibraryDateValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(field), kLibraryDateBytes);
}

bool readLibraryDate(char (&text)[32])
{
    RegKey key;
    char value[kPathSize] = {};
    DWORD size = sizeof value - 1;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS ||
        RegQueryValueExA(key.get(), kLibraryDateValue, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS)
        return false;
    // Kept as a line of text: what a line cannot hold is replaced.
    std::size_t i = 0;
    for (; i + 1 < sizeof text && value[i]; ++i)
        text[i] = value[i] < ' ' ? '?' : value[i];
    text[i] = '\0';
    return true;
}
