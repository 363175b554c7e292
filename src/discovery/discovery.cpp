// Product discovery: which of the maker's products are installed, and where each
// keeps its definition files, from values under HKEY_LOCAL_MACHINE and tests of
// files. Fills slot 0 (GlimOn AV's shared directory) and slot 1 (Dravomire's).
#include <windows.h>

#include "discovery/file_tests.h"
#include "discovery/registry_text.h"
#include "run/flags.h"
#include "run/handles.h"
#include "run/update_context.h"
#include "ui/message_box.h"

namespace {

const char kGlimOnKey[] = "Software\\Zorvane\\GlimOn AV";
const char kGlimOnAppPathKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\glimonav.exe";
const char kGlimonAppPathKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\glimon.exe";
const char kGlimOnInstallKey[] = "SOFTWARE\\Zorvane\\Glimon AV";
const char kDravomireKey[] = "Software\\Zorvane\\Dravomire";
const char kGlimOnProgram[] = "glimonav.exe";

// Reads a directory value that is to fill a slot. An empty value, or one that
// would not fit the slot once its trailing backslash is added, counts as absent.
bool readDirectoryValue(const char* keyName, const char* valueName, PathBuffer& directory)
{
    RegKey key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, keyName, key.receive()) != ERROR_SUCCESS)
        return false;
    DWORD byteCount = 0;
    if (!readRegistryText(key.get(), valueName, directory, sizeof directory, &byteCount))
        return false;
    if (textIsEmpty(directory))
        return false;
    return endsWithBackslash(directory) || textLength(directory) + 1 < sizeof directory;
}

// The value must end exactly in "glimonav.exe" (any case): the last 13 bytes of
// what was read, by the count the registry gave, are the name and its terminator.
bool endsInGlimOnProgram(const char* value, DWORD byteCount)
{
    const DWORD nameBytes = sizeof kGlimOnProgram; // 12 characters and the terminator
    if (byteCount < nameBytes)
        return false;
    const char* tail = value + (byteCount - nameBytes);
    if (tail[nameBytes - 1] != '\0')
        return false;
    return equalIgnoringAsciiCase(tail, kGlimOnProgram);
}

enum class AppPathLookup { Found, NotFound, Unreadable };

AppPathLookup lookUpAppPath(const char* keyName, bool unreadableIsFinal)
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS)
        return AppPathLookup::NotFound;
    char program[512];
    DWORD byteCount = 0;
    if (!readRegistryText(key.get(), "", program, sizeof program, &byteCount))
        return unreadableIsFinal ? AppPathLookup::Unreadable : AppPathLookup::NotFound;
    if (endsInGlimOnProgram(program, byteCount) && fileExists(program))
        return AppPathLookup::Found;
    return AppPathLookup::NotFound;
}

} // namespace

void UpdateContext::discoverProducts()
{
    findGlimOnSharedDir();
    findDravomireDir();
}

void UpdateContext::findGlimOnSharedDir()
{
    char* slot = definitionDirs[kGlimOnSlot];
    slot[0] = '\0';

    PathBuffer sharedDir;
    if (!readDirectoryValue(kGlimOnKey, "sharedir", sharedDir))
        return;
    if (!isGlimOnInstalled())
        return;
    if (!directoryExists(sharedDir) && !CreateDirectoryA(sharedDir, nullptr))
        return;
    if (!endsWithBackslash(sharedDir))
        appendText(sharedDir, "\\"); // fits: readDirectoryValue made sure
    copyText(slot, kPathSize, sharedDir);
    ++foundCount;
}

void UpdateContext::findDravomireDir()
{
    char* slot = definitionDirs[kDravomireSlot];
    slot[0] = '\0';

    PathBuffer directory;
    if (!readDirectoryValue(kDravomireKey, "Directory", directory))
        return;
    if (!isDravomireInstalled(directory))
        return;
    if (!endsWithBackslash(directory))
        appendText(directory, "\\");
    copyText(slot, kPathSize, directory);
    ++foundCount;
}

int UpdateContext::isGlimOnInstalled() const
{
    // Lookup 1: a key without a readable default value ends the search at once.
    switch (lookUpAppPath(kGlimOnAppPathKey, true)) {
    case AppPathLookup::Found:
        return 1;
    case AppPathLookup::Unreadable:
        return 0;
    case AppPathLookup::NotFound:
        break;
    }
    // Lookup 2: this entry, too, must name the program file glimonav.exe.
    if (lookUpAppPath(kGlimonAppPathKey, false) == AppPathLookup::Found)
        return 1;
    // Lookup 3: the installation directory.
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kGlimOnInstallKey, 0, KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS)
        return 0;
    char installPath[512];
    DWORD byteCount = 0;
    if (!readRegistryText(key.get(), "installpath", installPath, sizeof installPath, &byteCount))
        return 0;
    if (textIsEmpty(installPath) || !appendText(installPath, "\\glimonav.exe"))
        return 0;
    return fileExists(installPath) ? 1 : 0;
}

int UpdateContext::isDravomireInstalled(const char* directory) const
{
    // The name is joined to the value as it stands: a value without its trailing
    // backslash names another file, and Dravomire counts as not installed.
    PathBuffer program;
    if (textIsEmpty(directory) || !joinText(program, directory, "dv95.exe"))
        return 0;
    return fileExists(program) ? 1 : 0;
}

int UpdateContext::directoryExists(const char* path) const
{
    PathBuffer probe;
    if (!copyText(probe, path))
        return 0;
    std::size_t length = textLength(probe);
    if (length > 0 && probe[length - 1] == '\\')
        probe[length - 1] = '\0';

    // Opening a directory this way is refused with ERROR_ACCESS_DENIED, which
    // tells that it exists; an existing file opens.
    FileHandle handle(CreateFileA(probe, 0, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_READONLY, nullptr));
    if (handle.valid())
        return 1;
    if (GetLastError() == ERROR_ACCESS_DENIED)
        return 1;
    if (diagnosticMode)
        showBox(path, "Defpatch Could not find:", MB_OK);
    return 0;
}
