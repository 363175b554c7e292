// The record an update leaves in a definition directory's Backup\ folder, so
// that a restore (/R) can undo it: which update it was, the library date the
// registry held before it, and each file it changed there. Plain text, one item
// a line:
//
//   DefPatch restore record
//   update 12/5/1997 01BD01C6A0A5E000        the update's date, and its time as hex
//   library-date 1 20 31...00                the value before: type, size, bytes as hex
//                                            (or: library-date none / library-date unknown)
//   replaced A.DAT 01BCDE2F5C4B8000 11 0A1B2C3D   the copy in Backup\: its last-write
//                                            time, size and CRC-32, as it was before
//   added C.DAT                              there was no copy of it before
//   no-copy B.DAT                            changed by a run that kept no copy
//   end
//
// The update keeps it as a journal: each file's line is on the disk before the
// file is changed, so whatever stops a run, the record names everything the
// run changed. A record is input from disk: one that is damaged, cut short,
// over-long, names a file with a path, a file twice, or more files than an
// update holds is refused whole.
#pragma once

#include <windows.h>

#include "engine/file_identity.h"
#include "engine/update_stamp.h"
#include "run/text.h"

// Its name has more characters than a definition file may have, so that no
// backup copy can ever take its place.
inline constexpr char kRecordName[] = "DefPatch record of the last update.txt";

struct UpdateRecord {
    static constexpr int kMaxFiles = 19;
    static constexpr int kTextSize = 32;

    enum class Kind {
        Replaced, // its copy from before the update is in Backup\ (`original` says what it is)
        Added,    // there was no file of that name before the update
        NoCopy,   // the update changed it without keeping what was there
    };
    struct Entry {
        char name[kTextSize];
        Kind kind;
        FileIdentity original;
    };

    FILETIME updateTime;
    char updateDate[kTextSize]; // as the program shows dates: 12/5/1997
    LibraryDate libraryDate;    // the registry's library date before the update
    int count;
    Entry entries[kMaxFiles];

    // The entry of `name` (letter case aside), or null.
    const Entry* find(const char* name) const;
    // Replaces the entry of the same name, or adds it; false when the record is full.
    bool put(const Entry& entry);
};

enum class RecordState { Missing, Damaged, Untrusted, Read };

// Reads the record at `path`. A sound record that no administrator or SYSTEM
// owns is Untrusted: an ordinary account may have written it, and no run
// follows it or carries it on.
RecordState readRecord(const char* path, UpdateRecord& record);

// Writes the record to `path` through a new file, written through to the disk,
// that then takes the old one's place: a record is never left cut short.
// False when it could not be written whole; the old record is then as it was.
bool writeRecord(const char* path, const UpdateRecord& record);

// The record's path in a definition directory (which ends in a backslash);
// false when it does not fit.
bool recordPath(const char* directory, PathBuffer& path);

// Whether the directory's Backup\ folder may be used: it is not a reparse
// point, which could lead the copies and the record somewhere else.
bool backupFolderUsable(const char* directory);
