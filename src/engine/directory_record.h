// The restore record of one definition directory as an update keeps it: a
// journal in which each file's line is on the disk before the file is changed.
//
// A run with backups writes this update's record at its first change in the
// directory; until then the record found there, whatever update it is of,
// stays as it was, so a run that changes nothing leaves the last update with
// backups undoable. A record of this same update (an earlier run, stopped or
// partial) is carried on: what it names keeps its entry, so its copies in
// Backup\ keep holding what was there before this update first touched each
// file. A run without backups never starts a record, carries on one of this
// update, and retires one of another update at its first change, so that no
// restore ever puts back a set older than the one the run replaced.
#pragma once

#include "engine/update_record.h"

class DirectoryRecord {
public:
    // Reads the record in `directory` (ending in a backslash). `fresh` is this
    // update's own: its time and date, and the library date before it.
    DirectoryRecord(const char* directory, const UpdateRecord& fresh, bool keepsBackups);

    // Before `name` is added where there was no file: false when its line
    // could not be written, and the file must not be added.
    bool beforeAdding(const char* name);

    // Before the installed `name`, which is `current`, is replaced: `copied`
    // when a copy of it is about to be kept in Backup\; `alreadyThisUpdates`
    // when it holds this update's bytes and time already. False when its
    // line could not be written, and the file must be left as it is.
    bool beforeReplacing(const char* name, const FileIdentity& current, bool copied, bool alreadyThisUpdates);

private:
    bool put(const UpdateRecord::Entry& entry);
    void retireOther();

    PathBuffer path_;
    bool named_;        // the record's path fits
    bool keepsBackups_;
    bool onDisk_;       // record_ is this update's record, and on the disk
    bool otherOnDisk_;  // a record of another update (or a damaged one) is there
    UpdateRecord record_;
};
