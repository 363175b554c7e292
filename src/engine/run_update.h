// The update engine: one whole update run, from placing the package to
// registering the download agent.
#pragma once

#include "run/update_context.h"

// Results of RunUpdate.
constexpr int kUpdateFatal = -1;            // a volume lacked room; the run stopped there
constexpr int kUpdatePackageNotPlaced = 3;  // no package could be placed; nothing was changed
constexpr int kUpdateFinished = 10;         // the run went through with the whole package
constexpr int kUpdateLibraryUnusable = 11;  // no library, or one without an entry point; nothing was changed
constexpr int kUpdatePackageNotWhole = 12;  // the library refused the package, or stopped part-way

// Places "virusdef.zpk" in the temporary directory, unpacks it there, transfers
// the unpacked files into every definition directory of `context`, deletes what
// it placed, records the library date and registers the download agent.
// The library date and the agent's settings tell the download agent that the
// PC is current, so they are written only after a whole package: whatever
// else ends the run leaves the registry as it was. Files the library finished
// before it stopped are whole and checked, and are transferred all the same.
int RunUpdate(UpdateContext context);
