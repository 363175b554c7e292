// The update package's name, and what the engine accepts as the name of a
// definition file.
#pragma once

// The package, in the start directory and placed in the temporary directory.
inline constexpr char kPackageName[] = "virusdef.zpk";

// Where the copies being replaced are kept, in each definition directory.
inline constexpr char kBackupFolder[] = "Backup\\";

// True for a bare file name that stays inside the folder it is joined to: not
// empty, not "." or "..", with no drive colon and no slash of either kind.
bool isPlainFileName(const char* name);
