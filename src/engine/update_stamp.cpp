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
const wchar_t kSharedKeyW[] = L"Software\\Zorvane\\Shared";
const wchar_t kLibraryDateValueW[] = L"DravomLibraryDate";
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
    RegKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        key.receive(), nullptr) != ERROR_SUCCESS)
        return;
    // The products read the date as a fixed field of 10 bytes, whatever the text's length.
    RegSetValueExA(key.get(), kLibraryDateValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(dateText), kLibraryDateBytes);
}

void readLibraryDate(LibraryDate& value)
{
    value.state = LibraryDate::State::Absent;
    value.type = REG_NONE;
    value.size = 0;
    // Through the wide calls: the value's bytes as the registry keeps them,
    // with no conversion between code pages that could change them.
    RegKey key;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSharedKeyW, 0, KEY_QUERY_VALUE, key.receive());
    if (result == ERROR_FILE_NOT_FOUND)
        return;
    DWORD size = sizeof value.data;
    if (result == ERROR_SUCCESS)
        result = RegQueryValueExW(key.get(), kLibraryDateValueW, nullptr, &value.type, value.data, &size);
    if (result == ERROR_FILE_NOT_FOUND)
        return;
    value.state = result == ERROR_SUCCESS ? LibraryDate::State::Present : LibraryDate::State::Unknown;
    value.size = result == ERROR_SUCCESS ? size : 0;
}

bool restoreLibraryDate(const LibraryDate& value)
{
    if (value.state == LibraryDate::State::Unknown || value.size > sizeof value.data)
        return false;
    RegKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSharedKeyW, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        key.receive(), nullptr) != ERROR_SUCCESS)
        return false;
    if (value.state == LibraryDate::State::Absent) {
        const LONG result = RegDeleteValueW(key.get(), kLibraryDateValueW);
        return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
    }
    return RegSetValueExW(key.get(), kLibraryDateValueW, 0, value.type, value.data, value.size) == ERROR_SUCCESS;
}

bool carriesUpdateTime(FILETIME fileTime, FILETIME updateTime)
{
    constexpr long long kSecond = 10000000;
    const long long file = static_cast<long long>((static_cast<ULONGLONG>(fileTime.dwHighDateTime) << 32) |
                                                  fileTime.dwLowDateTime);
    const long long update = static_cast<long long>((static_cast<ULONGLONG>(updateTime.dwHighDateTime) << 32) |
                                                    updateTime.dwLowDateTime);
    const long long shifts[] = {0, 3600 * kSecond, -3600 * kSecond};
    for (const long long shift : shifts) {
        const long long apart = file - update - shift;
        if (apart > -2 * kSecond && apart < 2 * kSecond)
            return true;
    }
    return false;
}
