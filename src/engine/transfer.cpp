// The transfer rule for one definition file and one definition directory (see
// transfer.h).
#include "engine/transfer.h"

#include <windows.h>

#include "engine/file_replace.h"
#include "engine/update_record.h"
#include "engine/update_stamp.h"
#include "run/flags.h"
#include "run/handles.h"
#include "run/run_log.h"
#include "run/text.h"
#include "ui/message_box.h"

namespace {

// Room for a message naming a whole path that did not fit a path buffer.
using MessageBuffer = char[2 * kPathSize];

// A file whose path would not fit is skipped: a shortened path would name some
// other file.
void reportPathTooLong(const char* directory, const char* name)
{
    logLine("%s in %s: not installed, the path is too long", name, directory);
    MessageBuffer message;
    if (!formatText(message, "%s%s", directory, name))
        copyText(message, name);
    showBox(message, "Path too long", MB_OK);
}

// The user asked for a backup and it could not be made: the installed copy stays.
void reportBackupFailed(const char* installed)
{
    logLine("%s: not replaced, its backup failed", installed);
    MessageBuffer message;
    formatText(message, "Could not back up %s; the file was kept as it is.", installed);
    showBox(message, "Backup failed", MB_OK);
}

bool isReadOnly(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// The new copy counts, and gets the update's time, only once it is in place.
bool install(const UpdateStamp& stamp, const char* unpacked, const char* installed)
{
    if (!replaceFileSafely(unpacked, installed))
        return false;
    stamp.stampFile(installed);
    ++filesUpdated;
    return true;
}

} // namespace

void transferDefinitionFile(const UpdateStamp& stamp, const char* sourceDir, const char* name,
                            const char* directory, const BackupPlan& backups)
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
                showBox(name, "Transfering - no copy exists", MB_OK);
            if (!install(stamp, unpacked, installed)) {
                logLine("%s: not installed, %s", installed, replaceFailure(GetLastError()));
                return;
            }
            logLine("%s: new", installed);
            if (backups.record)
                backups.record->add(name, true);
            return;
        }
        if (!GetFileTime(file.get(), nullptr, nullptr, &installedTime)) {
            logLine("%s: passed over, its time cannot be read", installed);
            return;
        }
    }

    const Date installedDate = dateOf(installedTime);
    if (!forceUpdate && !stamp.isNotNewer(installedTime)) {
        logLine("%s: kept, newer: %d/%d/%d", installed, installedDate.month, installedDate.day, installedDate.year);
        if (diagnosticMode) {
            MessageBuffer message;
            formatText(message, "%s is dated %d/%d/%d", name, installedDate.month, installedDate.day,
                       installedDate.year);
            showBox(message, "Not Xfering", MB_OK);
        }
        return;
    }

    // A read-only installed copy is not replaced, and so needs no backup.
    if (isReadOnly(installed)) {
        logLine("%s: not replaced, it is read-only", installed);
        return;
    }

    if (backups.backUp) {
        PathBuffer backup;
        if (backups.folder == nullptr || !joinText(backup, backups.folder, name)) {
            reportBackupFailed(installed);
            return;
        }
        if (diagnosticMode)
            showBox(backup, "Copying backup file to:", MB_OK);
        if (!replaceFileSafely(installed, backup)) {
            reportBackupFailed(installed);
            return;
        }
        logLine("%s: backed up as %s", installed, backup);
    }

    if (diagnosticMode) {
        char caption[64];
        formatText(caption, "Xfering: %d/%d/%d", installedDate.month, installedDate.day, installedDate.year);
        showBox(name, caption, MB_OK);
    }

    const DWORD attributes = GetFileAttributesA(unpacked);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        DWORD cleared = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        if (cleared == 0)
            cleared = FILE_ATTRIBUTE_NORMAL; // 0 would mean "no change"
        if (!SetFileAttributesA(unpacked, cleared))
            showBox(name, "File is marked read only:", MB_OK);
    }

    if (!install(stamp, unpacked, installed)) {
        logLine("%s: not replaced, %s", installed, replaceFailure(GetLastError()));
        return;
    }
    logLine("%s: replaced, was %d/%d/%d", installed, installedDate.month, installedDate.day, installedDate.year);
    if (backups.backUp && backups.record)
        backups.record->add(name, false);
}
