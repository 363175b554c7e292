// The run's own folder in the temporary directory, where the package is placed
// and unpacked. The temporary directory is shared (SYSTEM's is the Windows one,
// where every user may create files): a name fixed or guessed in advance could
// be taken by someone first, who would then own a file the run writes the
// maker's bytes into and later copies into the products. So each run makes a
// new folder of a name no one can guess, never one that is there already,
// with access for administrators and SYSTEM only when the run is theirs, and
// removes it and everything in it when it ends, however it ends.
#pragma once

#include "run/text.h"

class WorkingFolder {
public:
    WorkingFolder() = default;
    ~WorkingFolder() { remove(); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    // Makes the folder in `tempDir` (which ends in a backslash); false when
    // none could be made.
    bool create(const char* tempDir);

    // The folder, ending in a backslash; empty before create().
    const char* path() const { return path_; }

    // Removes the folder and everything in it, leaving it first if it is the
    // current directory.
    void remove();

private:
    PathBuffer path_ = "";
    PathBuffer parent_ = "";
};
