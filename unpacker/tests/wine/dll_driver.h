// Drives the real zunpck32.dll as DefPatch does: LoadLibraryA, the three
// entry points by name, zunpack_init with "virusdef.zpk" relative to the
// current directory, zunpack_exec until it stops asking, zunpack_exit.
// While it drives, it checks the library's promises at every call.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "zpk_writer.h"
#include "zunpck32.h"

// Windows path of a file built next to the tests (bin/).
std::string binPath(const std::string& name);
// A Unix path of the build as Wine sees it (drive Z:).
std::string winePath(const std::string& unixPath);

class UnpackerDll {
public:
    UnpackerDll();
    ~UnpackerDll();
    UnpackerDll(const UnpackerDll&) = delete;
    UnpackerDll& operator=(const UnpackerDll&) = delete;

    bool loaded() const { return init && exec && exit; }

    HMODULE module = nullptr;
    ZunpackInitProc init = nullptr;
    ZunpackExecProc exec = nullptr;
    ZunpackExitProc exit = nullptr;
};

struct Transcript {
    int initResult = -1;
    int finalStatus = -1;                 // the first status other than 2 or 3
    std::vector<std::string> announced;   // names of the 2s, in order
    int workingCalls = 0;                 // number of 3s
    std::vector<std::string> problems;    // broken promises seen on the way
};

// Makes `dir` current for the life of the object, as the engine does.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& dir);
    ~CurrentDirectory();

private:
    char saved_[MAX_PATH];
};

// One unpacking of `packageName` (relative to the current directory) into
// `targetDir`. `expected`, when given, holds the contents the announced
// files must have once complete (looked up by name).
Transcript unpackWith(UnpackerDll& dll, const std::string& packageName, const std::string& targetDir,
                      const std::vector<ZpkInput>* expected = nullptr);

// Names of the files and folders directly in `dir` (ending with a backslash), sorted.
std::vector<std::string> listDirectory(const std::string& dir);
