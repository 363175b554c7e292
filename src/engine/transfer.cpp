// The transfer rule for one definition file and one definition directory (see
// transfer.h).
#include "engine/transfer.h"

#include <windows.h>

#include "engine/file_replace.h"
#include "engine/update_stamp.h"
#include "run/flags.h"
#include "run/handles.h"
#include "run/text.h"

namespace {

// Room for a message naming a whole path that did not fit a path buffer.
using MessageBuffer = char[2 * kPathSize];

void showBox(const char* text, const char* caption)
{
    MessageBoxA(nullptr, text, caption, MB_OK);
}

// A file whose path would not fit is skipped: a shortened path would name some
// other file.
void reportPathTooLong(const char* directory, const char* name)
{
    MessageBuffer message;
    if (!formatText(message, "%s%s", directory, name))
        copyText(message, name);
    showBox(message, "Path too long");
}

// The user asked for a backup and it could not be made: the installed copy stays.
void reportBackupFailed(const char* installed)
{
    MessageBuffer message;
    formatText(message, "Could not back up %s; the file was kept as it is.", installed);
    showBox(message, "Backup failed");
}

bool isReadOnly(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// The new copy counts, and gets the update's time, only once it is in place.
void install(const UpdateStamp& stamp, const char* unpacked, const char* installed)
{
    if (!replaceFileSafely(unpacked, installed))
        return;
    stamp.stampFile(installed);
    ++filesUpdated;
}

struct Date {
    int month, day, year;
};

Date dateOf(FILETIME time)
{
    unsigned char day, month, yearOffset;
    fileTimeToDayMonthYear(time, &day, &month, &yearOffset);
    return Date{month, day, yearOffset + 1980};
}

} // namespace

void transferDefinitionFile(const UpdateStamp& stamp, const char* sourceDir, const char* name,
                            const char* directory, const char* backupDir)
{
    PathBuffer unpacked, installed;
    if (!joinText(unpacked, sourceDir, name) || !joinText(installed, directory, name)) {
        reportPathTooLong(directory, name);
        return;
    }

    FILETIME installedTime;
    {
        FileHandle file(CreateFileA(installed, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            if (diagnosticMode)
                showBox(name, "Transfering - no copy exists");
            install(stamp, unpacked, installed);
            return;
        }
        if (!GetFileTime(file.get(), nullptr, nullptr, &installedTime))
            return;
    }

    const Date installedDate = dateOf(installedTime);
    if (!forceUpdate && !stamp.isNotNewer(installedTime)) {
        if (diagnosticMode) {
            MessageBuffer message;
            formatText(message, "%s is dated %d/%d/%d", name, installedDate.month, installedDate.day,
                       installedDate.year);
            showBox(message, "Not Xfering");
        }
        return;
    }

    // A read-only installed copy is not replaced, and so needs no backup.
    if (isReadOnly(installed))
        return;

    if (makeBackup) {
        PathBuffer backup;
        if (backupDir == nullptr || !joinText(backup, backupDir, name)) {
            reportBackupFailed(installed);
            return;
        }
        if (diagnosticMode)
            showBox(backup, "Copying backup file to:");
        if (!replaceFileSafely(installed, backup)) {
            reportBackupFailed(installed);
            return;
        }
    }

    if (diagnosticMode) {
        char caption[64];
        formatText(caption, "Xfering: %d/%d/%d", installedDate.month, installedDate.day, installedDate.year);
        showBox(name, caption);
    }

    const DWORD attributes = GetFileAttributesA(unpacked);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        DWORD cleared = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        if (cleared == 0)
            cleared = FILE_ATTRIBUTE_NORMAL; // 0 would mean "no change"
        if (!SetFileAttributesA(unpacked, cleared))
            showBox(name, "File is marked read only:");
    }

    install(stamp, unpacked, installed);
}
