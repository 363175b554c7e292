// Puts one variant of the scripted unpacker library within the engine's reach
// for the life of the object: its folder becomes the DLL directory of this test
// program (which lives in a folder without any zunpck32.dll), and its script and
// log are files of a scratch folder named through the environment.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "harness/driver.h"
#include "harness/scratch.h"

class ScriptedLibrary {
public:
    // variant: "full", "no-init", "no-exec", "no-exit", or "absent" (no library at all).
    ScriptedLibrary(const std::string& variant, const std::vector<std::string>& script)
    {
        const std::string folder = variant == "absent" ? files_.path() : std::string(SCRIPTED_UNPACKER_DIR) + "/" + variant;
        SetDllDirectoryA(windowsPath(folder).c_str());
        std::string text;
        for (const auto& line : script)
            text += line + "\n";
        writeFile(files_ / "script.txt", text);
        SetEnvironmentVariableA("DEFPATCH_UNPACKER_SCRIPT", (files_ / "script.txt").c_str());
        SetEnvironmentVariableA("DEFPATCH_UNPACKER_LOG", (files_ / "log.txt").c_str());
    }

    ~ScriptedLibrary()
    {
        SetDllDirectoryA(nullptr);
        SetEnvironmentVariableA("DEFPATCH_UNPACKER_SCRIPT", nullptr);
        SetEnvironmentVariableA("DEFPATCH_UNPACKER_LOG", nullptr);
    }

    ScriptedLibrary(const ScriptedLibrary&) = delete;
    ScriptedLibrary& operator=(const ScriptedLibrary&) = delete;

    // The calls the library received, one line each (see scripted_unpacker.cpp).
    std::vector<std::string> calls() const
    {
        std::vector<std::string> lines;
        std::string text = readFile(files_ / "log.txt");
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    static bool loaded() { return GetModuleHandleA("zunpck32.dll") != nullptr; }

private:
    ScratchDir files_;
};
