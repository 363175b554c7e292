// The maker's unpacker library "zunpck32.dll": loading it, looking up its three
// entry points, and the protocol by which it announces each file it unpacks.
#pragma once

#include <windows.h>

#include "run/handles.h"

class UpdateStamp;

class UnpackerLibrary {
public:
    // Loads "zunpck32.dll" by its bare name (the system's standard search, the
    // program's own directory first) and looks up zunpack_init, zunpack_exec and
    // zunpack_exit in that order. Shows a "Debugging" box for a library that
    // cannot be loaded ("No") and for the first entry point that is missing.
    // Returns true when all three were found.
    bool load();

    // Unpacks "virusdef.zpk" (relative to the current directory) into
    // `targetDir`, a directory ending in a backslash. Each file is stamped and
    // recorded in `stamp` once the library has finished it, that is when it
    // announces the next file or the end. An error status is shown in a
    // "Debugging" box and ends the unpacking. Then calls zunpack_exit and
    // releases the library. Call only after load() succeeded.
    // Returns true when the package was unpacked whole: the library reported
    // its end, and every file it announced was recorded. Otherwise the files
    // recorded before the failure are whole, but the package is not.
    bool unpack(const char* targetDir, UpdateStamp& stamp);

    // The library's calls, all with the standard calling convention.
    using InitFunction = int(__stdcall*)(char* name, const char* targetDir, int, int, int, int, int* var);
    using ExecFunction = int(__stdcall*)(char* nameBuffer, int* var);
    using ExitFunction = int(__stdcall*)();

    // Statuses of zunpack_exec; any other value is an error.
    static constexpr int kDone = 0;
    static constexpr int kNewFile = 2;
    static constexpr int kWorking = 3;
    // The name buffer shared with the library, terminator included.
    static constexpr int kNameBufferSize = 128;

private:
    Library library_;
    InitFunction init_ = nullptr;
    ExecFunction exec_ = nullptr;
    ExitFunction exit_ = nullptr;
};
