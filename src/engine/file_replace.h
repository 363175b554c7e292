// Putting a new copy of a file in place without ever losing the old one.
#pragma once

// Copies `source` over `destination` so that `destination` ends either as a
// complete copy of `source` or exactly as it was: the copy is first written to a
// new file in the destination's folder (same volume), checked for its full size,
// and only then renamed over the destination. A read-only destination is left
// alone (a rename would get past the mark on some platforms). Returns true when
// the destination now holds the new copy; otherwise GetLastError says why.
bool replaceFileSafely(const char* source, const char* destination);

// Why a file could not be put in place or removed, from its error, for the log
// and the boxes: "it is in use", "the disk is full" and so on.
const char* replaceFailure(unsigned long error);
