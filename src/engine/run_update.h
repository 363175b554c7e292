// The update engine: one whole update run, from placing the package to
// registering the download agent.
#pragma once

#include "run/update_context.h"

// Results of RunUpdate.
constexpr int kUpdateFatal = -1;          // a volume lacked room; the run stopped there
constexpr int kUpdatePackageNotPlaced = 3; // no package could be placed; nothing was changed
constexpr int kUpdateFinished = 10;        // the run went through (or the library was unusable)

// Places "virusdef.zpk" in the temporary directory, unpacks it there, transfers
// the unpacked files into every definition directory of `context`, deletes what
// it placed, records the library date and registers the download agent.
int RunUpdate(UpdateContext context);
