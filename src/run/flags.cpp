// The process-wide flags (see flags.h).
#include "run/flags.h"

int continueUpdate = 0;
int diagnosticMode = 0;
int forceUpdate = 0;
int makeBackup = 0;
int filesUpdated = 0;
