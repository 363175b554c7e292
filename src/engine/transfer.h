// The transfer rule: whether one unpacked definition file replaces the installed
// copy in one definition directory, with the optional backup of that copy.
#pragma once

class UpdateStamp;
struct UpdateRecord;

// What becomes of the copies being replaced in one definition directory.
struct BackupPlan {
    bool backUp = false;           // each copy is saved before it is replaced
    const char* folder = nullptr;  // where: null when no folder could be named, and nothing is replaced
    UpdateRecord* record = nullptr; // what was replaced and added, for a restore; null: none is kept
};

// Installs `name` from `sourceDir` (the temporary directory, where it was
// unpacked) into `directory` when the directory has no copy of it, when its
// copy is not newer than the update, or always under /F. With a backup planned
// the installed copy is saved first, and is not replaced when that save fails.
// Each file really installed is stamped with the update time, counted in
// filesUpdated and entered in the plan's record. All directories end in a
// backslash.
void transferDefinitionFile(const UpdateStamp& stamp, const char* sourceDir, const char* name,
                            const char* directory, const BackupPlan& backups);
