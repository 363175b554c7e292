// A stand-in for the unpacker library "zunpck32.dll" that plays back a script of
// statuses and names, so the tests can drive every turn of the engine's side of
// the unpacker protocol. It reads no package format.
//
// Environment, read when zunpack_init is called:
//   DEFPATCH_UNPACKER_SCRIPT  the script: one line per zunpack_exec call.
//       "2 NAME"  announces NAME (with %T replaced by the target directory); the
//                 file is created in the target directory under the part of NAME
//                 after its last backslash, holding one line.
//       "3"       working: appends a line to the file announced last, so a file
//                 stamped too early would lose its time again.
//       any other number: returned as it is (0 ends the unpacking, the rest are
//                 errors). When the script runs out, zunpack_exec returns 0.
//   DEFPATCH_UNPACKER_LOG  a file that gets one line per call:
//       "init NAME|TARGET|A B C D|PACKAGE" (PACKAGE: the first line of the file
//       NAME, read relative to the current directory, or "<none>"),
//       "exec STATUS", "exit".
// Built in variants that lack one entry point (SCRIPTED_WITHOUT_INIT, _EXEC, _EXIT).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> script;
std::size_t nextLine = 0;
std::string targetDir;
std::string currentFile;

std::string environment(const char* name)
{
    char value[1024];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return (length > 0 && length < sizeof value) ? std::string(value, length) : std::string();
}

void log(const std::string& line)
{
    const std::string path = environment("DEFPATCH_UNPACKER_LOG");
    if (path.empty())
        return;
    if (FILE* file = std::fopen(path.c_str(), "ab")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

[[maybe_unused]] std::string firstLineOf(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return "<none>";
    char line[256] = "";
    if (!std::fgets(line, sizeof line, file))
        line[0] = '\0';
    std::fclose(file);
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

[[maybe_unused]] void appendLine(const std::string& path, const std::string& line)
{
    if (FILE* file = std::fopen(path.c_str(), "ab")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

[[maybe_unused]] void loadScript()
{
    script.clear();
    nextLine = 0;
    FILE* file = std::fopen(environment("DEFPATCH_UNPACKER_SCRIPT").c_str(), "rb");
    if (!file)
        return;
    char line[512];
    while (std::fgets(line, sizeof line, file)) {
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        if (!text.empty())
            script.push_back(text);
    }
    std::fclose(file);
}

[[maybe_unused]] std::string replaceTarget(std::string name)
{
    for (std::size_t at = name.find("%T"); at != std::string::npos; at = name.find("%T", at))
        name.replace(at, 2, targetDir);
    return name;
}

} // namespace

extern "C" {

#ifndef SCRIPTED_WITHOUT_INIT
__declspec(dllexport) int __stdcall zunpack_init(char* name, const char* target, int a, int b, int c, int d,
                                                 int* variable)
{
    targetDir = target;
    currentFile.clear();
    loadScript();
    log("init " + std::string(name) + "|" + target + "|" + std::to_string(a) + " " + std::to_string(b) + " " +
        std::to_string(c) + " " + std::to_string(d) + "|" + firstLineOf(name) +
        (variable ? "" : "|no variable"));
    return 1;
}
#endif

#ifndef SCRIPTED_WITHOUT_EXEC
__declspec(dllexport) int __stdcall zunpack_exec(char* nameBuffer, int* variable)
{
    int status = 0;
    if (nextLine < script.size()) {
        const std::string& line = script[nextLine++];
        status = std::atoi(line.c_str());
        if (status == 2) {
            const std::string announced = replaceTarget(line.size() > 2 ? line.substr(2) : "");
            const std::size_t slash = announced.find_last_of('\\');
            currentFile = targetDir + (slash == std::string::npos ? announced : announced.substr(slash + 1));
            DeleteFileA(currentFile.c_str());
            appendLine(currentFile, "begins " + announced);
            lstrcpynA(nameBuffer, announced.c_str(), 128);
        } else if (status == 3 && !currentFile.empty()) {
            appendLine(currentFile, "more");
        }
    }
    log("exec " + std::to_string(status) + (variable ? "" : " no variable"));
    return status;
}
#endif

#ifndef SCRIPTED_WITHOUT_EXIT
__declspec(dllexport) int __stdcall zunpack_exit()
{
    log("exit");
    return 1;
}
#endif

} // extern "C"
