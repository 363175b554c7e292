// Putting a new copy of a file in place without ever losing the old one.
#pragma once

#include "engine/file_identity.h"
#include "run/handles.h"

// Copies `source` over `destination` so that `destination` ends either as a
// complete copy of `source` or exactly as it was: the copy is first written to
// a new file of its own in the destination's folder (same volume), checked for
// every byte written, flushed, and only then renamed over the destination. It
// keeps the source's times. A read-only destination is left alone (a rename
// would get past the mark on some platforms). With `expected`, the copy goes
// in place only when its bytes are those (ERROR_CRC otherwise): a copy kept
// for a restore is put back only as it was kept. Returns true when the
// destination now holds the new copy; otherwise GetLastError says why.
// The new copy is made with `access` (null: what its folder gives).
bool replaceFileSafely(const char* source, const char* destination, const FileIdentity* expected = nullptr,
                       SECURITY_ATTRIBUTES* access = nullptr);

// Creates a new, empty file in the folder of `beside` under a name of its own,
// "~" and two hex digits, never one that is there already (a leftover of a
// stopped run, or someone's file, is never touched), and opens it for
// writing. False when none could be made; `path` then is empty.
bool createFileBeside(const char* beside, DWORD flags, FileHandle& file, char (&path)[MAX_PATH],
                      SECURITY_ATTRIBUTES* access = nullptr);

// Why a file could not be put in place or removed, from its error, for the log
// and the boxes: "it is in use", "the disk is full" and so on.
const char* replaceFailure(unsigned long error);
