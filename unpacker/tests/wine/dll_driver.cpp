// The DLL driver of the Wine tests; see dll_driver.h.
#include "dll_driver.h"

#include <algorithm>
#include <cstring>

#include "harness/scratch.h"

std::string winePath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string binPath(const std::string& name)
{
    return winePath(ZPK_BIN_DIR) + "\\" + name;
}

UnpackerDll::UnpackerDll()
{
    module = LoadLibraryA(binPath("zunpck32.dll").c_str());
    if (module == nullptr)
        return;
    init = reinterpret_cast<ZunpackInitProc>(reinterpret_cast<void*>(GetProcAddress(module, "zunpack_init")));
    exec = reinterpret_cast<ZunpackExecProc>(reinterpret_cast<void*>(GetProcAddress(module, "zunpack_exec")));
    exit = reinterpret_cast<ZunpackExitProc>(reinterpret_cast<void*>(GetProcAddress(module, "zunpack_exit")));
}

UnpackerDll::~UnpackerDll()
{
    if (module != nullptr)
        FreeLibrary(module);
}

CurrentDirectory::CurrentDirectory(const std::string& dir)
{
    GetCurrentDirectoryA(sizeof saved_, saved_);
    SetCurrentDirectoryA(dir.c_str());
}

CurrentDirectory::~CurrentDirectory()
{
    SetCurrentDirectoryA(saved_);
}

std::vector<std::string> listDirectory(const std::string& dir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

long long sizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A file the library says is complete: present, closed (we can open it with
// no sharing at all) and, when known, of the right content.
void checkComplete(Transcript& t, const std::string& path, const std::string& name,
                   const std::vector<ZpkInput>* expected)
{
    HANDLE exclusive = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (exclusive == INVALID_HANDLE_VALUE)
        t.problems.push_back(name + ": announced complete but cannot be opened exclusively (still open?)");
    else
        CloseHandle(exclusive);
    if (expected == nullptr)
        return;
    for (const ZpkInput& file : *expected) {
        if (file.name == name) {
            if (readFile(path) != file.data)
                t.problems.push_back(name + ": content differs once complete");
            return;
        }
    }
    t.problems.push_back(name + ": not a file of the package");
}

} // namespace

Transcript unpackWith(UnpackerDll& dll, const std::string& packageName, const std::string& targetDir,
                      const std::vector<ZpkInput>* expected)
{
    Transcript t;
    // The engine's buffers: 128 characters shared with the library, filled
    // past the terminator so that a missing terminator shows.
    char nameBuffer[128];
    std::memset(nameBuffer, '#', sizeof nameBuffer);
    std::strcpy(nameBuffer, packageName.c_str());
    int initVariable = 0;
    int execVariable = 0;
    t.initResult = dll.init(nameBuffer, targetDir.c_str(), 0, 10, 0, 10, &initVariable);
    // Where the files must appear; the library accepts the target without its backslash too.
    std::string dir = targetDir;
    if (!dir.empty() && dir.back() != '\\')
        dir += '\\';

    std::string current;
    long long currentSize = 0;
    for (int calls = 0; calls < 100000; ++calls) {
        int status = dll.exec(nameBuffer, &execVariable);
        if (status == ZPK_WORKING) {
            ++t.workingCalls;
            if (current.empty()) {
                t.problems.push_back("3 before any file was announced");
                continue;
            }
            long long size = sizeOf(dir + current);
            if (size - currentSize > 64 * 1024)
                t.problems.push_back(current + ": one call wrote " + std::to_string(size - currentSize) + " bytes");
            currentSize = size;
            continue;
        }
        if (status != ZPK_FILE_BEGUN && status != ZPK_DONE) {
            t.finalStatus = status;
            break;
        }
        if (!current.empty())
            checkComplete(t, dir + current, current, expected);
        if (status == ZPK_DONE) {
            t.finalStatus = status;
            break;
        }
        std::size_t length = strnlen(nameBuffer, sizeof nameBuffer);
        if (length == sizeof nameBuffer) {
            t.problems.push_back("name buffer without terminator");
            nameBuffer[sizeof nameBuffer - 1] = '\0';
        }
        current = nameBuffer;
        if (std::find(t.announced.begin(), t.announced.end(), current) != t.announced.end())
            t.problems.push_back(current + ": announced twice");
        t.announced.push_back(current);
        currentSize = sizeOf(dir + current);
        if (currentSize != 0)
            t.problems.push_back(current + ": announced but not a new, empty file in the target");
    }
    if (t.finalStatus == -1)
        t.problems.push_back("zunpack_exec never stopped asking");
    // After the end every call gives the same answer.
    if (dll.exec(nameBuffer, &execVariable) != t.finalStatus)
        t.problems.push_back("a further call gave another status");
    dll.exit();
    return t;
}
