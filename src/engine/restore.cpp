// Restore (see restore.h).
#include "engine/restore.h"

#include <windows.h>

#include "engine/file_identity.h"
#include "engine/file_names.h"
#include "engine/file_replace.h"
#include "engine/update_record.h"
#include "engine/update_stamp.h"
#include "environment/access.h"
#include "run/run_log.h"
#include "run/text.h"
#include "ui/message_box.h"

namespace {

const char kRestoreCaption[] = "Zorvane Virus Definition Restore";

struct Totals {
    int records = 0;   // records followed
    int putBack = 0;   // replaced files given back their copies
    int removed = 0;   // added files removed
    int left = 0;      // files left, and records refused
    UpdateRecord first; // the first record followed: the update undone, the library date before it
};

// Something left as it is: said in the log, and in a box at the PC.
void reportLeft(bool silent, Totals& totals, const char* what, const char* why)
{
    ++totals.left;
    logLine("%s: left as it is, %s", what, why);
    if (silent)
        return;
    char message[2 * kPathSize];
    formatText(message, "%s was left as it is: %s.", what, why);
    showBox(message, "Not Restored", MB_OK);
}

// Why a copy in Backup\ could not be put back.
const char* putBackFailure(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_ACCESS_DENIED:
        return "its copy in Backup is missing or unreadable";
    case ERROR_CRC:
        return "its copy in Backup is not the one the update kept";
    default:
        return replaceFailure(error);
    }
}

// Undoes one entry of the record; true when the file is as before the update.
bool undo(const char* directory, const UpdateRecord::Entry& entry, const UpdateRecord& record, bool silent,
          Totals& totals)
{
    PathBuffer installed, backup;
    if (!joinText(installed, directory, entry.name) ||
        !formatText(backup, "%s%s%s", directory, kBackupFolder, entry.name)) {
        reportLeft(silent, totals, entry.name, "its path is too long");
        return false;
    }
    FileIdentity now;
    switch (identifyFile(installed, now)) {
    case FileState::Missing:
        // A file added by a run that stopped before it got there needs nothing.
        if (entry.kind == UpdateRecord::Kind::Added)
            return true;
        reportLeft(silent, totals, installed, "it has changed since the update: it is missing");
        return false;
    case FileState::Unreadable:
        reportLeft(silent, totals, installed, replaceFailure(GetLastError()));
        return false;
    case FileState::Read:
        break;
    }

    // Still the file its copy was made of: the update never reached it, or an
    // earlier restore put it back.
    if (entry.kind == UpdateRecord::Kind::Replaced && sameBytes(now, entry.original))
        return true;
    if (!carriesUpdateTime(now.lastWrite, record.updateTime)) {
        reportLeft(silent, totals, installed, "it has changed since the update");
        return false;
    }
    switch (entry.kind) {
    case UpdateRecord::Kind::NoCopy:
        reportLeft(silent, totals, installed, "the update replaced it without keeping a copy");
        return false;
    case UpdateRecord::Kind::Added:
        if (!DeleteFileA(installed)) {
            reportLeft(silent, totals, installed, replaceFailure(GetLastError()));
            return false;
        }
        logLine("%s: removed, the update had added it", installed);
        ++totals.removed;
        return true;
    case UpdateRecord::Kind::Replaced:
        // A copy only an administrator could have put there, and no link out of Backup.
        if (GetFileAttributesA(backup) != INVALID_FILE_ATTRIBUTES && !ownedByAdministrators(backup)) {
            reportLeft(silent, totals, installed, "its copy in Backup is not an administrator's");
            return false;
        }
        if (!replaceFileSafely(backup, installed, &entry.original)) {
            reportLeft(silent, totals, installed, putBackFailure(GetLastError()));
            return false;
        }
        logLine("%s: put back from %s", installed, backup);
        ++totals.putBack;
        return true;
    }
    return false;
}

void restoreDirectory(const char* directory, bool silent, Totals& totals)
{
    PathBuffer path;
    UpdateRecord record;
    if (!recordPath(directory, path))
        return;
    if (!backupFolderUsable(directory)) {
        reportLeft(silent, totals, path, "its Backup folder is a link to somewhere else, so nothing was restored there");
        return;
    }
    switch (readRecord(path, record)) {
    case RecordState::Missing:
        logLine("%s: nothing to restore", directory);
        return;
    case RecordState::Damaged:
        reportLeft(silent, totals, path, "it is not a sound restore record, so nothing was restored there");
        return;
    case RecordState::Untrusted:
        reportLeft(silent, totals, path, "no administrator wrote it, so nothing was restored there");
        return;
    case RecordState::Read:
        break;
    }
    logLine("%s: undoing the update of %s", directory, record.updateDate);
    if (totals.records++ == 0)
        totals.first = record;
    bool all = true;
    for (int i = 0; i < record.count; ++i)
        all = undo(directory, record.entries[i], record, silent, totals) && all;
    // A record with something left stays as it is, for a later restore to finish.
    if (all && !DeleteFileA(path))
        logLine("%s could not be retired", path);
}

} // namespace

RestoreResult RunRestore(UpdateContext context, bool silent)
{
    Totals totals;
    PathBuffer directory;
    while (context.nextDirectory(directory))
        restoreDirectory(directory, silent, totals);

    // The library date goes back only with the last of the update's files:
    // while any is still in place, the date says what the PC has.
    const UpdateRecord& first = totals.first;
    if (totals.records > 0 && totals.left == 0) {
        if (restoreLibraryDate(first.libraryDate))
            logLine("library date set back to what it was before the update");
        else
            reportLeft(silent, totals, "The library date", "what it was before the update is not known");
    }

    char message[256];
    if (totals.records > 0)
        formatText(message, "The update of %s was %s. Definition files put back: %d; removed: %d.", first.updateDate,
                   totals.left > 0 ? "not undone whole" : "undone", totals.putBack, totals.removed);
    else
        copyText(message, "There was nothing to restore: no update kept the definition files it replaced.");
    logLine("definition files put back: %d, removed: %d, left: %d", totals.putBack, totals.removed, totals.left);
    if (totals.left > 0) {
        char more[64];
        formatText(more, " Files left as they were: %d (the log says why).", totals.left);
        appendText(message, more);
    }
    if (!silent)
        showBox(message, kRestoreCaption, MB_OK);
    return totals.left > 0 ? RestoreResult::Incomplete
                           : totals.records > 0 ? RestoreResult::Restored : RestoreResult::NothingToRestore;
}
