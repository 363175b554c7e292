// The engine's box about its own machinery (library, entry points, package,
// current directory, unpacker status, the program's own file time).
#pragma once

// Shows `text` captioned "Debugging" with only an OK button, in every mode.
void showDebugging(const char* text);
