// The transfer rule for one definition file and one definition directory (see
// transfer.h).
#include "engine/transfer.h"

#include <windows.h>

#include "engine/directory_record.h"
#include "engine/file_identity.h"
#include "engine/file_replace.h"
#include "engine/update_stamp.h"
#include "environment/access.h"
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

// A file that a run with backups would add, but cannot note in the restore
// record first: a restore could not take it away again, so it is not added.
void reportNotRecorded(const char* installed)
{
    logLine("%s: not installed, the restore record cannot be written", installed);
    MessageBuffer message;
    formatText(message, "Could not record %s for a restore; the file was not installed.", installed);
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
    switch (fileTime(installed, installedTime)) {
    case FileState::Missing:
        if (diagnosticMode)
            showBox(name, "Transfering - no copy exists", MB_OK);
        if (!backups.record->beforeAdding(name)) {
            reportNotRecorded(installed);
            return;
        }
        if (!install(stamp, unpacked, installed)) {
            logLine("%s: not installed, %s", installed, replaceFailure(GetLastError()));
            return;
        }
        logLine("%s: new", installed);
        return;
    case FileState::Unreadable:
        logLine("%s: not replaced, it cannot be read: %s", installed, replaceFailure(GetLastError()));
        return;
    case FileState::Read:
        break;
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

    // What is there now, and whether it is this update's own already: then
    // there is nothing to keep a copy of.
    FileIdentity current, incoming;
    if (identifyFile(installed, current) != FileState::Read) {
        logLine("%s: not replaced, it cannot be read: %s", installed, replaceFailure(GetLastError()));
        return;
    }
    const bool alreadyThisUpdates = carriesUpdateTime(current.lastWrite, stamp.updateTime) &&
                                    identifyFile(unpacked, incoming) == FileState::Read &&
                                    sameBytes(current, incoming);
    const bool copy = backups.backUp && !alreadyThisUpdates;

    PathBuffer backup;
    if (copy) {
        if (backups.folder == nullptr || !joinText(backup, backups.folder, name)) {
            reportBackupFailed(installed);
            return;
        }
        if (diagnosticMode)
            showBox(backup, "Copying backup file to:", MB_OK);
    }
    if (!backups.record->beforeReplacing(name, current, copy, alreadyThisUpdates)) {
        if (copy)
            reportBackupFailed(installed);
        else
            logLine("%s: not replaced, the restore record cannot be written", installed);
        return;
    }
    if (copy) {
        // A copy an earlier run of this update kept of this very file stays, if
        // a restore would trust it: an administrator's, and no link.
        FileIdentity kept;
        const bool keptAlready = identifyFile(backup, kept) == FileState::Read && sameBytes(kept, current) &&
                                 CompareFileTime(&kept.lastWrite, &current.lastWrite) == 0 &&
                                 ownedByAdministrators(backup);
        if (!keptAlready && !replaceFileSafely(installed, backup, &current, protectedAccess(Protection::File))) {
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
}
