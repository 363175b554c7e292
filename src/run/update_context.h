// UpdateContext: the record of one update run that the steps hand to each other:
// the definition directories that discovery found, the program's directory and
// the system's temporary directory. A plain value, copied whole by value.
#pragma once

#include "run/text.h"

class UpdateContext {
public:
    static constexpr int kSlotCount = 3;
    static constexpr int kGlimOnSlot = 0;
    static constexpr int kDravomireSlot = 1;

    UpdateContext();

    // Copies the next filled slot into `buffer` and returns 1, or returns 0 with
    // the buffer untouched when no slot is left.
    int nextDirectory(PathBuffer& buffer);
    void rewindDirectories();
    int getFoundCount() const;

    // Product discovery (discovery/).
    void discoverProducts();
    void findGlimOnSharedDir();
    void findDravomireDir();
    int isGlimOnInstalled() const;
    int isDravomireInstalled(const char* directory) const;
    int directoryExists(const char* path) const;

    // Free space on the temporary directory's drive (environment/).
    int checkFreeSpace(int requiredBytes) const;

    // The directory with every name after its root in its long form (ui/).
    void ExpandToLongPath(const char* path, PathBuffer& result) const;

    int foundCount;
    int dirCursor;
    char definitionDirs[kSlotCount][kPathSize];
    char programDir[255];
    // The temporary directory, ending in a backslash; empty when the system
    // could not give one that fits.
    char tempDir[255];
};
