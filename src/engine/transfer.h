// The transfer rule: whether one unpacked definition file replaces the installed
// copy in one definition directory, with the optional backup of that copy.
#pragma once

class DirectoryRecord;
class UpdateStamp;

// What becomes of the copies being replaced in one definition directory.
struct BackupPlan {
    bool backUp = false;             // each copy is saved before it is replaced
    const char* folder = nullptr;    // where: null when no folder could be named, and nothing is replaced
    DirectoryRecord* record = nullptr; // the directory's restore record, told of every change first
};

// Installs `name` from `sourceDir` (the temporary directory, where it was
// unpacked) into `directory` when the directory has no copy of it, when its
// copy is not newer than the update, or always under /F. An installed copy
// that exists but cannot be read is left as it is: only a file that is not
// there counts as no copy. With a backup planned the installed copy is saved
// first, unless it is this update's own already, and is not replaced when that
// save fails. The record hears of each change before it is made. Each file
// really installed is stamped with the update time and counted in
// filesUpdated. All directories end in a backslash.
void transferDefinitionFile(const UpdateStamp& stamp, const char* sourceDir, const char* name,
                            const char* directory, const BackupPlan& backups);
