// The record an update with backups leaves in each definition directory's
// Backup\ folder, so that a restore (/R) can undo it: which update it was, the
// library date the registry held before it, each file it replaced (its old copy
// is in Backup\) and each file it added. Plain text, one item a line:
//
//   DefPatch restore record
//   update 12/5/1997 01BD01C6A0A5E000      the update's date, and its time as hex
//   library-date 11/1/1997                 or: no-library-date
//   replaced A.DAT
//   added C.DAT
//   end
//
// A record is input from disk: one that is damaged, cut short, over-long,
// names a file with a path or more files than an update holds is refused whole.
#pragma once

#include <windows.h>

#include "run/text.h"

// Its name has more characters than a definition file may have, so that no
// backup copy can ever take its place.
inline constexpr char kRecordName[] = "DefPatch record of the last update.txt";

struct UpdateRecord {
    static constexpr int kMaxFiles = 19;
    static constexpr int kTextSize = 32;

    struct Entry {
        char name[kTextSize];
        bool added; // there was no copy before the update
        bool done;  // undone by a restore: left out when the record is written again
    };

    FILETIME updateTime;
    char updateDate[kTextSize]; // as the program shows dates: 12/5/1997
    bool hadLibraryDate;
    char libraryDate[kTextSize]; // the registry's library date before the update
    int count;
    Entry entries[kMaxFiles];

    // Adds a file replaced (added false) or added; false when the record is full.
    bool add(const char* name, bool added);
};

enum class RecordState { Missing, Damaged, Read };

// Reads the record at `path`.
RecordState readRecord(const char* path, UpdateRecord& record);

// Writes the record to `path`, every entry not done, through a new file that
// then replaces the old one; false when it could not be written whole.
bool writeRecord(const char* path, const UpdateRecord& record);

// The record's path in a definition directory (which ends in a backslash);
// false when it does not fit.
bool recordPath(const char* directory, PathBuffer& path);
