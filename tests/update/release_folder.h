// What an administrator ships, made for a test: a folder with copies of this
// build's DefPatch.exe and zunpck32.dll, the program's last-write time set to
// the update's time, and a "virusdef.zpk" made by the package writer; and a run
// of that copy with a temporary directory of the test's own.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "engine/test_times.h"
#include "harness/driver.h"
#include "harness/scratch.h"
#include "zpk_writer.h"

class ReleaseFolder {
public:
    ReleaseFolder(FILETIME updateTime, bool withLibrary = true, const std::string& parent = "") : folder_(parent)
    {
        copied_ = CopyFileA(binaryPath("DefPatch.exe").c_str(), exe().c_str(), FALSE) &&
                  setFileTimes(exe(), updateTime) &&
                  (!withLibrary ||
                   CopyFileA(binaryPath("zunpck32.dll").c_str(), (folder_ / "zunpck32.dll").c_str(), FALSE));
    }

    // False when the program or the library could not be copied.
    bool ready() const { return copied_; }
    std::string path() const { return folder_.path(); }
    std::string exe() const { return folder_ / "DefPatch.exe"; }
    std::string package() const { return folder_ / "virusdef.zpk"; }

    bool writePackage(const std::vector<ZpkInput>& files) const
    {
        std::string error;
        return zpkWriteFile(package(), files, &error);
    }

    // Runs the copy started in this folder, with `temp` as its temporary directory.
    RunResult run(const std::string& commandLine, const std::string& temp, const std::vector<Answer>& script = {},
                  int showWindow = -1) const
    {
        RunOptions options;
        options.showWindow = showWindow;
        options.exe = exe();
        options.startDir = path();
        options.env = {"TMP=" + temp, "TEMP=" + temp};
        options.timeoutMs = 120000;
        return runDefPatch(commandLine, script, options);
    }

private:
    ScratchDir folder_;
    bool copied_ = false;
};

// Content that does not compress, so that a package holds it at full size.
inline std::string noise(std::size_t size, unsigned seed)
{
    std::string data(size, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (char& c : data) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return data;
}
