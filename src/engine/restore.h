// Restore (/R): undoes the last update that kept backups, in every definition
// directory found, as the record in its Backup\ folder says.
#pragma once

#include "run/update_context.h"

enum class RestoreResult {
    Restored,         // every record found was followed to its end
    NothingToRestore, // no directory held a record (or none was found)
    Incomplete,       // a file could not be put back, or a record was refused
};

// Puts back each replaced file from its copy in Backup\ (content and
// last-write time), removes each added file, then gives the registry back the
// library date from before the update, and retires the records. A file that
// has changed since the update, whose copy is missing, or that cannot be
// replaced safely is left whole and reported (a box unless `silent`, the log
// always), and stays in the record for a later restore. Unless `silent`, one
// box at the end says what was done.
RestoreResult RunRestore(UpdateContext context, bool silent);
