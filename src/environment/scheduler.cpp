// Registration of the scheduled-download agent (see scheduler.h).
#include "environment/scheduler.h"

#include <windows.h>

#include "run/handles.h"
#include "run/text.h"

namespace {

const char kAgentSettingsKey[] = "Software\\Zorvane\\Tendwise\\CurrentVersion\\Twagent.exe";
const char kAgentAppPathKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\TWAgent.exe";
const char kAgentFile[] = "TWAGent.exe";
// The agent asks the maker's update script; the server is a setting of the build.
const char kWebSite[] = DEFPATCH_UPDATE_SERVER "/cgi-bin/iou.cgi";

// The agent reads every text value as a fixed 256-byte field.
constexpr DWORD kTextValueBytes = 256;
using TextValue = char[kTextValueBytes];
static_assert(sizeof kWebSite <= kTextValueBytes, "the update server's address is too long");

bool openForWriting(const char* keyName, RegKey& key)
{
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_SET_VALUE, nullptr, key.receive(), nullptr) == ERROR_SUCCESS;
}

void writeDword(const RegKey& key, const char* name, DWORD value)
{
    RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void writeText(const RegKey& key, const char* name, const TextValue& text)
{
    RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), kTextValueBytes);
}

} // namespace

void registerDownloadAgent(const char* directory)
{
    // Both App Paths texts are formed before anything is written, so that a
    // directory outside the limits leaves the registry as it was.
    TextValue path = {};
    TextValue program = {};
    if (textIsEmpty(directory) || !copyText(path, directory) ||
        !joinText(program, directory, endsWithBackslash(directory) ? kAgentFile : "\\TWAGent.exe"))
        return;
    TextValue webSite = {};
    copyText(webSite, kWebSite);

    RegKey settings;
    if (!openForWriting(kAgentSettingsKey, settings))
        return;
    writeDword(settings, "Download Day", 0xFFFFFFFF);
    writeDword(settings, "Download Hour", 0xFFFFFFFF);
    writeDword(settings, "Prompt Download", 1);
    writeDword(settings, "Prompt Install", 1);
    writeText(settings, "WebSite", webSite);
    settings.reset();

    RegKey appPath;
    if (!openForWriting(kAgentAppPathKey, appPath))
        return;
    writeText(appPath, "Path", path);
    writeText(appPath, "", program);
}
