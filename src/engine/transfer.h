// The transfer rule: whether one unpacked definition file replaces the installed
// copy in one definition directory, with the optional backup of that copy.
#pragma once

class UpdateStamp;

// Installs `name` from `sourceDir` (the temporary directory, where it was
// unpacked) into `directory` when the directory has no copy of it, when its
// copy is not newer than the update, or always under /F. With makeBackup the
// installed copy is saved in `backupDir` first, and is not replaced when that
// save fails or `backupDir` is null (no backup folder could be named). Each
// file really installed is stamped with the update time and counted in
// filesUpdated. All directories end in a backslash.
void transferDefinitionFile(const UpdateStamp& stamp, const char* sourceDir, const char* name,
                            const char* directory, const char* backupDir);
