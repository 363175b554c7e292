// Restore (see restore.h).
#include "engine/restore.h"

#include <windows.h>

#include "engine/file_names.h"
#include "engine/file_replace.h"
#include "engine/update_record.h"
#include "engine/update_stamp.h"
#include "run/handles.h"
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

// The installed file still carries the update's time: nothing has changed it since.
bool unchangedSince(const char* path, const FILETIME& updateTime)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path, GetFileExInfoStandard, &data) &&
           CompareFileTime(&data.ftLastWriteTime, &updateTime) == 0;
}

bool readable(const char* path)
{
    return FileHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr)).valid();
}

// Undoes one entry of the record; true when it is done.
bool undo(const char* directory, const UpdateRecord::Entry& entry, const UpdateRecord& record, bool silent,
          Totals& totals)
{
    PathBuffer installed, backup;
    if (!joinText(installed, directory, entry.name) || !formatText(backup, "%s%s%s", directory, kBackupFolder, entry.name)) {
        reportLeft(silent, totals, entry.name, "its path is too long");
        return false;
    }
    if (!unchangedSince(installed, record.updateTime)) {
        reportLeft(silent, totals, installed, "it has changed since the update");
        return false;
    }
    if (entry.added) {
        if (!DeleteFileA(installed)) {
            reportLeft(silent, totals, installed, replaceFailure(GetLastError()));
            return false;
        }
        logLine("%s: removed, the update had added it", installed);
        ++totals.removed;
        return true;
    }
    if (!readable(backup)) {
        reportLeft(silent, totals, installed, "its copy in Backup is missing or unreadable");
        return false;
    }
    if (!replaceFileSafely(backup, installed)) {
        reportLeft(silent, totals, installed, replaceFailure(GetLastError()));
        return false;
    }
    logLine("%s: put back from %s", installed, backup);
    ++totals.putBack;
    return true;
}

void restoreDirectory(const char* directory, bool silent, Totals& totals)
{
    PathBuffer path;
    UpdateRecord record;
    if (!recordPath(directory, path))
        return;
    switch (readRecord(path, record)) {
    case RecordState::Missing:
        logLine("%s: nothing to restore", directory);
        return;
    case RecordState::Damaged:
        reportLeft(silent, totals, path, "it is not a sound restore record, so nothing was restored there");
        return;
    case RecordState::Read:
        break;
    }
    logLine("%s: undoing the update of %s", directory, record.updateDate);
    if (totals.records++ == 0)
        totals.first = record;
    bool all = true;
    for (int i = 0; i < record.count; ++i) {
        record.entries[i].done = undo(directory, record.entries[i], record, silent, totals);
        all = all && record.entries[i].done;
    }
    // What was not done stays in the record, for a later restore to finish.
    if (all ? !DeleteFileA(path) : !writeRecord(path, record))
        logLine("%s could not be %s", path, all ? "retired" : "written again");
}

} // namespace

RestoreResult RunRestore(UpdateContext context, bool silent)
{
    Totals totals;
    PathBuffer directory;
    while (context.nextDirectory(directory))
        restoreDirectory(directory, silent, totals);

    char message[256];
    if (totals.records > 0) {
        const UpdateRecord& first = totals.first;
        setLibraryDate(first.hadLibraryDate ? first.libraryDate : nullptr);
        if (first.hadLibraryDate)
            logLine("library date set back to %s", first.libraryDate);
        else
            logLine("library date removed: there was none before the update");
        formatText(message, "The update of %s was undone. Definition files put back: %d; removed: %d.",
                   first.updateDate, totals.putBack, totals.removed);
    } else {
        copyText(message, "There was nothing to restore: no update kept the definition files it replaced.");
    }
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
