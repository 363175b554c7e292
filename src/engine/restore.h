// Restore (/R): undoes the last update that kept backups, in every definition
// directory found, as the record in its Backup\ folder says.
#pragma once

#include "run/update_context.h"

enum class RestoreResult {
    Restored,         // every record found was followed to its end
    NothingToRestore, // no directory held a record (or none was found)
    Incomplete,       // a file could not be put back, or a record was refused
};

// For each file the record names: a file the update replaced gets its copy
// from Backup\ back (content and last-write time), a file it added is removed,
// a file it changed without a copy is reported; a file the update never
// reached (still the file its copy was made of, or still not there) needs
// nothing. A file that has changed since the update, whose copy is missing or
// not the one kept, or that cannot be replaced safely is left whole and
// reported (a box unless `silent`, the log always), and the record stays, so
// that a later restore finishes what is left. Only when nothing of the update
// is left in place does the registry get back the library date from before it
// and are the records retired. Unless `silent`, one box at the end says what
// was done.
RestoreResult RunRestore(UpdateContext context, bool silent);
