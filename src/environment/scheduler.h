// Registration of the scheduled-download agent "TWAGent.exe": its settings (where
// to fetch later updates, when, and whether to ask first) and its App Paths entry.
#pragma once

// Writes the agent's five settings and, under App Paths, the agent's directory
// and file path. `directory` is the definition directory the agent lives in.
// Nothing is written for an empty directory, or one too long to hold the
// agent's file name in a 256-byte value; registry failures pass silently.
void registerDownloadAgent(const char* directory);
