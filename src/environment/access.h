// Who may touch what the program keeps, on a PC where ordinary users are logged
// on while an administrator's or SYSTEM's run goes on: the lock, the log, the
// working folder and the Backup\ folders get access for administrators and
// SYSTEM only, and a restore trusts only what such an account owns.
#pragma once

#include <windows.h>

enum class Protection {
    File,   // administrators and SYSTEM only
    Folder, // the same, passed on to everything made inside
    Log,    // the same, and users may read it
};

// Whether this run is an administrator's or SYSTEM's: its token holds the
// Administrators group, enabled (an administrator's unelevated token does not).
bool runIsAdministrators();

// Attributes for CreateFileA and CreateDirectoryA that give the access above;
// null, the system's defaults, when the run is not an administrator's, whose
// own files need no protection from other users that it could give them.
SECURITY_ATTRIBUTES* protectedAccess(Protection kind);

// Gives an existing file or folder the access above (a log made before it was
// protected); false when it could not.
bool protect(const char* path, Protection kind);

// Whether what lies at `path` is owned by the Administrators group, SYSTEM or
// the administrator this run belongs to, and is no link (a reparse point) that
// could lead elsewhere: what a restore may trust. What a volume without owners
// (FAT) holds cannot tell, and counts as theirs.
bool ownedByAdministrators(const char* path);

// Whether `path` is a reparse point (a junction, a symbolic link) that could
// lead out of the folder it lies in.
bool isReparsePoint(const char* path);
