// Whether a program file is on the disk.
#pragma once

// True when `path` names an existing file (not a directory). Tested with
// OpenFile(OF_EXIST) as the products' own installers do; a path too long for
// OpenFile's 128-character record is tested by its attributes instead.
bool fileExists(const char* path);
