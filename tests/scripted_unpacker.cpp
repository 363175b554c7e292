// A stand-in for zunpck32.dll that plays a script instead of unpacking, for the
// statuses and names the real library never gives. The "package" is the script:
// one step a line, a status and, for 2, the name to announce (and " read-only"
// for a file made read-only). An announced file is created in the target
// directory under the part of its name after the last backslash. The arguments of zunpack_init and each zunpack_exit are logged to
// calls.log beside the library. Built whole and once without each entry point.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

HINSTANCE self;
char steps[64][160];
unsigned stepCount, nextStep;
char target[MAX_PATH];

void log(const char* text)
{
    char path[MAX_PATH];
    GetModuleFileNameA(self, path, sizeof path);
    std::strcpy(std::strrchr(path, '\\') + 1, "calls.log");
    if (FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "%s\n", text);
        std::fclose(file);
    }
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID)
{
    self = instance;
    return TRUE;
}

#ifndef WITHOUT_zunpack_init
__declspec(dllexport) int __stdcall zunpack_init(char* name, const char* targetDir, int a, int b, int c, int d, int*)
{
    char line[512];
    std::snprintf(line, sizeof line, "init %s %s %d %d %d %d", name, targetDir, a, b, c, d);
    log(line);
    std::snprintf(target, sizeof target, "%s", targetDir);
    stepCount = nextStep = 0;
    if (FILE* script = std::fopen(name, "r")) {
        while (stepCount < 64 && std::fgets(steps[stepCount], sizeof steps[0], script)) {
            steps[stepCount][std::strcspn(steps[stepCount], "\r\n")] = '\0';
            ++stepCount;
        }
        std::fclose(script);
    }
    return 0;
}
#endif

#ifndef WITHOUT_zunpack_exec
__declspec(dllexport) int __stdcall zunpack_exec(char* nameBuffer, int*)
{
    if (nextStep >= stepCount)
        return 0;
    const char* step = steps[nextStep++];
    int status = std::atoi(step);
    const char* name = std::strchr(step, ' ');
    if (status == 2 && name) {
        std::snprintf(nameBuffer, 128, "%.*s", static_cast<int>(std::strcspn(name + 1, " ")), name + 1);
        const char* bare = std::strrchr(nameBuffer, '\\') ? std::strrchr(nameBuffer, '\\') + 1 : nameBuffer;
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%s%s", target, bare);
        if (FILE* file = std::fopen(path, "wb")) {
            std::fprintf(file, "scripted %s", bare);
            std::fclose(file);
        }
        if (std::strstr(step, " read-only"))
            SetFileAttributesA(path, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    }
    return status;
}
#endif

#ifndef WITHOUT_zunpack_exit
__declspec(dllexport) int __stdcall zunpack_exit()
{
    log("exit");
    return 0;
}
#endif
}
